// The control factory's drawing pass, its drawing operations for the visual objects, the
// redraw tick and the dispatch of mouse and key input to the objects and key observers.
#include <algorithm>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/Image.h"
#include "framework/graphics/ImageFont.h"
#include "framework/widgets/WidgetManager.h"
#include "kernel/controls/Factory.h"
#include "kernel/controls/HandleImpls.h"

namespace ControlLibrary {

namespace {

Orvo::Color ToColor(const VOColor& c) { return Orvo::Color(c.r, c.g, c.b, 255); }
Orvo::Rect ToRect(const VORect& r) { return Orvo::Rect(r.x, r.y, r.width, r.height); }

// The source keeps its corner; without both a width and a height it spans the whole image.
Orvo::Rect SourceRect(Orvo::Image* image, const VORect& source) {
  if (source.width != 0 && source.height != 0) return ToRect(source);
  return Orvo::Rect(source.x, source.y, image->GetWidth(), image->GetHeight());
}

}  // namespace

Factory_impl::DispatchGuard::DispatchGuard(Factory_impl* factory) : mFactory(factory) {
  if (mFactory != nullptr) ++mFactory->mDispatchDepth;
}

Factory_impl::DispatchGuard::~DispatchGuard() {
  if (mFactory == nullptr || --mFactory->mDispatchDepth > 0) return;
  std::vector<IBridgeToVO*> doomed;
  doomed.swap(mFactory->mDeferredDeletes);
  for (IBridgeToVO* h : doomed) delete h;
}

// ---- Drawing ----

void Factory_impl::DrawAll(Orvo::Graphics* g) {
  ObjectsLock hold;
  mGraphics = g;
  for (IBridgeToVO* h : mShown) h->Update(mFillList);
  for (const VORect& r : mFillList) FillRectColour(r, VOColor{0, 0, 0});
  // Drawing may show or hide objects (the lock is recursive): walk a copy.
  const std::vector<IBridgeToVO*> shown = mShown;
  for (IBridgeToVO* h : shown) {
    if (std::find(mShown.begin(), mShown.end(), h) == mShown.end()) continue;
    h->Draw(nullptr);
    h->GetImpl()->ClearChanged();
  }
  mFillList.clear();
  const int mouseX = mApp->mWidgetManager->mLastMouseX;
  const int mouseY = mApp->mWidgetManager->mLastMouseY;
  auto* cursor = static_cast<Cursor_impl*>(mActiveCursor);
  if (cursor != nullptr) {
    cursor->SetDrawPosition(mouseX, mouseY);
    cursor->Draw();
  }
  if (mActiveToolTip != nullptr) {
    const VOSize offset = cursor != nullptr ? cursor->GetCursorSize() : VOSize{16, 16};
    auto* tip = static_cast<ToolTip_impl*>(mActiveToolTip);
    tip->SetDrawPosition(mouseX + offset.width, mouseY + offset.height);
    tip->Draw();
  }
}

void Factory_impl::DrawRectOutline(const VORect& rect, const VOColor& color) {
  if (mGraphics == nullptr) return;
  mGraphics->SetColor(ToColor(color));
  mGraphics->DrawRect(ToRect(rect));
}

void Factory_impl::FillRectColour(const VORect& rect, const VOColor& color) {
  if (mGraphics == nullptr) return;
  mGraphics->SetColor(ToColor(color));
  mGraphics->FillRect(ToRect(rect));
}

void Factory_impl::DrawLineColour(const VOPoint& a, const VOPoint& b, const VOColor& color) {
  if (mGraphics == nullptr) return;
  mGraphics->SetColor(ToColor(color));
  mGraphics->DrawLine(a.x, a.y, b.x, b.y);
}

bool Factory_impl::DrawImage(int id, const VORect& source, const VORect& target) {
  Orvo::Image* image = ImageAt(id);
  if (image == nullptr || mGraphics == nullptr) return false;
  const Orvo::Rect src = SourceRect(image, source);
  Orvo::Rect dst(target.x, target.y, target.width, target.height);
  if (target.width == 0 || target.height == 0) {
    dst.mWidth = source.width != 0 ? source.width : image->GetWidth();
    dst.mHeight = source.height != 0 ? source.height : image->GetHeight();
  }
  // Most images are drawn at their own size: a plain copy is far cheaper than a stretch.
  if (dst.mWidth == src.mWidth && dst.mHeight == src.mHeight)
    mGraphics->DrawImageSrc(image, dst.mX, dst.mY, src);
  else
    mGraphics->DrawImageStretched(image, dst, src);
  return true;
}

bool Factory_impl::DrawImageRotated(int id, const VORect& source, const VORect& target, double angle,
                                    const VOPoint& centre, const VOPoint& offset) {
  Orvo::Image* image = ImageAt(id);
  if (image == nullptr || mGraphics == nullptr) return false;
  const Orvo::Rect src = SourceRect(image, source);
  mGraphics->DrawImageRotated(image, offset.x + target.x, offset.y + target.y, angle, centre.x, centre.y, &src);
  return true;
}

void Factory_impl::DrawText(IFont* font, const std::string& text, const VOPoint& at, const VOColor& color,
                            std::uint32_t alignH, std::uint32_t alignV) {
  if (font == nullptr || text.empty() || mGraphics == nullptr) return;
  const int id = static_cast<Font_impl*>(font)->GetFontId();
  if (id < 0 || id >= kMaxFonts || mFonts[id].font == nullptr) return;
  Orvo::ImageFont* imageFont = mFonts[id].font;
  int x = at.x;
  int y = at.y;
  const int width = imageFont->StringWidth(text);
  const int height = imageFont->GetHeight();
  if (alignH == kAlignCenter) x -= width / 2;
  if (alignH == kAlignRightBottom) x -= width;
  if (alignV == kAlignCenter) y -= height / 2;
  if (alignV == kAlignRightBottom) y -= height;
  mGraphics->SetColor(ToColor(color));
  mGraphics->SetFont(imageFont);
  mGraphics->DrawString(text, x, y + height);
}

// ---- Redraw tick ----

void Factory_impl::OnTimerTick(std::uint32_t id) {
  if (mRedrawRequest) return;
  std::lock_guard<std::recursive_mutex> guard(mLock);
  for (IBridgeToVO* h : mShown) {
    if (h->GetImpl()->IsChanged()) {
      mRedrawRequest = true;
      return;
    }
  }
}

// ---- Input ----

void Factory_impl::OnMouseMove(int x, int y) {
  ObjectsLock hold;
  DispatchGuard dispatch(this);
  HoverAt(x, y, true);
}

void Factory_impl::HoverAt(int x, int y, bool reportMove) {
  IBridgeToVO* hit = nullptr;
  if (mShown.empty()) return;
  for (auto it = mShown.rbegin(); it != mShown.rend(); ++it) {
    const VORect r = (*it)->GetImpl()->GetScreenRect();
    if (x >= r.x && x <= r.x + r.width && y >= r.y && y <= r.y + r.height) {
      hit = *it;
      break;
    }
  }
  if (hit == nullptr) {
    if (mHovered != nullptr) {
      VisibleObject_impl* old = mHovered;
      mHovered = nullptr;
      old->OnMouseLeave();
    }
    return;
  }
  VisibleObject_impl* vo = hit->GetImpl();
  if (mHovered == nullptr) {
    mHovered = vo;
    vo->OnMouseEnter();
  } else if (mHovered->GetId() != vo->GetId()) {
    mHovered->OnMouseLeave();
    mHovered = vo;
    vo->OnMouseEnter();
  } else if (reportMove) {
    mHovered->OnMouseMove(x, y);
  }
}

void Factory_impl::OnMouseDown(int x, int y, int button, int clicks) {
  ObjectsLock hold;
  DispatchGuard dispatch(this);
  // The press goes to what is under the mouse now: what was hovered may have been hidden,
  // moved or covered since the last move.
  HoverAt(x, y, false);
  VisibleObject_impl* vo = mHovered;
  if (vo == nullptr) return;
  vo->OnMouseDown(x, y, button, clicks);
  // The press may have deleted the object (it is then no longer hovered).
  if (mHovered != vo || vo == mFocused || !vo->CanTakeFocus()) return;
  if (mFocused != nullptr) mFocused->SetFocus(false);
  mFocused = vo;
  vo->SetFocus(true);
}

void Factory_impl::OnMouseUp(int x, int y, int button, int clicks) {
  ObjectsLock hold;
  DispatchGuard dispatch(this);
  HoverAt(x, y, false);
  if (mHovered != nullptr) mHovered->OnMouseUp(x, y, button, clicks);
}

VisibleObject_impl* Factory_impl::KeyTarget() const {
  if (mFocused == nullptr || !mFocused->IsVisible() || !mFocused->IsEnabled()) return nullptr;
  return mFocused;
}

void Factory_impl::OnKeyChar(char c) {
  ObjectsLock hold;
  DispatchGuard dispatch(this);
  if (VisibleObject_impl* target = KeyTarget()) target->OnKeyChar(c);
}

void Factory_impl::OnKeyDown(int key) {
  ObjectsLock hold;
  DispatchGuard dispatch(this);
  // An observer taken off during the delivery leaves a gap, so every other keeps its answer.
  ++mKeyDispatchDepth;
  mKeyWanted.clear();
  for (std::size_t i = 0; i < mKeyObservers.size(); ++i)
    mKeyWanted.push_back(mKeyObservers[i] != nullptr && mKeyObservers[i]->WantsKeys());
  for (std::size_t i = 0; i < mKeyWanted.size() && i < mKeyObservers.size(); ++i)
    if (mKeyWanted[i] && mKeyObservers[i] != nullptr) mKeyObservers[i]->OnKeyDown(key);
  if (VisibleObject_impl* target = KeyTarget()) target->OnKeyDown(key);
  if (--mKeyDispatchDepth == 0) CloseKeyObserverGaps();
}

void Factory_impl::OnKeyUp(int key) {
  ObjectsLock hold;
  DispatchGuard dispatch(this);
  ++mKeyDispatchDepth;
  for (std::size_t i = 0; i < mKeyWanted.size() && i < mKeyObservers.size(); ++i)
    if (mKeyWanted[i] && mKeyObservers[i] != nullptr) mKeyObservers[i]->OnKeyUp(key);
  if (VisibleObject_impl* target = KeyTarget()) target->OnKeyUp(key);
  if (--mKeyDispatchDepth == 0) CloseKeyObserverGaps();
}

}  // namespace ControlLibrary
