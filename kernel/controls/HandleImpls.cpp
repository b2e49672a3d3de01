// Font, sound, cursor and tool-tip handles: thin objects over the factory's tables.
#include "kernel/controls/HandleImpls.h"

#include "kernel/controls/Factory.h"

namespace ControlLibrary {

// ---- Font ----

Font_impl::~Font_impl() {
  if (Factory_impl* factory = GetFactoryImpl()) factory->ReleaseFont(&mFontId);
}

bool Font_impl::Load(const std::string& name) {
  Factory_impl* factory = GetFactoryImpl();
  if (factory == nullptr) return false;
  const int id = factory->FindOrLoadFont(name);
  if (id < 0) return false;
  factory->ReleaseFont(&mFontId);
  mFontId = id;
  return true;
}

int Font_impl::GetHeight() {
  Factory_impl* factory = GetFactoryImpl();
  return factory != nullptr ? factory->GetFontHeight(mFontId) : 0;
}

int Font_impl::GetTextWidth(const std::string& text) {
  Factory_impl* factory = GetFactoryImpl();
  return factory != nullptr ? factory->GetTextWidth(mFontId, text) : 0;
}

// ---- Sound ----

Sound_impl::~Sound_impl() {
  if (mSoundId < 0) return;
  if (Factory_impl* factory = GetFactoryImpl()) factory->UnloadSound(&mSoundId);
}

int Sound_impl::Load(const std::string& name) {
  Factory_impl* factory = GetFactoryImpl();
  mSoundId = factory != nullptr ? factory->LoadSound(name) : -1;
  return mSoundId;
}

void Sound_impl::Play(bool loop) {
  Factory_impl* factory = GetFactoryImpl();
  if (factory == nullptr || mSoundId < 0) return;
  factory->PlaySound(mSoundId, loop);
  factory->SetSoundVolume(mSoundId, mVolume);
}

void Sound_impl::Stop() {
  Factory_impl* factory = GetFactoryImpl();
  if (factory != nullptr && mSoundId >= 0) factory->StopSound(mSoundId);
}

bool Sound_impl::IsPlaying() {
  Factory_impl* factory = GetFactoryImpl();
  return factory != nullptr && mSoundId >= 0 && factory->IsSoundPlaying(mSoundId);
}

void Sound_impl::SetVolume(double volume) {
  mVolume = volume;
  Factory_impl* factory = GetFactoryImpl();
  if (factory != nullptr && mSoundId >= 0) factory->SetSoundVolume(mSoundId, volume);
}

// ---- Cursor ----

Cursor_impl::~Cursor_impl() {
  if (mImageId < 0) return;
  if (Factory_impl* factory = GetFactoryImpl()) factory->ReleaseImage(&mImageId);
}

bool Cursor_impl::SetImage(const std::string& name) {
  Factory_impl* factory = GetFactoryImpl();
  int id = -1;
  if (factory == nullptr || !factory->FindOrLoadImage(name, &id)) return false;
  // The image held before is given back, so a cursor that changes its picture keeps one.
  if (mImageId >= 0) factory->ReleaseImage(&mImageId);
  mImageId = id;
  return true;
}

void Cursor_impl::SetDrawPosition(int x, int y) {
  if (mTarget.x == x && mTarget.y == y) return;
  mTarget.x = x;
  mTarget.y = y;
}

VOSize Cursor_impl::GetCursorSize() {
  VOSize size;
  if (mSource.width != 0 && mSource.height != 0) {
    size = {mSource.width, mSource.height};
  } else if (Factory_impl* factory = GetFactoryImpl()) {
    factory->GetImageSize(mImageId, &size.width, &size.height);
  }
  if (size.width == 0) size.width = 16;
  if (size.height == 0) size.height = 16;
  return size;
}

void Cursor_impl::Draw() {
  if (Factory_impl* factory = GetFactoryImpl()) factory->DrawImage(mImageId, mSource, mTarget);
}

// ---- Tool tip ----

ToolTip_impl::~ToolTip_impl() {
  if (mFont != nullptr) {
    if (Factory_impl* factory = GetFactoryImpl()) factory->Release(mFont);
  }
}

void ToolTip_impl::SetFont(IFont* font) {
  ReplaceHandle(mFont, font);
}

void ToolTip_impl::Set(const std::string& text, IFont* font, const VOColor& color) {
  SetText(text);
  SetFont(font);
  SetTextColor(color);
}

void ToolTip_impl::Draw() {
  Factory_impl* factory = GetFactoryImpl();
  if (factory == nullptr) return;
  if (!mNoBackground) factory->FillRectColour(mRect, mBackColor);
  if (mFont != nullptr && !mText.empty())
    factory->DrawText(mFont, mText, {mRect.x, mRect.y + mRect.height / 2}, mTextColor, kAlignLeftTop, kAlignCenter);
}

}  // namespace ControlLibrary
