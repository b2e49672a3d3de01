// The widget manager: hit testing, hover, mouse capture, keyboard focus, the modal stack,
// and drawing the dirty top-level widgets onto the screen image once per frame.
#include "framework/widgets/WidgetManager.h"

#include <algorithm>
#include <climits>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/Image.h"

namespace Orvo {

namespace {

int ButtonBit(int button) {
  switch (button) {
    case MOUSE_BUTTON_LEFT: return 1;
    case MOUSE_BUTTON_RIGHT: return 2;
    case MOUSE_BUTTON_MIDDLE: return 4;
    default: return 0;
  }
}

}  // namespace

WidgetManager::WidgetManager(OrvoAppBase* app) : mApp(app) {
  mWidgetManager = this;
  mLastWMUpdateCount = 0;
}

WidgetManager::~WidgetManager() {
  mPreModalInfoList.clear();
  mDeferredOverlayWidgets.clear();
}

void WidgetManager::SetAppCursor(int cursor) {
  if (mApp != nullptr) mApp->SelectCursor(cursor);
}

void WidgetManager::SetMouseMapping(const Rect& destRect, const Rect& srcRect) {
  mMouseDestRect = destRect;
  mMouseSourceRect = srcRect;
  mWidth = destRect.mWidth + 2 * destRect.mX;
  mHeight = destRect.mHeight + 2 * destRect.mY;
}

void WidgetManager::MapPointToApp(int* x, int* y) const {
  // Until the display sets a mapping, window points are application points.
  if (mMouseSourceRect.mWidth != 0) {
    *x = static_cast<int>(static_cast<long long>(*x - mMouseSourceRect.mX) * mMouseDestRect.mWidth /
                          mMouseSourceRect.mWidth) +
         mMouseDestRect.mX;
  }
  if (mMouseSourceRect.mHeight != 0) {
    *y = static_cast<int>(static_cast<long long>(*y - mMouseSourceRect.mY) * mMouseDestRect.mHeight /
                          mMouseSourceRect.mHeight) +
         mMouseDestRect.mY;
  }
}

int WidgetManager::GetWidgetFlags() const {
  if (mHasFocus) return mWidgetFlags;
  return (mWidgetFlags | mLostFocusFlagsAdd) & ~mLostFocusFlagsRemove;
}

ModalFlags WidgetManager::CurrentModalFlags() const {
  ModalFlags flags;
  flags.mAboveFlags = GetWidgetFlags();
  flags.mBelowFlags = (GetWidgetFlags() | mBelowModalFlagsAdd) & ~mBelowModalFlagsRemove;
  flags.mIsAbove = mBaseModalWidget == nullptr;
  return flags;
}

bool WidgetManager::UpdateFrame() {
  ++mUpdateCnt;
  mLastWMUpdateCount = mUpdateCnt;
  ModalFlags flags = CurrentModalFlags();
  UpdateTree(flags);
  return mDirty;
}

bool WidgetManager::UpdateFrameF(float fraction) {
  ModalFlags flags = CurrentModalFlags();
  UpdateFractionAll(flags, fraction);
  return mDirty;
}

void WidgetManager::SetupDrawContext(Graphics* g) const {
  const bool accelerated = mApp != nullptr && mApp->Is3DAccelerated();
  g->SetFastStretch(!accelerated);
  g->SetLinearBlend(accelerated);
}

bool WidgetManager::DrawScreen() {
  ModalFlags flags = CurrentModalFlags();
  int dirtyCount = 0;
  for (Widget* w : mWidgets)
    if (w->mDirty) ++dirtyCount;
  mMinDeferredOverlayPriority = INT_MAX;
  mDeferredOverlayWidgets.clear();

  bool drewStuff = false;
  Graphics g(mImage);
  mCurrentG = &g;
  // A surface-backed screen stays locked for the whole frame.
  auto* surfaceImage = dynamic_cast<DDImage*>(mImage);
  const bool locked = surfaceImage != nullptr && surfaceImage->LockSurface();
  if (dirtyCount > 0) {
    Graphics screen(g);
    screen.Translate(-mMouseDestRect.mX, -mMouseDestRect.mY);
    for (Widget* w : mWidgets) {
      if (w == mBaseModalWidget) flags.mIsAbove = true;
      if (w->mDirty && w->mVisible) {
        Graphics widgetG(screen);
        widgetG.Translate(w->mX, w->mY);
        SetupDrawContext(&widgetG);
        w->DrawTree(flags, &widgetG);
        drewStuff = true;
      }
      w->mDirty = false;
    }
  }
  FlushDeferredOverlayWidgets(INT_MAX);
  if (locked) surfaceImage->UnlockSurface();
  mCurrentG = nullptr;
  mDirty = false;
  return drewStuff;
}

void WidgetManager::DeferOverlay(Widget* widget, int priority) {
  mDeferredOverlayWidgets.emplace_back(widget, priority);
  mMinDeferredOverlayPriority = std::min(mMinDeferredOverlayPriority, priority);
}

void WidgetManager::FlushDeferredOverlayWidgets(int maxPriority) {
  // The final flush of a frame (bound INT_MAX) draws every queued overlay, whatever its priority.
  while (!mDeferredOverlayWidgets.empty() &&
         (mMinDeferredOverlayPriority < maxPriority || maxPriority == INT_MAX)) {
    const int drawing = mMinDeferredOverlayPriority;
    for (auto& entry : mDeferredOverlayWidgets) {
      if (entry.first == nullptr || entry.second != drawing) continue;
      Widget* w = entry.first;
      entry.first = nullptr;
      if (mCurrentG == nullptr) continue;
      Graphics g(*mCurrentG);
      g.Translate(-mMouseDestRect.mX, -mMouseDestRect.mY);
      const Point pos = w->GetAbsolutePosition();
      g.Translate(pos.mX, pos.mY);
      SetupDrawContext(&g);
      w->DrawOverlay(&g, drawing);
    }
    mMinDeferredOverlayPriority = INT_MAX;
    for (const auto& entry : mDeferredOverlayWidgets)
      if (entry.first != nullptr) mMinDeferredOverlayPriority = std::min(mMinDeferredOverlayPriority, entry.second);
    if (mMinDeferredOverlayPriority == INT_MAX) {
      mDeferredOverlayWidgets.clear();
      break;
    }
  }
}

Widget* WidgetManager::GetWidgetAtHelper(WidgetContainer* container, int x, int y, int flags, bool* belowModal,
                                         bool* found, int* localX, int* localY) {
  flags = (container->mAddFlags | flags) & ~container->mRemoveFlags;
  Widget* best = nullptr;
  int bestX = 0, bestY = 0;
  for (auto it = container->mWidgets.rbegin(); it != container->mWidgets.rend(); ++it) {
    Widget* child = *it;
    int childFlags = (child->mAddFlags | flags) & ~child->mRemoveFlags;
    if (*belowModal) childFlags = (childFlags | mBelowModalFlagsAdd) & ~mBelowModalFlagsRemove;
    if ((childFlags & WIDGETFLAGS_ALLOW_MOUSE) && child->mVisible) {
      int innerX = 0, innerY = 0;
      Widget* inner = GetWidgetAtHelper(child, x - child->mX, y - child->mY, childFlags, belowModal, found,
                                        &innerX, &innerY);
      if (*found) {
        *localX = innerX;
        *localY = innerY;
        return inner;
      }
      const Rect innerRect = child->GetInnerRect();
      if (child->mMouseVisible && innerRect.Contains(x, y) && child->HitTestPoint(x - child->mX, y - child->mY)) {
        if (best == nullptr || child->GetHitPriority() > best->GetHitPriority()) {
          best = child;
          bestX = x - child->mX;
          bestY = y - child->mY;
        }
      }
    }
    if (child == mBaseModalWidget) *belowModal = true;
  }
  if (best != nullptr) {
    *found = true;
    *localX = bestX;
    *localY = bestY;
  }
  return best;
}

Widget* WidgetManager::GetWidgetAt(int x, int y, int* localX, int* localY) {
  bool belowModal = false;
  bool found = false;
  int lx = 0, ly = 0;
  Widget* hit = GetWidgetAtHelper(this, x, y, GetWidgetFlags(), &belowModal, &found, &lx, &ly);
  if (hit != nullptr && hit->mDisabled) hit = nullptr;
  if (localX != nullptr) *localX = lx;
  if (localY != nullptr) *localY = ly;
  return hit;
}

void WidgetManager::EnterWidget(Widget* widget) {
  widget->mIsOver = true;
  widget->MouseEnter();
  if (widget->mHandCursorOnHover) widget->SetHandCursor(true);
}

void WidgetManager::LeaveWidget(Widget* widget) {
  widget->mIsOver = false;
  widget->MouseLeave();
  if (widget->mHandCursorOnHover) widget->SetHandCursor(false);
}

void WidgetManager::SetMousePos(int x, int y, bool force) {
  const bool moved = x != mLastMouseX || y != mLastMouseY;
  if (!moved && !force) return;
  mLastMouseX = x;
  mLastMouseY = y;
  int localX = 0, localY = 0;
  Widget* widget = GetWidgetAt(x, y, &localX, &localY);
  const bool changed = widget != mOverWidget;
  if (changed) {
    Widget* old = mOverWidget;
    mOverWidget = nullptr;
    if (old != nullptr) LeaveWidget(old);
    mOverWidget = widget;
    if (widget != nullptr) EnterWidget(widget);
  }
  if (mOverWidget != nullptr && mOverWidget == widget && (changed || moved)) widget->MouseMove(localX, localY);
}

void WidgetManager::RecheckMouse() {
  if (!mMouseIn) return;
  if (mLastDownWidget != nullptr && mCapturedButtons != 0) {
    Widget* widget = GetWidgetAt(mLastMouseX, mLastMouseY, nullptr, nullptr);
    if (widget != mLastDownWidget && mOverWidget != nullptr) {
      Widget* old = mOverWidget;
      mOverWidget = nullptr;
      LeaveWidget(old);
    }
    return;
  }
  // A widget that appeared, moved or was enabled under a still mouse gets the hover.
  SetMousePos(mLastMouseX, mLastMouseY, true);
}

bool WidgetManager::MouseMove(int x, int y) {
  mLastInputUpdateCnt = mUpdateCnt;
  mMouseIn = true;
  // Buttons pressed over nothing hold no capture: without a captured widget it is a plain move.
  if (mCapturedButtons == 0 || mLastDownWidget == nullptr) {
    SetMousePos(x, y);
    return true;
  }
  mLastMouseX = x;
  mLastMouseY = y;
  Widget* captured = mLastDownWidget;
  if (mOverWidget != nullptr && mOverWidget != captured) {
    Widget* old = mOverWidget;
    mOverWidget = nullptr;
    LeaveWidget(old);
  }
  const Point pos = captured->GetAbsolutePosition();
  captured->MouseDrag(x - pos.mX, y - pos.mY);
  if (mLastDownWidget != captured) return true;  // the drag handler dropped the capture
  Widget* widget = GetWidgetAt(x, y, nullptr, nullptr);
  if (widget == captured) {
    if (mOverWidget != captured) {
      mOverWidget = captured;
      EnterWidget(captured);
    }
  } else if (mOverWidget != nullptr) {
    Widget* old = mOverWidget;
    mOverWidget = nullptr;
    LeaveWidget(old);
  }
  return true;
}

bool WidgetManager::MouseDown(int x, int y, int clickCount, int button) {
  mLastInputUpdateCnt = mUpdateCnt;
  const int bit = ButtonBit(button);
  mDownButtons |= bit;
  SetMousePos(x, y);
  if (mPopupWidget != nullptr && !mPopupWidget->Contains(x, y)) RemovePopup();

  int localX = 0, localY = 0;
  Widget* found = GetWidgetAt(x, y, &localX, &localY);
  Widget* target = found;
  if (mLastDownWidget != nullptr && mCapturedButtons != 0) {
    target = mLastDownWidget;
    if (target != found) {
      const Point pos = target->GetAbsolutePosition();
      localX = x - pos.mX;
      localY = y - pos.mY;
    }
  }
  mCapturedButtons |= bit;
  mLastDownWidget = target;
  if (target == nullptr) return true;
  if (target->AcceptsFocus()) SetFocus(target);
  target->mIsDown = true;
  target->MouseDownButton(localX, localY, button, clickCount);
  return true;
}

bool WidgetManager::MouseUp(int x, int y, int clickCount, int button) {
  mLastInputUpdateCnt = mUpdateCnt;
  const int bit = ButtonBit(button);
  mDownButtons &= ~bit;
  Widget* widget = mLastDownWidget;
  if (widget != nullptr && (mCapturedButtons & bit) != 0) {
    mCapturedButtons &= ~bit;
    if (mCapturedButtons == 0) mLastDownWidget = nullptr;
    widget->mIsDown = false;
    // Coordinates relative to the widget itself, wherever it sits in the tree.
    const Point pos = widget->GetAbsolutePosition();
    widget->MouseUpButton(x - pos.mX, y - pos.mY, button, clickCount);
  } else {
    mCapturedButtons &= ~bit;
    if (mCapturedButtons == 0) mLastDownWidget = nullptr;
  }
  SetMousePos(x, y);
  return true;
}

void WidgetManager::ReleaseHeldButtons(Widget* widget) {
  static const int kBits[3] = {1, 2, 4};
  static const int kCodes[3] = {1, -1, 3};
  const Point pos = widget->GetAbsolutePosition();
  for (int i = 0; i < 3; ++i) {
    if ((mCapturedButtons & kBits[i]) == 0) continue;
    mCapturedButtons &= ~kBits[i];
    widget->mIsDown = false;
    widget->MouseUp(mLastMouseX - pos.mX, mLastMouseY - pos.mY, kCodes[i]);
  }
  mCapturedButtons = 0;
  mLastDownWidget = nullptr;
}

void WidgetManager::ReleaseCapture() {
  if (mLastDownWidget != nullptr) {
    ReleaseHeldButtons(mLastDownWidget);
  } else {
    mCapturedButtons = 0;
  }
}

bool WidgetManager::MouseExit() {
  mLastInputUpdateCnt = mUpdateCnt;
  mMouseIn = false;
  if (mOverWidget != nullptr) {
    Widget* old = mOverWidget;
    mOverWidget = nullptr;
    LeaveWidget(old);
  }
  return true;
}

bool WidgetManager::OnMouseWheel(int delta) {
  mLastInputUpdateCnt = mUpdateCnt;
  Widget* target = mFocusWidget;
  // A widget that scrolls under the mouse (or one holding the widget there) takes the wheel
  // from the focus widget.
  if (mMouseIn) {
    for (WidgetContainer* c = GetWidgetAt(mLastMouseX, mLastMouseY, nullptr, nullptr); c != nullptr && c != this;
         c = c->mParent) {
      auto* w = dynamic_cast<Widget*>(c);
      if (w != nullptr && w->TakesWheelUnderMouse()) {
        target = w;
        break;
      }
    }
  }
  if (target != nullptr) target->MouseWheel(delta);
  return true;
}

bool WidgetManager::OnKeyDown(int key) {
  mLastInputUpdateCnt = mUpdateCnt;
  if (key >= 0 && key < 0xFF) mKeyDown[key] = 1;
  if (mFocusWidget != nullptr) mFocusWidget->KeyDown(key);
  if (mKeyHook != nullptr) mKeyHook->KeyDown(key);
  return true;
}

bool WidgetManager::OnKeyUp(int key) {
  mLastInputUpdateCnt = mUpdateCnt;
  if (key >= 0 && key < 0xFF) mKeyDown[key] = 0;
  if (key == KEYCODE_TAB && mKeyDown[KEYCODE_CONTROL]) return true;
  if (mFocusWidget != nullptr) mFocusWidget->KeyUp(key);
  if (mKeyHook != nullptr) mKeyHook->KeyUp(key);
  return true;
}

bool WidgetManager::OnChar(char c) {
  mLastInputUpdateCnt = mUpdateCnt;
  if (c == KEYCODE_TAB && mKeyDown[KEYCODE_CONTROL]) return true;
  if (mFocusWidget != nullptr) mFocusWidget->KeyChar(c);
  if (mKeyHook != nullptr) mKeyHook->KeyChar(c);
  return true;
}

void WidgetManager::GotFocus() {
  if (mHasFocus) return;
  mHasFocus = true;
  if (mFocusWidget != nullptr) mFocusWidget->GotFocus();
}

void WidgetManager::LostFocus() {
  if (!mHasFocus) return;
  mDownButtons = 0;
  for (int key = 0; key < 0xFF; ++key)
    if (mKeyDown[key]) OnKeyUp(key);
  mHasFocus = false;
  if (mFocusWidget != nullptr) mFocusWidget->LostFocus();
}

void WidgetManager::SetFocus(Widget* widget) {
  if (widget == mFocusWidget) return;
  Widget* old = mFocusWidget;
  mFocusWidget = nullptr;
  if (old != nullptr) old->LostFocus();
  if (widget != nullptr && widget->mWidgetManager == this) {
    mFocusWidget = widget;
    if (mHasFocus) widget->GotFocus();
  }
}

void WidgetManager::DropWidgetReferences(Widget* widget) {
  if (widget == nullptr) return;
  if (widget == mOverWidget) {
    mOverWidget = nullptr;
    LeaveWidget(widget);
  }
  if (widget == mLastDownWidget) ReleaseHeldButtons(widget);
  if (widget == mFocusWidget) {
    mFocusWidget = nullptr;
    widget->LostFocus();
  }
  if (widget == mBaseModalWidget) mBaseModalWidget = nullptr;
  if (widget == mPopupWidget) mPopupWidget = nullptr;
}

void WidgetManager::SetBaseModal(Widget* widget, int belowAddFlags, int belowRemoveFlags) {
  mBaseModalWidget = widget;
  mBelowModalFlagsAdd = belowAddFlags;
  mBelowModalFlagsRemove = belowRemoveFlags;
  if (widget == nullptr) return;
  if (belowRemoveFlags & WIDGETFLAGS_ALLOW_MOUSE) {
    if (mOverWidget != nullptr && IsBehind(mOverWidget, widget)) {
      Widget* old = mOverWidget;
      mOverWidget = nullptr;
      LeaveWidget(old);
    }
    if (mLastDownWidget != nullptr && IsBehind(mLastDownWidget, widget)) ReleaseHeldButtons(mLastDownWidget);
  }
  if ((belowRemoveFlags & WIDGETFLAGS_ALLOW_FOCUS) && mFocusWidget != nullptr && IsBehind(mFocusWidget, widget)) {
    Widget* old = mFocusWidget;
    mFocusWidget = nullptr;
    old->LostFocus();
  }
}

void WidgetManager::AddBaseModal(Widget* widget) {
  AddBaseModal(widget, mDefaultBelowModalFlagsAdd, mDefaultBelowModalFlagsRemove);
}

void WidgetManager::AddBaseModal(Widget* widget, int belowAddFlags, int belowRemoveFlags) {
  PreModalInfo info;
  info.mBaseModalWidget = widget;
  info.mPrevBaseModalWidget = mBaseModalWidget;
  info.mPrevFocusWidget = mFocusWidget;
  info.mPrevBelowModalAddFlags = mBelowModalFlagsAdd;
  info.mPrevBelowModalRemoveFlags = mBelowModalFlagsRemove;
  mPreModalInfoList.push_back(info);
  SetBaseModal(widget, belowAddFlags, belowRemoveFlags);
}

void WidgetManager::RemoveBaseModal(Widget* widget) {
  if (mPreModalInfoList.empty() || mPreModalInfoList.back().mBaseModalWidget != widget) return;
  bool first = true;
  while (!mPreModalInfoList.empty()) {
    const PreModalInfo info = mPreModalInfoList.back();
    // After the first record, only records whose modal widget has gone are unwound.
    if (!first && mBaseModalWidget != nullptr) break;
    first = false;
    SetBaseModal(info.mPrevBaseModalWidget, info.mPrevBelowModalAddFlags, info.mPrevBelowModalRemoveFlags);
    if (mFocusWidget == nullptr && info.mPrevFocusWidget != nullptr) SetFocus(info.mPrevFocusWidget);
    mPreModalInfoList.pop_back();
  }
}

void WidgetManager::RemovePopup() {
  Widget* popup = mPopupWidget;
  if (popup == nullptr) return;
  mPopupWidget = nullptr;
  if (popup->mParent != nullptr) popup->mParent->RemoveWidget(popup);
}

}  // namespace Orvo
