// Callbacks a dialog reports its button presses to, by dialog id and button id.
#pragma once

namespace Orvo {

class DialogListener {
 public:
  virtual ~DialogListener() = default;
  virtual void DialogButtonPressed(int dialogId, int buttonId) {}
  virtual void DialogButtonReleased(int dialogId, int buttonId) {}
};

}  // namespace Orvo
