// Handle interfaces of the one-line edit box and the multi-paragraph text box.
#pragma once

#include <cstdint>
#include <string>

#include "kernel/controls/Handles.h"
#include "kernel/controls/IVisibleObject.h"

namespace ControlLibrary {

class IEditBoxVO : public IVisibleObject {
 public:
  // Appended unless already registered.
  virtual void AddEditObserver(IEditBoxMsgObserver* observer) = 0;
  virtual void SetFont(IFont* font) = 0;
  // Sends no OnTextChanged.
  virtual void SetText(const std::string& text) = 0;
  virtual std::string GetText() = 0;
  virtual void SetTextOffset(std::int16_t x, std::int16_t y) = 0;
  virtual void SetTextColor(const VOColor& color) = 0;
  // 65,535 means unlimited.
  virtual void SetMaxLength(std::uint16_t length) = 0;
  virtual void SetAlternateLook(bool alternate) = 0;
  // Left, middle and right parts of the normal look, then of the alternate look; the result
  // is that of the last lookup.
  virtual bool SetImages(const std::string normal[3], const std::string alternate[3]) = 0;
  virtual void SetImageRects(const VORect rects[3]) = 0;
  virtual void SetNoBackground(bool none) = 0;
};

class ITextBoxVO : public IVisibleObject {
 public:
  // A paragraph with its own font, alignment (0 left, 1 centre, 2 right) and colour;
  // ignored without a font.
  virtual void AddLine(const std::string& text, IFont* font, std::uint32_t alignment, const VOColor& color) = 0;
  virtual void SetFirstLine(std::uint16_t page) = 0;
  virtual void Clear() = 0;
  virtual bool ScrollDown() = 0;
  virtual bool ScrollUp() = 0;
  virtual bool CanScrollDown() = 0;
  virtual bool CanScrollUp() = 0;
};

}  // namespace ControlLibrary
