// Reference-counted handles the control factory hands out: fonts, sounds, mouse cursors
// and tool tips. Visual objects hold references to them; the factory's release operations
// delete them with the last reference.
#pragma once

#include <cstdint>
#include <string>

#include "kernel/common/RefObj.h"
#include "kernel/controls/VOTypes.h"

namespace ControlLibrary {

class IFont : public CommonLibrary::RefObj {
 public:
  // Finds or loads the bitmap font from its descriptor file; false leaves the handle as it was.
  virtual bool Load(const std::string& name) = 0;
  virtual int GetHeight() = 0;
  virtual int GetTextWidth(const std::string& text) = 0;
};

class ISound : public CommonLibrary::RefObj {
 public:
  virtual std::uint32_t GetId() = 0;
  // The new sound id, or -1.
  virtual int Load(const std::string& name) = 0;
  virtual void Play(bool loop) = 0;
  virtual void Stop() = 0;
  virtual bool IsPlaying() = 0;
  // Remembered and applied at once and by every later Play.
  virtual void SetVolume(double volume) = 0;
};

class ICursor : public CommonLibrary::RefObj {
 public:
  virtual bool SetImage(const std::string& name) = 0;
  // The part of the image drawn; all zero means the whole image.
  virtual void SetRect(const VORect& rect) = 0;
};

class IToolTip : public CommonLibrary::RefObj {
 public:
  virtual void SetText(const std::string& text) = 0;
  virtual void SetFont(IFont* font) = 0;
  virtual void SetTextColor(const VOColor& color) = 0;
  virtual void Set(const std::string& text, IFont* font, const VOColor& color) = 0;
  virtual void SetBackColor(const VOColor& color) = 0;
  virtual void Reserved(std::int32_t a, std::int32_t b, std::int32_t c) = 0;
  virtual void SetSize(int width, int height) = 0;
  virtual void SetNoBackground(bool none) = 0;
};

}  // namespace ControlLibrary
