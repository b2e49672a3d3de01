// Observer interfaces through which visual objects and the control factory report input
// to game objects. Every callback has an empty default, so a game class inherits several
// and overrides only what it needs; the first argument is always the sender's id.
#pragma once

#include <cstdint>

namespace ControlLibrary {

class MouseMessageObserver {
 public:
  virtual ~MouseMessageObserver() = default;
  // button: -1 left, 1 right, 0 middle.
  virtual void OnMouseDown(std::uint32_t id, int button) {}
  // A press and release over the same object.
  virtual void OnMouseClick(std::uint32_t id, int button) {}
  virtual void OnMouseEnter(std::uint32_t id) {}
  virtual void OnMouseMove(std::uint32_t id, int x, int y) {}
  virtual void OnMouseLeave(std::uint32_t id) {}
};

// Registered on a visual object; receives keys while that object has the focus.
class KeybdMessageObserver {
 public:
  virtual ~KeybdMessageObserver() = default;
  virtual void OnKeyChar(std::uint32_t id, char c) {}
  virtual void OnKeyDown(std::uint32_t id, int key) {}
  virtual void OnKeyUp(std::uint32_t id, int key) {}
};

// Registered on the control factory; receives every key. One that is deleted while the
// factory lives takes itself off the factory's list.
class KeybdSysMessageObserver {
 public:
  virtual ~KeybdSysMessageObserver();
  virtual void OnKeyDown(int key) {}
  virtual void OnKeyUp(int key) {}
  virtual bool WantsKeys() { return true; }
};

// Registered on a dialog object; told when the dialog is shown or hidden.
class DialogMessageObserver {
 public:
  virtual ~DialogMessageObserver() = default;
  virtual void OnDialogShowHide(std::uint32_t dialogId, bool visible) {}
};

// Registered on an edit box.
class IEditBoxMsgObserver {
 public:
  virtual ~IEditBoxMsgObserver() = default;
  virtual void OnTextChanged(std::uint32_t id) {}
  virtual void OnEditFocusGained(std::uint32_t id) {}
  virtual void OnEditFocusLost(std::uint32_t id) {}
};

}  // namespace ControlLibrary
