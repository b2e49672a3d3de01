// The implementation shared by every kind of visual object: position and size with the
// history of old areas to repaint, alignment, parent, layer, focus, flags and the input
// handlers that report to observers. Each kind derives from it and draws itself.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "kernel/controls/IVisibleObject.h"

namespace ControlLibrary {

class VisibleObject_impl {
 public:
  static constexpr int kHistorySize = 5;

  explicit VisibleObject_impl(std::uint32_t id);
  virtual ~VisibleObject_impl();
  VisibleObject_impl(const VisibleObject_impl&) = delete;
  VisibleObject_impl& operator=(const VisibleObject_impl&) = delete;

  // Appends the screen areas to clear before the next drawing pass (nothing when unchanged).
  virtual void Update(std::vector<VORect>& fillList);
  virtual void Draw() = 0;
  virtual void SetPosition(const VOPoint& p);
  virtual VOPoint GetScreenCenter();
  virtual void SetSize(const VOSize& size);
  virtual VORect GetRect();
  virtual VORect GetScreenRect();
  virtual void SetVisible(bool visible);
  virtual void SetEnabled(bool enabled);
  virtual void SetLayer(std::uint16_t layer);
  virtual int GetLayer();
  virtual void SetFocusable(bool focusable);
  virtual void SetFocus(bool focus);
  virtual void OnMouseEnter();
  virtual void OnMouseMove(int x, int y);
  virtual void OnMouseLeave();
  virtual void OnMouseUp(int x, int y, int button, int clicks);
  virtual void OnMouseDown(int x, int y, int button, int clicks);
  virtual void OnKeyChar(char c);
  virtual void OnKeyDown(int key);
  virtual void OnKeyUp(int key);
  // Called by the factory when the last reference is gone, while the object is still
  // registered: a shown object hides itself as by SetVisible(false), without telling anyone
  // who may be going away too.
  virtual void BeforeDelete();
  // Gives the focus away without a report: used when the object or its dialog goes, whose
  // observers may be going away too.
  void DropFocusQuietly();

  // The text kinds' size setter: an unchanged size still records an area one pixel larger,
  // so the old text is cleared all the same.
  void SetSizeAlwaysRepaint(const VOSize& size);
  void SetColor(const VOColor& color);
  void SetAlignment(std::uint32_t horizontal, std::uint32_t vertical);
  void SetCursor(ICursor* cursor);
  void SetToolTip(IToolTip* toolTip);
  // Positions are relative to the parent: a new parent moves the object on the screen, and
  // the place it was drawn at is repainted.
  void SetParent(IVisibleObject* parent);
  // Raises changed; with requeue, tells the factory the visibility again.
  void MarkChanged(bool requeue);
  bool CanTakeFocus() const { return mFocusable && mVisible && mEnabled; }

  std::uint32_t GetId() const { return mId; }
  VOPoint GetPosition() const { return mPosition; }
  VOPoint GetScreenPosition() const { return mScreenPosition; }
  VOSize GetSize() const { return mSize; }
  VOColor GetColor() const { return mColor; }
  bool IsVisible() const { return mVisible; }
  bool IsEnabled() const { return mEnabled; }
  bool HasFocus() const { return mFocused; }
  bool IsHovered() const { return mHovered; }
  bool IsPressed() const { return mPressed; }
  bool IsChanged() const { return mChanged; }
  void ClearChanged() { mChanged = false; }
  IToolTip* GetToolTip() const { return mToolTip; }
  ICursor* GetCursor() const { return mCursor; }
  IVisibleObject* GetParent() const { return mParent; }

  // Plain stores and reads.
  void SetShowWithParent(bool show) { mShowWithParent = show; }
  bool GetShowWithParent() const { return mShowWithParent; }
  void SetTag(std::uint16_t tag) { mTag = tag; }
  std::uint16_t GetTag() const { return mTag; }
  void SetModalExempt(bool exempt) { mModalExempt = exempt; }
  bool IsModalExempt() const { return mModalExempt; }
  void SetUserData(std::uint32_t data) { mUserData = data; }
  std::uint32_t GetUserData() const { return mUserData; }
  void AddMouseObserver(MouseMessageObserver* o) { mMouseObservers.push_back(o); }
  void AddKeybdObserver(KeybdMessageObserver* o) { mKeyObservers.push_back(o); }

 protected:
  struct PositionEntry {
    VOPoint point;
    bool used = false;
  };
  struct SizeEntry {
    VOSize size;
    bool used = false;
  };

  // The top-left corner that the position names under the current alignment.
  VOPoint AlignedCorner(const VOPoint& p, const VOSize& size) const;
  VOPoint ParentScreenCorner() const;
  void RecomputeScreenPosition();
  void RecordOldPosition(const VOPoint& p);
  void RecordOldSize(const VOSize& s);
  // The current size, or the larger of it and every recorded old size (those entries freed).
  VOSize TakeExtent();
  // Appends the rectangles of the recorded old positions (freeing them); false when none.
  bool TakeOldPositionAreas(const VOSize& extent, std::vector<VORect>& fillList);

  std::uint32_t mId;
  std::vector<MouseMessageObserver*> mMouseObservers;
  std::vector<KeybdMessageObserver*> mKeyObservers;
  IToolTip* mToolTip = nullptr;
  ICursor* mCursor = nullptr;
  IVisibleObject* mParent = nullptr;
  VOPoint mLastMouse;
  VOPoint mPosition;
  PositionEntry mPositionHistory[kHistorySize];
  VOPoint mScreenPosition;
  std::uint16_t mLayer = 0;
  std::uint32_t mAlignH = 0;
  std::uint32_t mAlignV = 0;
  std::uint16_t mTag = 0xFFFF;
  VOSize mSize;
  SizeEntry mSizeHistory[kHistorySize];
  bool mPressed = false;
  bool mHovered = false;
  bool mFocusable = true;
  bool mFocused = false;
  bool mEnabled = true;
  bool mVisible = false;
  bool mShowWithParent = true;
  bool mModalExempt = false;
  // Read by the redraw tick on the timing thread.
  std::atomic<bool> mChanged{false};
  VOColor mColor;
  std::uint32_t mUserData = 0;
};

}  // namespace ControlLibrary
