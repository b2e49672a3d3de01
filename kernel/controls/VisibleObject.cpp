// Common behaviour of visual objects: geometry with repaint history, flags, and the input
// handlers that report to observers.
#include "kernel/controls/VisibleObject.h"

#include <algorithm>

#include "kernel/controls/Factory.h"

namespace ControlLibrary {

VisibleObject_impl::VisibleObject_impl(std::uint32_t id) : mId(id) {}

VisibleObject_impl::~VisibleObject_impl() {
  Factory_impl* factory = GetFactoryImpl();
  if (factory != nullptr) {
    factory->ForgetVO(this);
    if (mCursor != nullptr) factory->Release(mCursor);
    if (mToolTip != nullptr) factory->Release(mToolTip);
  }
}

VOPoint VisibleObject_impl::AlignedCorner(const VOPoint& p, const VOSize& size) const {
  VOPoint corner = p;
  if (mAlignH == kAlignCenter) corner.x -= size.width >> 1;
  if (mAlignH == kAlignRightBottom) corner.x -= size.width;
  if (mAlignV == kAlignCenter) corner.y -= size.height >> 1;
  if (mAlignV == kAlignRightBottom) corner.y -= size.height;
  return corner;
}

VOPoint VisibleObject_impl::ParentScreenCorner() const {
  if (mParent == nullptr) return {};
  const VORect r = mParent->GetScreenRect();
  return {r.x, r.y};
}

void VisibleObject_impl::RecomputeScreenPosition() {
  const VOPoint corner = AlignedCorner(mPosition, mSize);
  const VOPoint parent = ParentScreenCorner();
  mScreenPosition = {corner.x + parent.x, corner.y + parent.y};
  mChanged = true;
}

void VisibleObject_impl::SetParent(IVisibleObject* parent) {
  if (parent == mParent) return;
  // Old positions are read against the current parent's corner; this one is the place the
  // object stood at under the parent it leaves.
  const VOPoint before = ParentScreenCorner();
  mParent = parent;
  const VOPoint after = ParentScreenCorner();
  RecordOldPosition({mPosition.x + before.x - after.x, mPosition.y + before.y - after.y});
  RecomputeScreenPosition();
}

void VisibleObject_impl::RecordOldPosition(const VOPoint& p) {
  for (PositionEntry& e : mPositionHistory) {
    if (!e.used) {
      e = {p, true};
      return;
    }
  }
}

void VisibleObject_impl::RecordOldSize(const VOSize& s) {
  for (SizeEntry& e : mSizeHistory) {
    if (!e.used) {
      e = {s, true};
      return;
    }
  }
}

void VisibleObject_impl::SetPosition(const VOPoint& p) {
  if (p == mPosition && mParent == nullptr) return;
  RecordOldPosition(mPosition);
  mPosition = p;
  RecomputeScreenPosition();
}

void VisibleObject_impl::SetSize(const VOSize& size) {
  if (size == mSize) return;
  RecordOldSize(mSize);
  mSize = size;
  RecomputeScreenPosition();
}

void VisibleObject_impl::SetSizeAlwaysRepaint(const VOSize& size) {
  if (size == mSize) {
    RecordOldSize({mSize.width + 1, mSize.height + 1});
    RecomputeScreenPosition();
    return;
  }
  SetSize(size);
}

VOSize VisibleObject_impl::TakeExtent() {
  VOSize extent = mSize;
  for (SizeEntry& e : mSizeHistory) {
    if (!e.used) continue;
    extent.width = std::max(extent.width, e.size.width);
    extent.height = std::max(extent.height, e.size.height);
    e.used = false;
  }
  return extent;
}

bool VisibleObject_impl::TakeOldPositionAreas(const VOSize& extent, std::vector<VORect>& fillList) {
  // Old positions are relative to the parent: the parent's current corner is added, which
  // is right unless the parent moved in the same pass.
  const VOPoint parent = ParentScreenCorner();
  bool any = false;
  for (PositionEntry& e : mPositionHistory) {
    if (!e.used) continue;
    const VOPoint corner = AlignedCorner(e.point, extent);
    fillList.push_back({corner.x + parent.x, corner.y + parent.y, extent.width, extent.height});
    e.used = false;
    any = true;
  }
  return any;
}

void VisibleObject_impl::Update(std::vector<VORect>& fillList) {
  if (!mChanged) return;
  const VOSize extent = TakeExtent();
  if (!TakeOldPositionAreas(extent, fillList))
    fillList.push_back({mScreenPosition.x, mScreenPosition.y, extent.width, extent.height});
}

VOPoint VisibleObject_impl::GetScreenCenter() {
  const VOPoint corner = AlignedCorner(mPosition, mSize);
  const VOPoint parent = ParentScreenCorner();
  return {corner.x + parent.x + mSize.width / 2, corner.y + parent.y + mSize.height / 2};
}

VORect VisibleObject_impl::GetRect() { return {mPosition.x, mPosition.y, mSize.width, mSize.height}; }

VORect VisibleObject_impl::GetScreenRect() {
  return {mScreenPosition.x, mScreenPosition.y, mSize.width, mSize.height};
}

void VisibleObject_impl::SetColor(const VOColor& color) {
  if (color == mColor) return;
  mColor = color;
  mChanged = true;
}

void VisibleObject_impl::SetAlignment(std::uint32_t horizontal, std::uint32_t vertical) {
  if (horizontal == mAlignH && vertical == mAlignV) return;
  mAlignH = horizontal;
  mAlignV = vertical;
  RecomputeScreenPosition();
}

void VisibleObject_impl::SetVisible(bool visible) {
  if (visible == mVisible) return;
  // Reports the focus lost and the leave; their observers may delete this object.
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  // A hidden object takes no keys: it gives the focus away first.
  if (!visible && mFocused) SetFocus(false);
  mVisible = visible;
  mChanged = true;
  if (Factory_impl* factory = GetFactoryImpl()) factory->SetVOVisible(mId, visible);
}

void VisibleObject_impl::BeforeDelete() {
  DropFocusQuietly();
  if (mVisible) VisibleObject_impl::SetVisible(false);
}

void VisibleObject_impl::DropFocusQuietly() {
  if (!mFocused) return;
  mFocused = false;
  mChanged = true;
  if (Factory_impl* factory = GetFactoryImpl()) factory->ForgetFocus(this);
}

void VisibleObject_impl::SetEnabled(bool enabled) {
  if (enabled == mEnabled) return;
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  // Nor does a disabled one (a modal dialog disables what lies below it).
  if (!enabled && mFocused) SetFocus(false);
  mEnabled = enabled;
  if (enabled && mVisible) mChanged = true;
}

void VisibleObject_impl::SetLayer(std::uint16_t layer) {
  if (layer == mLayer) return;
  mLayer = layer;
  if (Factory_impl* factory = GetFactoryImpl()) factory->ResortVO(mId);
}

int VisibleObject_impl::GetLayer() { return mLayer + (mParent != nullptr ? mParent->GetLayer() : 0); }

void VisibleObject_impl::SetFocusable(bool focusable) {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  if (!focusable && mFocused) SetFocus(false);
  mFocusable = focusable;
}

void VisibleObject_impl::SetFocus(bool focus) {
  // Only an object that can take the focus gets it; any object can give it away, so that
  // one hidden or disabled meanwhile is not left holding the keys.
  if (focus && !CanTakeFocus()) return;
  // Taking the focus makes the object that had it report its loss.
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  if (focus != mFocused) mChanged = true;
  mFocused = focus;
  Factory_impl* factory = GetFactoryImpl();
  if (factory == nullptr) return;
  if (focus) {
    factory->SetFocusedVO(this);
  } else {
    factory->ForgetFocus(this);
  }
}

void VisibleObject_impl::MarkChanged(bool requeue) {
  mChanged = true;
  if (requeue) {
    if (Factory_impl* factory = GetFactoryImpl()) factory->SetVOVisible(mId, mVisible);
  }
}

void VisibleObject_impl::SetCursor(ICursor* cursor) {
  if (cursor == nullptr) return;  // a cursor, once set, is only replaced
  ReplaceHandle(mCursor, cursor);
}

void VisibleObject_impl::SetToolTip(IToolTip* toolTip) {
  if (toolTip == nullptr) return;
  ReplaceHandle(mToolTip, toolTip);
}

void VisibleObject_impl::OnMouseEnter() {
  Factory_impl* factory = GetFactoryImpl();
  Factory_impl::DispatchGuard keep(factory);
  mHovered = true;
  if (factory != nullptr) {
    if (mToolTip != nullptr) factory->SetActiveToolTip(mToolTip);
    if (mCursor != nullptr) factory->SetActiveCursor(mCursor);
  }
  for (std::size_t i = 0; i < mMouseObservers.size(); ++i) mMouseObservers[i]->OnMouseEnter(mId);
}

void VisibleObject_impl::OnMouseMove(int x, int y) {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  mLastMouse = {x, y};
  for (std::size_t i = 0; i < mMouseObservers.size(); ++i) mMouseObservers[i]->OnMouseMove(mId, x, y);
}

void VisibleObject_impl::OnMouseLeave() {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  mHovered = false;
  for (std::size_t i = 0; i < mMouseObservers.size(); ++i) mMouseObservers[i]->OnMouseLeave(mId);
  if (Factory_impl* factory = GetFactoryImpl()) {
    factory->SetActiveToolTip(nullptr);
    factory->SetActiveCursor(nullptr);
  }
}

void VisibleObject_impl::OnMouseDown(int x, int y, int button, int clicks) {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  mPressed = true;
  if (!mEnabled) return;
  SetFocus(true);
  for (std::size_t i = 0; i < mMouseObservers.size(); ++i) mMouseObservers[i]->OnMouseDown(mId, button);
}

void VisibleObject_impl::OnMouseUp(int x, int y, int button, int clicks) {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  mPressed = false;
  if (!mHovered || !mEnabled) return;
  for (std::size_t i = 0; i < mMouseObservers.size(); ++i) mMouseObservers[i]->OnMouseClick(mId, button);
}

void VisibleObject_impl::OnKeyChar(char c) {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  for (std::size_t i = 0; i < mKeyObservers.size(); ++i) mKeyObservers[i]->OnKeyChar(mId, c);
}

void VisibleObject_impl::OnKeyDown(int key) {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  for (std::size_t i = 0; i < mKeyObservers.size(); ++i) mKeyObservers[i]->OnKeyDown(mId, key);
}

void VisibleObject_impl::OnKeyUp(int key) {
  Factory_impl::DispatchGuard keep(GetFactoryImpl());
  for (std::size_t i = 0; i < mKeyObservers.size(); ++i) mKeyObservers[i]->OnKeyUp(mId, key);
}

}  // namespace ControlLibrary
