// Push buttons and check boxes: state selection for drawing, sounds on input, clicks.
#include "kernel/controls/ButtonVO.h"

#include "kernel/controls/Factory.h"

namespace ControlLibrary {

// ---- Shared ----

ClickableVO_impl::~ClickableVO_impl() {
  Factory_impl* factory = GetFactoryImpl();
  if (factory == nullptr) return;
  for (int& id : mImages)
    if (id >= 0) factory->ReleaseImage(&id);
  for (IFont* font : mFonts) factory->Release(font);
  for (ISound* sound : {mHoverSound, mPressSound, mReleaseSound}) factory->ReleaseSound(sound);
}

void ClickableVO_impl::PlayOnce(ISound* sound) {
  if (sound != nullptr) sound->Play(false);
}

void ClickableVO_impl::SetSounds(ISound* hover, ISound* press, ISound* release) {
  // Each slot holds one reference; the sound held before is given back.
  ReplaceHandle(mHoverSound, hover);
  ReplaceHandle(mPressSound, press);
  ReplaceHandle(mReleaseSound, release);
}

void ClickableVO_impl::SetStateColors(const VOColor colors[5]) {
  for (int i = 0; i < 5; ++i) mFills[i] = colors[i];
}

void ClickableVO_impl::SetStateTextColors(const VOColor colors[5]) {
  for (int i = 0; i < 5; ++i) mTextColors[i] = colors[i];
}

void ClickableVO_impl::SetStateRects(const VORect rects[4]) {
  for (int i = 0; i < 4; ++i) mRects[i] = rects[i];
}

void ClickableVO_impl::SetStateFonts(IFont* const fonts[4]) {
  Factory_impl* factory = GetFactoryImpl();
  IFont* chosen[4];
  for (int i = 0; i < 4; ++i) {
    chosen[i] = i > 0 && fonts[i] == nullptr ? fonts[0] : fonts[i];
    if (chosen[i] != nullptr) chosen[i]->AddRef();
  }
  // The fonts held before are given back, so each state holds exactly one reference.
  for (int i = 0; i < 4; ++i) {
    if (mFonts[i] != nullptr && factory != nullptr) factory->Release(mFonts[i]);
    mFonts[i] = chosen[i];
  }
}

bool ClickableVO_impl::LoadImages(const std::string names[4]) {
  Factory_impl* factory = GetFactoryImpl();
  if (factory == nullptr) return false;
  bool ok = false;
  for (int i = 0; i < 4; ++i) {
    const std::string& name = i > 0 && names[i].empty() ? names[0] : names[i];
    int id = -1;
    ok = factory->FindOrLoadImage(name, &id);
    // The image held before for this state is given back.
    if (mImages[i] >= 0) factory->ReleaseImage(&mImages[i]);
    mImages[i] = ok ? id : -1;
  }
  return ok;
}

// ---- Button ----

ButtonVO_impl::ButtonVO_impl(std::uint32_t id) : ClickableVO_impl(id) {
  const VOColor fills[5] = {{128, 64, 0}, {248, 208, 87}, {252, 133, 133}, {203, 203, 192}, {25, 25, 250}};
  const VOColor texts[5] = {{248, 208, 87}, {128, 64, 0}, {25, 25, 250}, {0, 0, 0}, {252, 133, 133}};
  SetStateColors(fills);
  SetStateTextColors(texts);
}

void ButtonVO_impl::Update(std::vector<VORect>& fillList) {
  const VOSize extent = TakeExtent();
  TakeOldPositionAreas(extent, fillList);
  fillList.push_back({mScreenPosition.x, mScreenPosition.y, extent.width + 1, extent.height + 1});
}

void ButtonVO_impl::Draw() {
  Factory_impl* factory = GetFactoryImpl();
  if (factory == nullptr) return;
  const VORect screen = GetScreenRect();
  if (!mTextOnly) {
    const int state = !mEnabled ? 3 : !mHovered ? 0 : mPressed ? 2 : 1;
    if (mImages[state] < 0 || !factory->DrawImage(mImages[state], mRects[state], screen))
      factory->FillRectColour(screen, mFills[state]);
  }
  const int textState = !mEnabled ? 3 : mHovered && mPressed ? 2 : mHovered ? 1 : 0;
  const VOPoint centre = GetScreenCenter();
  factory->DrawText(mFonts[textState], mText, {centre.x + mTextOffset.x, centre.y + mTextOffset.y},
                    mTextColors[textState], kAlignCenter, kAlignCenter);
}

void ButtonVO_impl::OnMouseEnter() {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  PlayOnce(mHoverSound);
  VisibleObject_impl::OnMouseEnter();
  MarkChanged(false);
}

void ButtonVO_impl::OnMouseLeave() {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  VisibleObject_impl::OnMouseLeave();
  MarkChanged(false);
}

void ButtonVO_impl::OnMouseDown(int x, int y, int button, int clicks) {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  PlayOnce(mPressSound);
  VisibleObject_impl::OnMouseDown(x, y, button, clicks);
  MarkChanged(false);
}

void ButtonVO_impl::OnMouseUp(int x, int y, int button, int clicks) {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  PlayOnce(mReleaseSound);
  VisibleObject_impl::OnMouseUp(x, y, button, clicks);
  MarkChanged(false);
}

void ButtonVO_impl::PerformClick() {
  // Also called outside input dispatch (by a key observer, a timer or the game); a click
  // observer may delete this button.
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  const bool hovered = mHovered;
  mHovered = true;
  OnMouseDown(0, 0, 0, 1);
  OnMouseUp(0, 0, 0, 1);
  mHovered = hovered;
}

// ---- Check box ----

CheckBoxVO_impl::CheckBoxVO_impl(std::uint32_t id) : ClickableVO_impl(id) {
  const VOColor fills[5] = {{255, 255, 255}, {252, 133, 133}, {248, 208, 87}, {203, 203, 192}, {25, 25, 250}};
  const VOColor texts[5] = {{248, 208, 87}, {25, 25, 250}, {128, 64, 0}, {0, 0, 0}, {252, 133, 133}};
  SetStateColors(fills);
  SetStateTextColors(texts);
}

void CheckBoxVO_impl::SetChecked(bool checked) {
  if (checked == mChecked) return;
  mChecked = checked;
  MarkChanged(false);
}

void CheckBoxVO_impl::Draw() {
  Factory_impl* factory = GetFactoryImpl();
  if (factory == nullptr) return;
  const VOPoint at = GetScreenPosition();
  if (!mTextOnly) {
    const int state = mEnabled ? (mChecked ? 0 : 1) : (mChecked ? 2 : 3);
    const VORect box{at.x, at.y, mBoxSize.width, mBoxSize.height};
    if (mImages[state] < 0 || !factory->DrawImage(mImages[state], mRects[state], box))
      factory->FillRectColour(box, mFills[mEnabled ? state : 3]);
  }
  const int textState = !mEnabled ? 3 : mHovered ? 2 : mChecked ? 0 : 1;
  const int boxWidth = mTextOnly ? 0 : mBoxSize.width;
  factory->DrawText(mFonts[textState], mText,
                    {at.x + boxWidth + 4 + mTextOffset.x, at.y + mSize.height / 2 + mTextOffset.y},
                    mTextColors[textState], kAlignLeftTop, kAlignCenter);
}

void CheckBoxVO_impl::OnMouseEnter() {
  PlayOnce(mHoverSound);
  VisibleObject_impl::OnMouseEnter();
}

void CheckBoxVO_impl::OnMouseDown(int x, int y, int button, int clicks) {
  PlayOnce(mPressSound);
  mChecked = !mChecked;
  MarkChanged(false);
  VisibleObject_impl::OnMouseDown(x, y, button, clicks);
}

void CheckBoxVO_impl::OnMouseUp(int x, int y, int button, int clicks) {
  PlayOnce(mReleaseSound);
  VisibleObject_impl::OnMouseUp(x, y, button, clicks);
}

void CheckBoxVO_impl::PerformClick() {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  OnMouseDown(0, 0, 0, 1);
  OnMouseUp(0, 0, 0, 1);
}

}  // namespace ControlLibrary
