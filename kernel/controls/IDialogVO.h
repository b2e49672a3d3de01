// Handle interface of the dialog object: a panel owning child objects, shown above
// everything else and, unless modeless, disabling the rest of the screen while shown.
#pragma once

#include <cstdint>
#include <string>

#include "kernel/controls/IVisibleObject.h"

namespace ControlLibrary {

class IDialogVO : public IVisibleObject {
 public:
  virtual void AddDialogObserver(DialogMessageObserver* observer) = 0;
  // 0 modal (the default), anything else modeless.
  virtual void SetModeless(std::uint32_t modeless) = 0;
  virtual bool SetBackground(const std::string& imageName) = 0;
  virtual void SetBackgroundRect(const VORect& rect) = 0;
  virtual void SetNoBackground(bool none) = 0;
  // Takes a reference on the child and becomes its parent; null is ignored.
  virtual void AddChild(IVisibleObject* child) = 0;
};

}  // namespace ControlLibrary
