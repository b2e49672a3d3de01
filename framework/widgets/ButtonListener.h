// Callbacks a button reports to, by the button's id.
#pragma once

namespace Orvo {

class ButtonListener {
 public:
  virtual ~ButtonListener() = default;
  virtual void ButtonPressed(int id, int clickCount) { ButtonPressed(id); }
  virtual void ButtonPressed(int id) {}
  virtual void ButtonReleased(int id) {}
  virtual void ButtonHeldTick(int id) {}
  virtual void ButtonHoverStart(int id) {}
  virtual void ButtonHoverEnd(int id) {}
  virtual void ButtonHoverMove(int id, int x, int y) {}
};

}  // namespace Orvo
