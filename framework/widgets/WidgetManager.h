// The root of the widget tree and the one place input enters it: hit testing, hover,
// mouse capture, keyboard focus, the modal stack, and drawing dirty widgets to the screen.
#pragma once

#include <list>
#include <vector>

#include "framework/graphics/Rect.h"
#include "framework/widgets/Widget.h"

namespace Orvo {

class Image;
class OrvoAppBase;

// Receives every key event after the focus widget.
class KeyHook {
 public:
  virtual ~KeyHook() = default;
  virtual void KeyDown(int key) {}
  virtual void KeyUp(int key) {}
  virtual void KeyChar(char c) {}
};

struct PreModalInfo {
  Widget* mBaseModalWidget = nullptr;  // the modal widget this record was pushed for
  Widget* mPrevBaseModalWidget = nullptr;
  Widget* mPrevFocusWidget = nullptr;
  int mPrevBelowModalAddFlags = 0;
  int mPrevBelowModalRemoveFlags = 0;
};

class WidgetManager : public WidgetContainer {
 public:
  OrvoAppBase* mApp;
  Graphics* mCurrentG = nullptr;
  Image* mImage = nullptr;  // the screen image frames are drawn on
  Widget* mPopupWidget = nullptr;
  std::vector<std::pair<Widget*, int>> mDeferredOverlayWidgets;
  int mMinDeferredOverlayPriority = 0x7FFFFFFF;
  KeyHook* mKeyHook = nullptr;
  bool mHasFocus = true;
  Widget* mFocusWidget = nullptr;
  Widget* mLastDownWidget = nullptr;
  Widget* mOverWidget = nullptr;
  Widget* mBaseModalWidget = nullptr;
  int mLostFocusFlagsAdd = 0;
  int mLostFocusFlagsRemove = 0;
  int mBelowModalFlagsAdd = 0;
  int mBelowModalFlagsRemove = 0;
  int mDefaultBelowModalFlagsAdd = 0;
  int mDefaultBelowModalFlagsRemove = WIDGETFLAGS_ALLOW_MOUSE | WIDGETFLAGS_ALLOW_FOCUS;
  std::list<PreModalInfo> mPreModalInfoList;
  Rect mMouseDestRect;
  Rect mMouseSourceRect;
  bool mMouseIn = false;
  int mLastMouseX = 0;
  int mLastMouseY = 0;
  int mCapturedButtons = 0;  // pressed on mLastDownWidget: 1 left, 2 right, 4 middle
  int mDownButtons = 0;  // held anywhere
  int mLastInputUpdateCnt = 0;
  unsigned char mKeyDown[0xFF] = {};
  int mWidgetFlags = WIDGETFLAGS_UPDATE | WIDGETFLAGS_DRAW | WIDGETFLAGS_CLIP | WIDGETFLAGS_ALLOW_MOUSE |
                     WIDGETFLAGS_ALLOW_FOCUS;

  explicit WidgetManager(OrvoAppBase* app);
  ~WidgetManager() override;

  void DropWidgetReferences(Widget* widget) override;
  void SetFocus(Widget* widget) override;

  void SetMouseMapping(const Rect& destRect, const Rect& srcRect);
  void MapPointToApp(int* x, int* y) const;
  int GetWidgetFlags() const;
  ModalFlags CurrentModalFlags() const;

  bool UpdateFrame();
  bool UpdateFrameF(float fraction);
  bool DrawScreen();
  // Queues an overlay to be drawn after the widgets below its priority.
  void DeferOverlay(Widget* widget, int priority);
  void FlushDeferredOverlayWidgets(int maxPriority);

  bool MouseMove(int x, int y);
  bool MouseDown(int x, int y, int clickCount, int button);
  bool MouseUp(int x, int y, int clickCount, int button);
  bool MouseExit();
  bool OnMouseWheel(int delta);
  bool OnKeyDown(int key);
  bool OnKeyUp(int key);
  bool OnChar(char c);
  bool IsKeyDown(int key) const { return key >= 0 && key < 0xFF && mKeyDown[key] != 0; }

  void GotFocus();
  void LostFocus();
  void ReleaseCapture();

  void AddBaseModal(Widget* widget);
  void AddBaseModal(Widget* widget, int belowAddFlags, int belowRemoveFlags);
  void RemoveBaseModal(Widget* widget);
  void RemovePopup();

  Widget* GetWidgetAt(int x, int y, int* localX, int* localY);
  void RecheckMouse();
  // Asks the application for a cursor: 0 the arrow, 1 the hand, 2 the dragging cursor.
  void SetAppCursor(int cursor);

 private:
  Widget* GetWidgetAtHelper(WidgetContainer* container, int x, int y, int flags, bool* belowModal, bool* found,
                            int* localX, int* localY);
  void SetMousePos(int x, int y, bool force = false);
  void EnterWidget(Widget* widget);
  void LeaveWidget(Widget* widget);
  void ReleaseHeldButtons(Widget* widget);
  void SetBaseModal(Widget* widget, int belowAddFlags, int belowRemoveFlags);
  void SetupDrawContext(Graphics* g) const;
};

}  // namespace Orvo
