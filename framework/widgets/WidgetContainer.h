// A node of the widget tree: an ordered list of child widgets, a rectangle, a dirty flag and
// the flag masks that decide, per subtree, whether widgets update, draw and take input.
#pragma once

#include <list>

#include "framework/graphics/Rect.h"

namespace Orvo {

class Graphics;
class Widget;
class WidgetManager;

enum WidgetFlags {
  WIDGETFLAGS_UPDATE = 1,
  WIDGETFLAGS_MARK_DIRTY = 2,
  WIDGETFLAGS_DRAW = 4,
  WIDGETFLAGS_CLIP = 8,
  WIDGETFLAGS_ALLOW_MOUSE = 16,
  WIDGETFLAGS_ALLOW_FOCUS = 32,
};

// The flag masks carried down a walk of the tree: aboveFlags apply until the walk reaches
// the base-modal widget, belowFlags to the widgets behind it.
struct ModalFlags {
  int mAboveFlags = 0;
  int mBelowFlags = 0;
  bool mIsAbove = true;

  int GetFlags() const { return mIsAbove ? mAboveFlags : mBelowFlags; }
};

// Applies a node's add/remove masks to a walk's flags and restores them on leaving the node.
class AutoModalFlags {
 public:
  AutoModalFlags(ModalFlags& flags, int addFlags, int removeFlags) : mFlags(flags), mSaved(flags) {
    flags.mAboveFlags = (flags.mAboveFlags | addFlags) & ~removeFlags;
    flags.mBelowFlags = (flags.mBelowFlags | addFlags) & ~removeFlags;
  }
  ~AutoModalFlags() {
    mFlags.mAboveFlags = mSaved.mAboveFlags;
    mFlags.mBelowFlags = mSaved.mBelowFlags;
  }
  AutoModalFlags(const AutoModalFlags&) = delete;
  AutoModalFlags& operator=(const AutoModalFlags&) = delete;

 private:
  ModalFlags& mFlags;
  ModalFlags mSaved;
};

typedef std::list<Widget*> WidgetList;

class WidgetContainer {
 public:
  WidgetList mWidgets;  // back-most first
  WidgetManager* mWidgetManager = nullptr;
  WidgetContainer* mParent = nullptr;
  bool mUpdateIteratorModified = false;
  WidgetList::iterator mUpdateIterator;
  int mLastWMUpdateCount = 0;
  int mUpdateCnt = 0;
  bool mDirty = false;
  int mX = 0;
  int mY = 0;
  int mWidth = 0;
  int mHeight = 0;
  bool mHasAlpha = false;
  bool mClip = true;
  int mAddFlags = 0;
  int mRemoveFlags = 0;
  int mPriority = 0;
  int mZOrder = 0;

  WidgetContainer();
  WidgetContainer(const WidgetContainer&) = delete;
  WidgetContainer& operator=(const WidgetContainer&) = delete;
  virtual ~WidgetContainer();

  virtual Rect GetRect();
  virtual bool Intersects(WidgetContainer* other);
  virtual void AddWidget(Widget* widget);
  virtual void RemoveWidget(Widget* widget);
  virtual bool HasWidget(Widget* widget);
  virtual void DropWidgetReferences(Widget* widget) {}
  virtual void RemoveAllWidgets(bool doDelete = false, bool recursive = false);
  virtual void SetFocus(Widget* widget) {}
  virtual bool IsBehind(Widget* a, Widget* b);
  virtual void InvalidateAll();
  virtual void BringToFront(Widget* widget);
  virtual void BringToBack(Widget* widget);
  virtual void MoveBehind(Widget* widget, Widget* ref);
  virtual void MoveInFront(Widget* widget, Widget* ref);
  virtual Point GetAbsolutePosition();
  virtual void InvalidateChild(Widget* child);
  virtual void MarkDirty();
  virtual void InvalidateChildFully(Widget* child);
  virtual void InvalidateFully();
  virtual void AttachedToManager(WidgetManager* manager);
  virtual void DetachedFromManager(WidgetManager* manager);
  virtual void Update();
  virtual void UpdateTree(ModalFlags& flags);
  virtual void UpdateF(float fraction) {}
  virtual void UpdateFractionAll(ModalFlags& flags, float fraction);
  virtual void Draw(Graphics* g) {}
  virtual void DrawTree(ModalFlags& flags, Graphics* g);
  virtual void SystemColorsChangedAll();
  virtual void SystemColorsChanged() {}

 protected:
  // Inserts at the position given, moved so that the list stays sorted by z-order.
  void InsertWidgetHelper(WidgetList::iterator where, Widget* widget);
  // Erases the widget's entry, stepping a running update walk past it.
  WidgetList::iterator EraseWidgetEntry(WidgetList::iterator it);
  // Takes the widget out of the list for a z-order move; false when it is no child.
  bool TakeOutForReorder(Widget* widget);
  void DetachWidget(Widget* widget);
  bool IsBehindHelper(Widget* a, Widget* b, int* found);
};

}  // namespace Orvo
