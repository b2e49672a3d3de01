// Image, text label, link and rectangle objects: drawing, sizing from fonts, repaint areas
// and the link's opening of its address.
#include "kernel/controls/SimpleVOs.h"

#include "kernel/controls/Factory.h"
#include "platform/Shell.h"

namespace ControlLibrary {

namespace {
constexpr VOColor kWhite{255, 255, 255};
}

// ---- Image ----

ImageVO_impl::ImageVO_impl(std::uint32_t id) : VisibleObject_impl(id) {
  mColor = kWhite;
  mSize = {20, 20};
}

ImageVO_impl::~ImageVO_impl() {
  if (mImageId < 0) return;
  if (Factory_impl* factory = GetFactoryImpl()) factory->ReleaseImage(&mImageId);
}

bool ImageVO_impl::SetImage(const std::string& name, bool fitSize) {
  Factory_impl* factory = GetFactoryImpl();
  int id = -1;
  if (factory == nullptr || !factory->FindOrLoadImage(name, &id)) return false;
  // The image shown before is given back, so replacing images does not pile up references.
  if (mImageId >= 0) factory->ReleaseImage(&mImageId);
  mImageId = id;
  int width = 0, height = 0;
  if (fitSize && factory->GetImageSize(id, &width, &height)) SetSize(VOSize{width, height});
  MarkChanged(false);
  return true;
}

std::string ImageVO_impl::GetImageName() {
  Factory_impl* factory = GetFactoryImpl();
  return factory != nullptr ? factory->GetImageName(mImageId) : std::string();
}

void ImageVO_impl::Draw() {
  Factory_impl* factory = GetFactoryImpl();
  if (!mVisible || factory == nullptr) return;
  const VORect screen = GetScreenRect();
  const bool drawn = mAngle == 0.0
                         ? factory->DrawImage(mImageId, mSource, screen)
                         : factory->DrawImageRotated(mImageId, VORect{}, screen, mAngle, mCentre, mOffset);
  if (!drawn) factory->FillRectColour(screen, mColor);
}

// ---- Text kinds ----

TextVOBase::TextVOBase(std::uint32_t id) : VisibleObject_impl(id) { mColor = kWhite; }

TextVOBase::~TextVOBase() {
  if (mFont == nullptr) return;
  if (Factory_impl* factory = GetFactoryImpl()) factory->Release(mFont);
}

void TextVOBase::HoldFont(IFont* font) {
  ReplaceHandle(mFont, font);
}

VORect TextVOBase::CurrentAreaPlusOne(const VOSize& extent) {
  const VOPoint corner = AlignedCorner(mPosition, extent);
  const VOPoint parent = ParentScreenCorner();
  return {corner.x + parent.x, corner.y + parent.y, extent.width + 1, extent.height + 1};
}

void StringVO_impl::Update(std::vector<VORect>& fillList) {
  const VOSize extent = TakeExtent();
  TakeOldPositionAreas(extent, fillList);
  fillList.push_back(CurrentAreaPlusOne(extent));
}

void StringVO_impl::SetFont(IFont* font) {
  HoldFont(font);
  if (mFont != nullptr) SetSizeAlwaysRepaint({mFont->GetTextWidth(mText), mFont->GetHeight()});
}

void StringVO_impl::SetText(const std::string& text) {
  mText = text;
  if (mFont == nullptr) return;
  SetSizeAlwaysRepaint({mFont->GetTextWidth(mText) + 2, mFont->GetHeight() + 4});
  MarkChanged(false);
}

void StringVO_impl::Draw() {
  Factory_impl* factory = GetFactoryImpl();
  if (!mVisible || mFont == nullptr || mText.empty() || factory == nullptr) return;
  const VOPoint at = GetScreenPosition();
  if (mShadow)
    factory->DrawText(mFont, mText, {at.x + mShadowOffset.x, at.y + mShadowOffset.y}, mShadowColor, kAlignLeftTop,
                      kAlignLeftTop);
  factory->DrawText(mFont, mText, at, mColor, kAlignLeftTop, kAlignLeftTop);
}

void LinkVO_impl::Update(std::vector<VORect>& fillList) { fillList.push_back(CurrentAreaPlusOne(TakeExtent())); }

void LinkVO_impl::SetFont(IFont* font) {
  HoldFont(font);
  if (mFont != nullptr) SetSize(VOSize{mFont->GetTextWidth(mText), mFont->GetHeight()});
}

void LinkVO_impl::SetText(const std::string& text) {
  mText = text;
  if (mFont != nullptr) SetSize(VOSize{mFont->GetTextWidth(mText), mFont->GetHeight()});
}

void LinkVO_impl::SetHoverColor(const VOColor& color) {
  if (color == mHoverColor) return;
  mHoverColor = color;
  MarkChanged(false);
}

void LinkVO_impl::Draw() {
  Factory_impl* factory = GetFactoryImpl();
  if (mFont == nullptr || mText.empty() || factory == nullptr) return;
  factory->DrawText(mFont, mText, GetScreenPosition(), mHovered ? mHoverColor : mColor, kAlignLeftTop,
                    kAlignLeftTop);
}

void LinkVO_impl::OnMouseEnter() {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  VisibleObject_impl::OnMouseEnter();
  MarkChanged(false);
}

void LinkVO_impl::OnMouseLeave() {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  VisibleObject_impl::OnMouseLeave();
  MarkChanged(false);
}

void LinkVO_impl::OnMouseDown(int x, int y, int button, int clicks) {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  VisibleObject_impl::OnMouseDown(x, y, button, clicks);
  if (mEnabled && !mAddress.empty())
    plat::ShellExecuteA(nullptr, "open", mAddress.c_str(), nullptr, nullptr, plat::SW_SHOWNORMAL);
}

// ---- Rectangle ----

RectVO_impl::RectVO_impl(std::uint32_t id) : VisibleObject_impl(id) {
  mColor = kWhite;
  mSize = {20, 20};
}

void RectVO_impl::SetFillMode(std::uint32_t mode) {
  if (mode == mFillMode) return;
  mFillMode = mode;
  MarkChanged(false);
}

void RectVO_impl::Draw() {
  Factory_impl* factory = GetFactoryImpl();
  if (factory == nullptr) return;
  if (mFillMode == 0) factory->DrawRectOutline(GetScreenRect(), mColor);
  if (mFillMode == 1) factory->FillRectColour(GetScreenRect(), mColor);
}

}  // namespace ControlLibrary
