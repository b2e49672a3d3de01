// Dialog objects: showing over everything, modal groups, children and observers.
#include "kernel/controls/DialogVO.h"

#include "kernel/controls/Factory.h"

namespace ControlLibrary {

DialogVO_impl::DialogVO_impl(std::uint32_t id) : VisibleObject_impl(id) {
  mSize = {100, 100};
  mColor = {128, 64, 0};
}

DialogVO_impl::~DialogVO_impl() {
  if (mBackground < 0) return;
  if (Factory_impl* factory = GetFactoryImpl()) factory->ReleaseImage(&mBackground);
}

void DialogVO_impl::SetVisible(bool visible) {
  Factory_impl* factory = GetFactoryImpl();
  // An observer may delete this dialog (from a timer too, not only from input).
  Factory_impl::DispatchGuard keepUntilReported(factory);
  if (visible) {
    // A dialog shown again is raised again, but disables the screen only once, so that
    // each modal group is given back by exactly one hide.
    if (mModeless == 0 && factory != nullptr && !factory->HasModalGroup(mId)) factory->DisableForModal(mId);
    if (factory != nullptr) SetLayer(static_cast<std::uint16_t>(factory->TopLayer() + 100));
    VisibleObject_impl::SetVisible(true);
    for (std::size_t i = 0; i < mChildren.size(); ++i)
      if (mChildren[i]->GetShowWithParent()) mChildren[i]->SetVisible(true);
  } else {
    Hide();
  }
  for (std::size_t i = 0; i < mObservers.size(); ++i) mObservers[i]->OnDialogShowHide(mId, visible);
}

void DialogVO_impl::Hide() {
  for (std::size_t i = 0; i < mChildren.size(); ++i) mChildren[i]->SetVisible(false);
  VisibleObject_impl::SetVisible(false);
  // The group this dialog disabled, also when it was made modeless while shown.
  if (Factory_impl* factory = GetFactoryImpl()) factory->RestoreAfterModal(mId);
}

void DialogVO_impl::BeforeDelete() {
  Factory_impl* factory = GetFactoryImpl();
  // A child with the focus gives it away unreported: whoever observes it may be going with
  // the dialog.
  VisibleObject_impl* focused = factory != nullptr ? factory->GetFocusedVO() : nullptr;
  for (IVisibleObject* child : mChildren)
    if (focused != nullptr && child->GetId() == focused->GetId()) focused->DropFocusQuietly();
  if (mVisible || (factory != nullptr && factory->HasModalGroup(mId))) Hide();
  std::vector<IVisibleObject*> children;
  children.swap(mChildren);
  for (IVisibleObject* child : children) {
    child->SetParent(nullptr);
    if (factory == nullptr) continue;
    // The reference AddChild took; the child goes now unless the game still holds it.
    factory->GiveBack(child);
  }
}

void DialogVO_impl::Update(std::vector<VORect>& fillList) {
  const VOSize extent = TakeExtent();
  TakeOldPositionAreas(extent, fillList);
  fillList.push_back({mScreenPosition.x, mScreenPosition.y, extent.width + 1, extent.height + 1});
}

void DialogVO_impl::Draw() {
  Factory_impl* factory = GetFactoryImpl();
  if (mNoBackground || factory == nullptr) return;
  const VORect screen = GetScreenRect();
  if (mBackground >= 0 && factory->DrawImage(mBackground, mBackgroundRect, screen)) return;
  factory->DrawRectOutline(screen, {25, 250, 25});
  factory->FillRectColour({screen.x + 1, screen.y + 1, screen.width - 1, screen.height - 1}, mColor);
}

bool DialogVO_impl::SetBackground(const std::string& imageName) {
  Factory_impl* factory = GetFactoryImpl();
  int id = -1;
  if (factory == nullptr || !factory->FindOrLoadImage(imageName, &id)) return false;
  if (mBackground >= 0) factory->ReleaseImage(&mBackground);
  mBackground = id;
  return true;
}

void DialogVO_impl::SetNoBackground(bool none) {
  if (none == mNoBackground) return;
  mNoBackground = none;
  MarkChanged(false);
}

void DialogVO_impl::AddChild(IVisibleObject* child, IVisibleObject* self) {
  if (child == nullptr) return;
  child->AddRef();
  child->SetParent(self);
  mChildren.push_back(child);
}

}  // namespace ControlLibrary
