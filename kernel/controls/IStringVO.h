// Handle interfaces of the one-line text label, the link and the plain rectangle.
#pragma once

#include <cstdint>
#include <string>

#include "kernel/controls/IVisibleObject.h"

namespace ControlLibrary {

class IFont;

class IStringVO : public IVisibleObject {
 public:
  // Takes a reference on the new font and drops one on the old; sizes the label to the text.
  virtual void SetFont(IFont* font) = 0;
  // With a font, the label becomes text width + 2 by font height + 4.
  virtual void SetText(const std::string& text) = 0;
  virtual std::string GetText() = 0;
  virtual void SetShadow(bool shadow) = 0;
  virtual void SetShadowOffset(std::uint16_t dx, std::uint16_t dy) = 0;
  virtual void SetShadowColor(const VOColor& color) = 0;
};

class ILinkVO : public IVisibleObject {
 public:
  virtual void SetFont(IFont* font) = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual std::string GetText() = 0;
  // The address opened by a press.
  virtual void SetAddress(const std::string& address) = 0;
  virtual void SetHoverColor(const VOColor& color) = 0;
};

class IRectVO : public IVisibleObject {
 public:
  // 0 outline, 1 filled; anything else draws nothing.
  virtual void SetFillMode(std::uint32_t mode) = 0;
};

}  // namespace ControlLibrary
