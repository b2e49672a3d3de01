// The dialog object: raised above the shown objects when shown, shows and hides its
// children with itself, disables the rest of the screen while a modal one is shown, and
// reports every show and hide to its observers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kernel/controls/BaseVOBridge.h"
#include "kernel/controls/IDialogVO.h"

namespace ControlLibrary {

class DialogVO_impl : public VisibleObject_impl {
 public:
  explicit DialogVO_impl(std::uint32_t id);
  ~DialogVO_impl() override;
  void SetVisible(bool visible) override;
  // Hides the dialog with its children, gives back its modal group and its references on the
  // children, whose parent it no longer is. Its observers are not told: they may be the
  // objects deleting it.
  void BeforeDelete() override;
  void Update(std::vector<VORect>& fillList) override;
  void Draw() override;
  void AddDialogObserver(DialogMessageObserver* observer) { mObservers.push_back(observer); }
  void SetModeless(std::uint32_t modeless) { mModeless = modeless; }
  bool SetBackground(const std::string& imageName);
  void SetBackgroundRect(const VORect& rect) { mBackgroundRect = rect; }
  void SetNoBackground(bool none);
  void AddChild(IVisibleObject* child, IVisibleObject* self);

 private:
  void Hide();

  std::vector<DialogMessageObserver*> mObservers;
  std::uint32_t mModeless = 0;
  int mBackground = -1;
  VORect mBackgroundRect;
  bool mNoBackground = false;
  std::vector<IVisibleObject*> mChildren;
};

class DialogVO_bridge : public BaseVO_bridge<IDialogVO, DialogVO_impl> {
 public:
  explicit DialogVO_bridge(std::uint32_t id) : BaseVO_bridge(new DialogVO_impl(id)) {}
  void AddDialogObserver(DialogMessageObserver* observer) override { mImpl->AddDialogObserver(observer); }
  void SetModeless(std::uint32_t modeless) override { mImpl->SetModeless(modeless); }
  bool SetBackground(const std::string& imageName) override { return mImpl->SetBackground(imageName); }
  void SetBackgroundRect(const VORect& rect) override { mImpl->SetBackgroundRect(rect); }
  void SetNoBackground(bool none) override { mImpl->SetNoBackground(none); }
  void AddChild(IVisibleObject* child) override { mImpl->AddChild(child, this); }
};

}  // namespace ControlLibrary
