// Handle interfaces of the push button and the check box. State arrays are indexed
// normal, hovered, pressed, disabled for the button; see the check box's own order below.
#pragma once

#include <string>

#include "kernel/controls/Handles.h"
#include "kernel/controls/IVisibleObject.h"

namespace ControlLibrary {

class IButtonVO : public IVisibleObject {
 public:
  // Each may be null; played on mouse enter, press and release.
  virtual void SetSounds(ISound* hover, ISound* press, ISound* release) = 0;
  virtual void SetStateColors(const VOColor colors[5]) = 0;
  // Null entries 1 to 3 fall back to entry 0.
  virtual void SetStateFonts(IFont* const fonts[4]) = 0;
  // Empty names 1 to 3 fall back to name 0.
  virtual void SetImages(const std::string names[4]) = 0;
  virtual void SetStateRects(const VORect rects[4]) = 0;
  virtual void SetStateTextColors(const VOColor colors[5]) = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual void SetTextOffset(int x, int y) = 0;
  virtual void SetTextOnly(bool textOnly) = 0;
  virtual std::string GetText() = 0;
  // Reports a press and a click with button 0 wherever the mouse is.
  virtual void PerformClick() = 0;
};

// Images and rectangles: 0 enabled checked, 1 enabled unchecked, 2 disabled checked,
// 3 disabled unchecked. Fonts and text colours: 0 checked, 1 unchecked, 2 hovered, 3 disabled.
class ICheckBoxVO : public IVisibleObject {
 public:
  virtual void SetSounds(ISound* hover, ISound* press, ISound* release) = 0;
  virtual void SetStateColors(const VOColor colors[5]) = 0;
  virtual void SetStateFonts(IFont* const fonts[4]) = 0;
  // True when the last image was found or loaded.
  virtual bool SetImages(const std::string names[4]) = 0;
  virtual void SetStateRects(const VORect rects[4]) = 0;
  virtual void SetStateTextColors(const VOColor colors[5]) = 0;
  virtual void SetBoxSize(int width, int height) = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual void SetTextOffset(int x, int y) = 0;
  virtual void SetTextOnly(bool textOnly) = 0;
  // Toggles the box; the click is reported only when the mouse is over it.
  virtual void PerformClick() = 0;
  virtual void SetChecked(bool checked) = 0;
  virtual bool IsChecked() = 0;
};

}  // namespace ControlLibrary
