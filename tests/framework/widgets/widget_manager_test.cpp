// Widget manager: hit testing, hover and capture across drags, focus and keys, the modal stack.
#include <gtest/gtest.h>

#include <functional>
#include <list>
#include <string>
#include <vector>

#include "framework/widgets/Widget.h"
#include "framework/widgets/WidgetManager.h"

namespace {

using Orvo::Widget;
using Orvo::WidgetManager;

class Probe : public Widget {
 public:
  explicit Probe(std::vector<std::string>* log, std::string name = "") : mLog(log), mName(std::move(name)) {}
  void MouseEnter() override { Add("enter"); }
  void MouseLeave() override { Add("leave"); }
  void MouseDownButton(int x, int y, int button, int count) override {
    Add("down " + std::to_string(button) + " at " + std::to_string(x) + "," + std::to_string(y));
  }
  void MouseUpButton(int x, int y, int button, int count) override {
    Add("up " + std::to_string(button) + (mIsOver ? " over" : " off"));
  }
  void MouseUp(int x, int y, int code) override { Add("release " + std::to_string(code)); }
  void MouseDrag(int x, int y) override { Add("drag " + std::to_string(x) + "," + std::to_string(y)); }
  void KeyUp(int key) override { Add("keyup " + std::to_string(key)); }
  void KeyChar(char c) override { Add(std::string("char ") + c); }
  void GotFocus() override {
    Widget::GotFocus();
    Add("focus");
  }
  void LostFocus() override {
    Widget::LostFocus();
    Add("unfocus");
  }
  void Add(const std::string& event) { mLog->push_back(mName.empty() ? event : mName + " " + event); }
  std::vector<std::string>* mLog;
  std::string mName;
};

class WidgetManagerTest : public ::testing::Test {
 protected:
  WidgetManager manager{nullptr};
  std::vector<std::string> log;
  void SetUp() override { manager.SetMouseMapping(Orvo::Rect(0, 0, 200, 200), Orvo::Rect(0, 0, 200, 200)); }
  void TearDown() override { manager.RemoveAllWidgets(false, true); }
  // Widgets live as long as the fixture, so that they outlast the manager's references.
  Probe& New(const std::string& name) { return probes.emplace_back(&log, name); }
  std::list<Probe> probes;
  Probe* Add(Probe* p, int x, int y, int w, int h) {
    p->Resize(x, y, w, h);
    manager.AddWidget(p);
    return p;
  }
};

TEST_F(WidgetManagerTest, HitTestPrioritiesDisabledAndModal) {
  Probe& back = New("back");
  Probe& front = New("front");
  Add(&back, 0, 0, 50, 50);
  Add(&front, 25, 25, 50, 50);
  EXPECT_EQ(manager.GetWidgetAt(30, 30, nullptr, nullptr), &front);  // equal priority: the front one
  back.SetHitPriority(600);
  int lx = 0, ly = 0;
  EXPECT_EQ(manager.GetWidgetAt(30, 30, &lx, &ly), &back);  // higher priority even behind
  EXPECT_EQ(lx, 30);
  back.SetHitPriority(500);
  front.SetDisabled(true);
  EXPECT_EQ(manager.GetWidgetAt(30, 30, nullptr, nullptr), nullptr);  // disabled in front: nobody
  front.SetDisabled(false);

  Probe& child = New("child");
  front.AddWidget(&child);
  child.Resize(5, 5, 10, 10);
  EXPECT_EQ(manager.GetWidgetAt(32, 33, &lx, &ly), &child);
  EXPECT_EQ(lx, 2);
  EXPECT_EQ(ly, 3);
  front.mInsets = Orvo::Insets(0, 0, 40, 0);
  EXPECT_EQ(manager.GetWidgetAt(70, 30, nullptr, nullptr), nullptr);  // outside the inner rectangle

  Probe& modal = New("modal");
  Add(&modal, 100, 100, 50, 50);
  manager.AddBaseModal(&modal);
  EXPECT_EQ(manager.GetWidgetAt(10, 10, nullptr, nullptr), nullptr);  // behind the modal widget
  EXPECT_EQ(manager.GetWidgetAt(110, 110, nullptr, nullptr), &modal);
  manager.RemoveBaseModal(&modal);
  EXPECT_EQ(manager.GetWidgetAt(10, 10, nullptr, nullptr), &back);
}

TEST_F(WidgetManagerTest, CaptureHoldsAcrossDragAndRelease) {
  Probe& w = New("");
  Add(&w, 10, 10, 20, 20);
  manager.MouseMove(15, 15);
  manager.MouseDown(15, 15, 1, Orvo::MOUSE_BUTTON_LEFT);
  manager.MouseMove(50, 50);
  manager.MouseMove(20, 21);
  manager.MouseUp(20, 21, 1, Orvo::MOUSE_BUTTON_LEFT);
  manager.MouseDown(20, 21, 1, Orvo::MOUSE_BUTTON_LEFT);
  manager.MouseMove(60, 60);
  manager.MouseUp(60, 60, 1, Orvo::MOUSE_BUTTON_LEFT);
  EXPECT_EQ(log, (std::vector<std::string>{"enter", "down -1 at 5,5", "drag 40,40", "leave", "drag 10,11", "enter",
                                           "up -1 over", "down -1 at 10,11", "drag 50,50", "leave", "up -1 off"}));
  EXPECT_EQ(manager.mLastDownWidget, nullptr);
  EXPECT_FALSE(w.mIsDown);
}

TEST_F(WidgetManagerTest, TwoButtonsKeepTheCaptureUntilBothAreUp) {
  Probe& w = New("");
  Probe& other = New("other");
  Add(&w, 0, 0, 20, 20);
  Add(&other, 100, 0, 20, 20);
  manager.MouseDown(5, 5, 1, Orvo::MOUSE_BUTTON_LEFT);
  manager.MouseDown(5, 5, 1, Orvo::MOUSE_BUTTON_RIGHT);
  manager.MouseUp(5, 5, 1, Orvo::MOUSE_BUTTON_RIGHT);
  EXPECT_EQ(manager.mLastDownWidget, &w);
  manager.MouseMove(105, 5);  // still a drag of w; the other widget gets no hover
  EXPECT_FALSE(other.mIsOver);
  manager.MouseUp(105, 5, 1, Orvo::MOUSE_BUTTON_LEFT);
  EXPECT_EQ(manager.mLastDownWidget, nullptr);
  manager.MouseMove(106, 5);
  EXPECT_TRUE(other.mIsOver);
}

TEST_F(WidgetManagerTest, PressOnNothingThenMoveAndInputBeforeMapping) {
  Probe& w = New("");
  Add(&w, 100, 100, 20, 20);
  manager.MouseDown(5, 5, 1, Orvo::MOUSE_BUTTON_LEFT);  // nothing under the mouse
  manager.MouseMove(105, 105);                           // must not drag a missing widget
  EXPECT_TRUE(w.mIsOver);
  manager.MouseUp(105, 105, 1, Orvo::MOUSE_BUTTON_LEFT);
  EXPECT_EQ(manager.mDownButtons, 0);

  WidgetManager fresh(nullptr);  // no mouse mapping yet
  int x = 37, y = 41;
  fresh.MapPointToApp(&x, &y);
  EXPECT_EQ(x, 37);
  EXPECT_EQ(y, 41);
  fresh.SetMouseMapping(Orvo::Rect(10, 0, 100, 100), Orvo::Rect(0, 0, 200, 50));
  fresh.MapPointToApp(&x, &y);
  EXPECT_EQ(x, 28);
  EXPECT_EQ(y, 82);
  EXPECT_EQ(fresh.mWidth, 120);
}

TEST_F(WidgetManagerTest, FocusKeysAndApplicationFocus) {
  Probe& w = New("");
  Add(&w, 0, 0, 10, 10);
  w.mWantsFocus = true;
  manager.MouseDown(5, 5, 1, Orvo::MOUSE_BUTTON_LEFT);
  manager.MouseUp(5, 5, 1, Orvo::MOUSE_BUTTON_LEFT);
  EXPECT_EQ(manager.mFocusWidget, &w);
  log.clear();
  manager.OnKeyDown(Orvo::KEYCODE_CONTROL);
  manager.OnChar('\t');  // Ctrl+Tab reaches nobody
  manager.OnChar('a');
  manager.OnKeyDown('A');
  manager.LostFocus();  // held keys are released
  EXPECT_EQ(log, (std::vector<std::string>{"char a", "keyup 17", "keyup 65", "unfocus"}));
  EXPECT_FALSE(manager.IsKeyDown('A'));
  manager.GotFocus();
  EXPECT_TRUE(w.mHasFocus);
  manager.OnKeyDown(300);  // beyond the key table: no crash
  manager.OnKeyUp(300);

  WidgetManager elsewhere(nullptr);
  Probe& stranger = New("");
  elsewhere.AddWidget(&stranger);
  manager.SetFocus(&stranger);  // attached to another manager: no focus at all
  EXPECT_EQ(manager.mFocusWidget, nullptr);
  elsewhere.RemoveAllWidgets();
}

TEST_F(WidgetManagerTest, ModalStackMasksAndRestoresFocus) {
  Probe& below = New("below");
  Probe& first = New("first");
  Probe& second = New("second");
  Add(&below, 0, 0, 50, 50);
  below.mWantsFocus = true;
  manager.SetFocus(&below);
  Add(&first, 60, 0, 50, 50);
  manager.AddBaseModal(&first);
  EXPECT_EQ(manager.mFocusWidget, nullptr);  // behind the modal widget: focus removed
  log.clear();
  manager.MouseDown(5, 5, 1, Orvo::MOUSE_BUTTON_LEFT);
  manager.MouseUp(5, 5, 1, Orvo::MOUSE_BUTTON_LEFT);
  EXPECT_TRUE(log.empty());
  manager.RemoveBaseModal(&first);
  EXPECT_EQ(manager.mFocusWidget, &below);  // restored

  // Two modal widgets closed out of order leave no stale base-modal widget.
  Add(&second, 120, 0, 50, 50);
  manager.AddBaseModal(&first);
  manager.AddBaseModal(&second);
  manager.RemoveBaseModal(&first);  // not on top: ignored
  EXPECT_EQ(manager.mBaseModalWidget, &second);
  manager.RemoveWidget(&first);
  manager.RemoveBaseModal(&second);
  EXPECT_EQ(manager.mBaseModalWidget, nullptr);
  EXPECT_TRUE(manager.mPreModalInfoList.empty());
  EXPECT_EQ(manager.GetWidgetAt(5, 5, nullptr, nullptr), &below);
}

TEST_F(WidgetManagerTest, AStillMouseFindsWidgetsThatAppearOrGo) {
  manager.MouseMove(5, 5);
  Probe& w = New("");
  Add(&w, 0, 0, 10, 10);  // appears under the mouse
  EXPECT_TRUE(w.mIsOver);
  w.SetVisible(false);
  EXPECT_FALSE(w.mIsOver);
  w.SetVisible(true);
  w.SetDisabled(true);
  EXPECT_FALSE(w.mIsOver);
  w.SetDisabled(false);
  EXPECT_TRUE(w.mIsOver);
  w.Resize(20, 20, 10, 10);  // moves away
  EXPECT_FALSE(w.mIsOver);
  EXPECT_EQ(log, (std::vector<std::string>{"enter", "leave", "enter", "leave", "enter", "leave"}));
}

TEST_F(WidgetManagerTest, RemovingHoveredCapturedFocusedWidgetDropsEveryReference) {
  Probe& w = New("");
  Add(&w, 0, 0, 10, 10);
  w.mWantsFocus = true;
  manager.MouseMove(5, 5);
  manager.MouseDown(5, 5, 1, Orvo::MOUSE_BUTTON_LEFT);
  log.clear();
  manager.RemoveWidget(&w);
  EXPECT_EQ(log, (std::vector<std::string>{"leave", "release 1", "unfocus"}));
  EXPECT_EQ(manager.mOverWidget, nullptr);
  EXPECT_EQ(manager.mLastDownWidget, nullptr);
  EXPECT_EQ(manager.mFocusWidget, nullptr);
  manager.MouseMove(6, 6);
  manager.MouseUp(6, 6, 1, Orvo::MOUSE_BUTTON_LEFT);
}

}  // namespace
