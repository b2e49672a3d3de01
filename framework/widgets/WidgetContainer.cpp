// Widget tree nodes: membership, z-order, dirty marking and the update and draw walks.
#include "framework/widgets/WidgetContainer.h"

#include <iterator>

#include "framework/graphics/Graphics.h"
#include "framework/widgets/Widget.h"
#include "framework/widgets/WidgetManager.h"

namespace Orvo {

WidgetContainer::WidgetContainer() : mUpdateIterator(mWidgets.end()) {}

WidgetContainer::~WidgetContainer() {
  // Children outlive their container only as detached widgets.
  for (Widget* child : mWidgets) child->mParent = nullptr;
}

Rect WidgetContainer::GetRect() { return Rect(mX, mY, mWidth, mHeight); }

bool WidgetContainer::Intersects(WidgetContainer* other) {
  const Rect a = GetRect();
  const Rect b = other->GetRect();
  return a.mX < b.mX + b.mWidth && b.mX < a.mX + a.mWidth && a.mY < b.mY + b.mHeight && b.mY < a.mY + a.mHeight &&
         a.mWidth > 0 && a.mHeight > 0 && b.mWidth > 0 && b.mHeight > 0;
}

void WidgetContainer::InsertWidgetHelper(WidgetList::iterator where, Widget* widget) {
  while (where != mWidgets.end() && (*where)->mZOrder < widget->mZOrder) ++where;
  while (where != mWidgets.begin() && (*std::prev(where))->mZOrder > widget->mZOrder) --where;
  mWidgets.insert(where, widget);
}

WidgetList::iterator WidgetContainer::EraseWidgetEntry(WidgetList::iterator it) {
  if (it == mUpdateIterator) {
    mUpdateIterator = mWidgets.erase(it);
    mUpdateIteratorModified = true;
    return mUpdateIterator;
  }
  return mWidgets.erase(it);
}

void WidgetContainer::AddWidget(Widget* widget) {
  if (HasWidget(widget)) return;
  InsertWidgetHelper(mWidgets.end(), widget);
  widget->mWidgetManager = mWidgetManager;
  widget->mParent = this;
  if (mWidgetManager != nullptr) {
    widget->AttachedToManager(mWidgetManager);
    widget->InvalidateFully();
    mWidgetManager->RecheckMouse();
  }
  MarkDirty();
}

bool WidgetContainer::HasWidget(Widget* widget) {
  for (Widget* w : mWidgets)
    if (w == widget) return true;
  return false;
}

void WidgetContainer::DetachWidget(Widget* widget) {
  WidgetManager* manager = widget->mWidgetManager;
  if (manager == nullptr) return;
  for (Widget* child : widget->mWidgets) widget->DetachWidget(child);
  manager->DropWidgetReferences(widget);
  for (PreModalInfo& info : manager->mPreModalInfoList) {
    if (info.mPrevBaseModalWidget == widget) info.mPrevBaseModalWidget = nullptr;
    if (info.mPrevFocusWidget == widget) info.mPrevFocusWidget = nullptr;
  }
  widget->DetachedFromManager(manager);
  widget->InvalidateChildFully(widget);
  widget->mWidgetManager = nullptr;
}

void WidgetContainer::RemoveWidget(Widget* widget) {
  for (auto it = mWidgets.begin(); it != mWidgets.end(); ++it) {
    if (*it != widget) continue;
    DetachWidget(widget);
    widget->mParent = nullptr;
    // Detaching may have reordered the list; find the entry again.
    for (auto again = mWidgets.begin(); again != mWidgets.end(); ++again) {
      if (*again == widget) {
        EraseWidgetEntry(again);
        break;
      }
    }
    return;
  }
}

void WidgetContainer::RemoveAllWidgets(bool doDelete, bool recursive) {
  while (!mWidgets.empty()) {
    Widget* widget = mWidgets.front();
    RemoveWidget(widget);
    if (recursive) widget->RemoveAllWidgets(doDelete, recursive);
    if (doDelete) delete widget;
  }
}

bool WidgetContainer::IsBehindHelper(Widget* a, Widget* b, int* found) {
  for (Widget* w : mWidgets) {
    if (w == a) {
      *found = 1;
      return true;
    }
    if (w == b) {
      *found = 2;
      return true;
    }
    if (w->IsBehindHelper(a, b, found)) return true;
  }
  return false;
}

bool WidgetContainer::IsBehind(Widget* a, Widget* b) {
  int found = 0;
  IsBehindHelper(a, b, &found);
  return found == 1;
}

bool WidgetContainer::TakeOutForReorder(Widget* widget) {
  for (auto it = mWidgets.begin(); it != mWidgets.end(); ++it) {
    if (*it == widget) {
      EraseWidgetEntry(it);
      return true;
    }
  }
  return false;
}

void WidgetContainer::BringToFront(Widget* widget) {
  if (!TakeOutForReorder(widget)) return;
  InsertWidgetHelper(mWidgets.end(), widget);
  widget->ZOrderChanged();
}

void WidgetContainer::BringToBack(Widget* widget) {
  if (!TakeOutForReorder(widget)) return;
  InsertWidgetHelper(mWidgets.begin(), widget);
  widget->ZOrderChanged();
}

void WidgetContainer::MoveBehind(Widget* widget, Widget* ref) {
  if (widget == ref || !HasWidget(ref) || !TakeOutForReorder(widget)) return;
  auto it = mWidgets.begin();
  while (it != mWidgets.end() && *it != ref) ++it;
  InsertWidgetHelper(it, widget);
  widget->ZOrderChanged();
}

void WidgetContainer::MoveInFront(Widget* widget, Widget* ref) {
  if (widget == ref || !HasWidget(ref) || !TakeOutForReorder(widget)) return;
  auto it = mWidgets.begin();
  while (it != mWidgets.end() && *it != ref) ++it;
  if (it != mWidgets.end()) ++it;
  InsertWidgetHelper(it, widget);
  widget->ZOrderChanged();
}

Point WidgetContainer::GetAbsolutePosition() {
  Point p{mX, mY};
  if (mParent != nullptr) {
    const Point parent = mParent->GetAbsolutePosition();
    p.mX += parent.mX;
    p.mY += parent.mY;
  }
  return p;
}

void WidgetContainer::MarkDirty() { mDirty = true; }

void WidgetContainer::InvalidateFully() {
  if (mParent != nullptr) {
    mParent->InvalidateChildFully(static_cast<Widget*>(this));
  } else {
    mDirty = true;
  }
}

void WidgetContainer::InvalidateChild(Widget* child) {
  if (child->mDirty) return;
  MarkDirty();
  child->mDirty = true;
  if (mParent != nullptr) return;
  if (child->mHasAlpha) {
    InvalidateChildFully(child);
    return;
  }
  auto it = mWidgets.begin();
  while (it != mWidgets.end() && *it != child) ++it;
  if (it == mWidgets.end()) return;
  for (++it; it != mWidgets.end(); ++it) {
    Widget* w = *it;
    if (w->mVisible && w->Intersects(child)) InvalidateChild(w);
  }
}

void WidgetContainer::InvalidateChildFully(Widget* child) {
  InvalidateFully();
  child->mDirty = true;
  if (mParent != nullptr) return;

  auto at = mWidgets.begin();
  while (at != mWidgets.end() && *at != child) ++at;
  if (at == mWidgets.end()) return;

  // The area the child covers, clipped to the manager.
  const Rect area = child->GetRect().Intersection(Rect(0, 0, mWidth, mHeight));
  // Behind the child: redraw what shows through, stopping at an opaque widget that covers it.
  for (auto it = at; it != mWidgets.begin();) {
    --it;
    Widget* w = *it;
    if (!w->mVisible) continue;
    const bool opaque = !w->mHasTransparencies && !w->mHasAlpha;
    if (opaque && w->Contains(area.mX, area.mY) &&
        w->Contains(area.mX + area.mWidth - 1, area.mY + area.mHeight - 1)) {
      w->MarkDirty();
      break;
    }
    if (w->Intersects(child)) InvalidateChild(w);
  }
  // In front of the child: everything that overlaps it.
  for (auto it = std::next(at); it != mWidgets.end(); ++it) {
    Widget* w = *it;
    if (w->mVisible && w->Intersects(child)) InvalidateChild(w);
  }
}

void WidgetContainer::InvalidateAll() {
  MarkDirty();
  for (Widget* w : mWidgets) {
    w->mDirty = true;
    w->InvalidateAll();
  }
}

void WidgetContainer::AttachedToManager(WidgetManager* manager) {
  for (Widget* child : mWidgets) {
    child->mWidgetManager = manager;
    child->AttachedToManager(manager);
  }
  MarkDirty();
}

void WidgetContainer::DetachedFromManager(WidgetManager* manager) {
  for (Widget* child : mWidgets) {
    // Children already detached one by one (on removal of this node) are told only once.
    if (child->mWidgetManager == nullptr) continue;
    manager->DropWidgetReferences(child);
    child->DetachedFromManager(manager);
    child->mWidgetManager = nullptr;
  }
  if (manager->mPopupWidget == this) manager->mPopupWidget = nullptr;
}

void WidgetContainer::Update() { ++mUpdateCnt; }

void WidgetContainer::UpdateTree(ModalFlags& flags) {
  AutoModalFlags masks(flags, mAddFlags, mRemoveFlags);
  const int effective = flags.GetFlags();
  if (effective & WIDGETFLAGS_MARK_DIRTY) MarkDirty();
  WidgetManager* manager = mWidgetManager;
  if (manager == nullptr) return;
  if ((effective & WIDGETFLAGS_UPDATE) && mLastWMUpdateCount != manager->mUpdateCnt) {
    mLastWMUpdateCount = manager->mUpdateCnt;
    Update();
  }
  mUpdateIterator = mWidgets.begin();
  while (mUpdateIterator != mWidgets.end()) {
    mUpdateIteratorModified = false;
    Widget* child = *mUpdateIterator;
    if (child == manager->mBaseModalWidget) flags.mIsAbove = true;
    child->UpdateTree(flags);
    if (!mUpdateIteratorModified) ++mUpdateIterator;
  }
  mUpdateIteratorModified = true;
}

void WidgetContainer::UpdateFractionAll(ModalFlags& flags, float fraction) {
  AutoModalFlags masks(flags, mAddFlags, mRemoveFlags);
  WidgetManager* manager = mWidgetManager;
  if (manager == nullptr) return;
  if (flags.GetFlags() & WIDGETFLAGS_UPDATE) UpdateF(fraction);
  mUpdateIterator = mWidgets.begin();
  while (mUpdateIterator != mWidgets.end()) {
    mUpdateIteratorModified = false;
    Widget* child = *mUpdateIterator;
    if (child == manager->mBaseModalWidget) flags.mIsAbove = true;
    child->UpdateFractionAll(flags, fraction);
    if (!mUpdateIteratorModified) ++mUpdateIterator;
  }
  mUpdateIteratorModified = true;
}

void WidgetContainer::DrawTree(ModalFlags& flags, Graphics* g) {
  WidgetManager* manager = mWidgetManager;
  if (manager != nullptr && mPriority > manager->mMinDeferredOverlayPriority)
    manager->FlushDeferredOverlayWidgets(mPriority);
  AutoModalFlags masks(flags, mAddFlags, mRemoveFlags);
  const int effective = flags.GetFlags();
  if (mClip && (effective & WIDGETFLAGS_CLIP)) g->ClipRect(0, 0, mWidth, mHeight);
  if (mWidgets.empty()) {
    if (effective & WIDGETFLAGS_DRAW) Draw(g);
    return;
  }
  if (effective & WIDGETFLAGS_DRAW) {
    g->PushState();
    Draw(g);
    g->PopState();
  }
  for (Widget* child : mWidgets) {
    if (!child->mVisible) continue;
    if (manager != nullptr && child == manager->mBaseModalWidget) flags.mIsAbove = true;
    Graphics childG(*g);
    childG.Translate(child->mX, child->mY);
    child->DrawTree(flags, &childG);
    child->mDirty = false;
  }
}

void WidgetContainer::SystemColorsChangedAll() {
  SystemColorsChanged();
  for (Widget* w : mWidgets) w->SystemColorsChangedAll();
}

}  // namespace Orvo
