// Widget tree: z-order, the update walk under removal and restarts, flag masks per subtree,
// dirty marking, colours and the small helpers.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/graphics/Graphics.h"
#include "framework/graphics/MemoryImage.h"
#include "framework/widgets/Widget.h"
#include "framework/widgets/WidgetManager.h"

namespace {

using Orvo::ModalFlags;
using Orvo::Widget;
using Orvo::WidgetManager;

struct Log {
  std::vector<std::string> events;
};

class TestWidget : public Widget {
 public:
  TestWidget(std::string name, Log* log, int zOrder = 0) : mName(std::move(name)), mLog(log) { mZOrder = zOrder; }
  void Update() override {
    Widget::Update();
    mLog->events.push_back("update " + mName);
    if (onUpdate) onUpdate();
  }
  void Draw(Orvo::Graphics*) override { mLog->events.push_back("draw " + mName); }
  std::string mName;
  Log* mLog;
  std::function<void()> onUpdate;
};

std::vector<std::string> Order(Orvo::WidgetContainer& c) {
  std::vector<std::string> names;
  for (Widget* w : c.mWidgets) names.push_back(static_cast<TestWidget*>(w)->mName);
  return names;
}

TEST(WidgetTree, ZOrderKeepsTheListSorted) {
  Log log;
  WidgetManager manager(nullptr);
  TestWidget back("back", &log), top("top", &log, 5), a("a", &log), b("b", &log);
  manager.AddWidget(&back);
  manager.AddWidget(&top);
  manager.AddWidget(&a);
  EXPECT_EQ(Order(manager), (std::vector<std::string>{"back", "a", "top"}));  // behind the higher z-order
  manager.BringToFront(&a);
  EXPECT_EQ(Order(manager), (std::vector<std::string>{"back", "a", "top"}));
  manager.BringToBack(&a);
  EXPECT_EQ(Order(manager), (std::vector<std::string>{"a", "back", "top"}));  // behind its equals
  manager.AddWidget(&b);
  manager.AddWidget(&b);  // twice is once
  EXPECT_EQ(Order(manager), (std::vector<std::string>{"a", "back", "b", "top"}));
  manager.MoveBehind(&b, &a);
  EXPECT_EQ(Order(manager), (std::vector<std::string>{"b", "a", "back", "top"}));
  manager.MoveInFront(&b, &back);
  EXPECT_EQ(Order(manager), (std::vector<std::string>{"a", "back", "b", "top"}));
  TestWidget stranger("stranger", &log);
  manager.BringToFront(&stranger);
  manager.RemoveWidget(&stranger);
  EXPECT_EQ(manager.mWidgets.size(), 4u);
  EXPECT_TRUE(manager.IsBehind(&a, &top));
  EXPECT_FALSE(manager.IsBehind(&top, &a));
  manager.RemoveAllWidgets();
}

TEST(WidgetTree, UpdateWalkSurvivesRemovalAndRestartsOncePerTick) {
  Log log;
  WidgetManager manager(nullptr);
  TestWidget a("a", &log), b("b", &log), c("c", &log), d("d", &log);
  for (TestWidget* w : {&a, &b, &c, &d}) manager.AddWidget(w);
  b.onUpdate = [&] { manager.RemoveWidget(&b); };  // removes itself
  c.onUpdate = [&] { manager.RemoveWidget(&d); };  // removes the next one
  manager.UpdateFrame();
  EXPECT_EQ(log.events, (std::vector<std::string>{"update a", "update b", "update c"}));

  // A walk restarted from inside an update still updates each widget once in the tick.
  log.events.clear();
  manager.AddWidget(&b);
  bool restarted = false;
  c.onUpdate = [&] {
    if (restarted) return;
    restarted = true;
    ModalFlags flags = manager.CurrentModalFlags();
    manager.UpdateTree(flags);
  };
  manager.UpdateFrame();
  EXPECT_EQ(log.events, (std::vector<std::string>{"update a", "update c", "update b"}));
  manager.RemoveAllWidgets();
}

class AttachCounter : public Widget {
 public:
  void AttachedToManager(WidgetManager* m) override {
    Widget::AttachedToManager(m);
    ++attached;
  }
  void DetachedFromManager(WidgetManager* m) override {
    Widget::DetachedFromManager(m);
    ++detached;
  }
  int attached = 0;
  int detached = 0;
};

TEST(WidgetTree, SubtreesAttachAndDetachEachWidgetOnce) {
  WidgetManager manager(nullptr);
  AttachCounter parent, child, grandchild;
  child.AddWidget(&grandchild);
  parent.AddWidget(&child);
  EXPECT_EQ(child.attached + grandchild.attached, 0);  // detached trees attach nothing
  manager.AddWidget(&parent);
  EXPECT_EQ(grandchild.mWidgetManager, &manager);
  manager.SetFocus(&grandchild);
  manager.RemoveWidget(&parent);
  for (AttachCounter* w : {&parent, &child, &grandchild}) {
    EXPECT_EQ(w->attached, 1);
    EXPECT_EQ(w->detached, 1);
    EXPECT_EQ(w->mWidgetManager, nullptr);
  }
  EXPECT_EQ(manager.mFocusWidget, nullptr);
  EXPECT_EQ(child.mParent, &parent);  // the subtree itself stays together
}

TEST(WidgetTree, DeletingAnAttachedWidgetTakesItOutOfTheTree) {
  Log log;
  WidgetManager manager(nullptr);
  TestWidget keep("keep", &log);
  auto* doomed = new TestWidget("doomed", &log);
  auto* child = new TestWidget("child", &log);
  doomed->AddWidget(child);
  manager.AddWidget(&keep);
  manager.AddWidget(doomed);
  manager.SetFocus(child);
  delete doomed;
  EXPECT_EQ(Order(manager), std::vector<std::string>{"keep"});
  EXPECT_EQ(manager.mFocusWidget, nullptr);
  EXPECT_EQ(child->mParent, nullptr);
  EXPECT_EQ(child->mWidgetManager, nullptr);
  delete child;
  manager.UpdateFrame();
  manager.RemoveAllWidgets();
}

TEST(WidgetTree, FlagMasksApplyToWholeSubtrees) {
  Log log;
  WidgetManager manager(nullptr);
  TestWidget parent("parent", &log), child("child", &log), other("other", &log);
  manager.AddWidget(&parent);
  parent.AddWidget(&child);
  manager.AddWidget(&other);
  parent.mRemoveFlags = Orvo::WIDGETFLAGS_UPDATE;
  other.mAddFlags = Orvo::WIDGETFLAGS_MARK_DIRTY;
  other.mDirty = false;
  manager.UpdateFrame();
  EXPECT_EQ(log.events, (std::vector<std::string>{"update other"}));
  EXPECT_TRUE(other.mDirty);
  manager.RemoveAllWidgets(false, true);
}

TEST(WidgetTree, DrawWalkGoesBackToFrontAndHonoursDrawFlags) {
  Log log;
  WidgetManager manager(nullptr);
  Orvo::MemoryImage screen;
  screen.Create(50, 50);
  manager.mImage = &screen;
  TestWidget back("back", &log), parent("parent", &log), child("child", &log), hidden("hidden", &log);
  for (TestWidget* w : {&back, &parent, &hidden}) {
    w->Resize(0, 0, 10, 10);
    manager.AddWidget(w);
  }
  parent.AddWidget(&child);
  hidden.SetVisible(false);
  EXPECT_TRUE(manager.DrawScreen());
  EXPECT_EQ(log.events, (std::vector<std::string>{"draw back", "draw parent", "draw child"}));

  log.events.clear();
  parent.mRemoveFlags = Orvo::WIDGETFLAGS_DRAW;  // the whole subtree stops drawing
  manager.InvalidateAll();
  EXPECT_TRUE(manager.DrawScreen());
  EXPECT_EQ(log.events, (std::vector<std::string>{"draw back"}));
  EXPECT_FALSE(manager.DrawScreen());  // nothing dirty: nothing drawn
  manager.RemoveAllWidgets(false, true);
}

class OverlayWidget : public TestWidget {
 public:
  using TestWidget::TestWidget;
  void Draw(Orvo::Graphics* g) override {
    TestWidget::Draw(g);
    if (mOverlayPriority >= 0) mWidgetManager->DeferOverlay(this, mOverlayPriority);
  }
  void DrawOverlay(Orvo::Graphics*, int priority) override {
    mLog->events.push_back("overlay " + mName + " " + std::to_string(priority));
  }
  int mOverlayPriority = -1;
};

TEST(WidgetTree, DeferredOverlaysDrawBeforeHigherPriorityWidgets) {
  Log log;
  WidgetManager manager(nullptr);
  Orvo::MemoryImage screen;
  screen.Create(50, 50);
  manager.mImage = &screen;
  OverlayWidget low("low", &log), high("high", &log), last("last", &log);
  low.mOverlayPriority = 2;
  last.mOverlayPriority = 7;
  high.mPriority = 5;
  for (OverlayWidget* w : {&low, &high, &last}) {
    w->Resize(0, 0, 10, 10);
    manager.AddWidget(w);
  }
  manager.DrawScreen();
  EXPECT_EQ(log.events, (std::vector<std::string>{"draw low", "overlay low 2", "draw high", "draw last",
                                                  "overlay last 7"}));
  EXPECT_TRUE(manager.mDeferredOverlayWidgets.empty());
  manager.RemoveAllWidgets();
}

TEST(WidgetTree, DirtyMarking) {
  Log log;
  WidgetManager manager(nullptr);
  manager.mWidth = 100;
  manager.mHeight = 100;
  TestWidget deepest("deepest", &log), lower("lower", &log), cover("cover", &log), front("front", &log);
  deepest.Resize(0, 0, 100, 100);
  lower.Resize(0, 0, 60, 60);
  cover.Resize(10, 10, 20, 20);
  front.Resize(50, 50, 40, 40);
  for (TestWidget* w : {&deepest, &lower, &cover, &front}) manager.AddWidget(w);
  auto clean = [&] {
    manager.mDirty = false;
    for (Widget* w : manager.mWidgets) w->mDirty = false;
  };

  clean();
  cover.Resize(10, 10, 20, 20);
  EXPECT_FALSE(cover.mDirty || lower.mDirty || manager.mDirty);  // same rectangle: nothing

  clean();
  cover.SetVisible(false);
  EXPECT_TRUE(lower.mDirty);      // opaque and containing the hidden area
  EXPECT_FALSE(deepest.mDirty);   // hidden behind it
  EXPECT_FALSE(front.mDirty);     // does not overlap
  EXPECT_TRUE(manager.mDirty);

  clean();
  front.SetColor(0, Orvo::Color(1, 2, 3));
  EXPECT_TRUE(front.mDirty);
  manager.RemoveAllWidgets();
}

TEST(WidgetTree, ColoursDigitsAndTabKeys) {
  Log log;
  TestWidget w("w", &log);
  const int colours[3][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  w.SetColors(colours, 3);
  EXPECT_EQ(w.GetColor(7), Orvo::Color(0, 0, 0, 255));
  EXPECT_EQ(w.GetColor(7, Orvo::Color(9, 9, 9)), Orvo::Color(9, 9, 9));
  EXPECT_EQ(w.GetColor(1), Orvo::Color(4, 5, 6, 255));
  w.SetColor(5, Orvo::Color(1, 1, 1));
  EXPECT_EQ(w.mColors.size(), 6u);
  for (auto [n, digits] : std::vector<std::pair<int, int>>{{0, 1}, {9, 1}, {10, 2}, {12345, 5}, {-42, 2}})
    EXPECT_EQ(w.CountDigits(n), digits) << n;

  WidgetManager manager(nullptr);
  TestWidget first("first", &log), second("second", &log);
  manager.AddWidget(&first);
  manager.AddWidget(&second);
  first.mTabNext = &second;
  manager.SetFocus(&first);
  manager.OnKeyDown(Orvo::KEYCODE_SHIFT);
  manager.OnKeyDown(Orvo::KEYCODE_TAB);  // Shift+Tab without a previous widget
  EXPECT_EQ(manager.mFocusWidget, &first);
  manager.OnKeyUp(Orvo::KEYCODE_SHIFT);
  manager.OnKeyDown(Orvo::KEYCODE_TAB);
  EXPECT_EQ(manager.mFocusWidget, &second);
  EXPECT_TRUE(second.mHasFocus);
  EXPECT_FALSE(first.mHasFocus);
  manager.RemoveAllWidgets();
}

TEST(WidgetTree, NumbersFromADigitStrip) {
  Log log;
  TestWidget w("w", &log);
  Orvo::MemoryImage strip;
  strip.Create(30, 2);  // digits 0 to 9, three pixels wide each, told apart by their blue
  for (int x = 0; x < 30; ++x)
    for (int y = 0; y < 2; ++y) strip.GetBits()[y * 30 + x] = 0xFF000000u | static_cast<std::uint32_t>(x / 3 * 20);
  strip.BitsChanged();
  Orvo::MemoryImage canvas;
  canvas.Create(20, 2);
  canvas.Clear();
  Orvo::Graphics g(&canvas);
  w.DrawNumberFromStrip(&g, 507, 1, 0, &strip, 1);
  const std::uint32_t* px = canvas.GetBits();
  const auto digit = [](std::uint32_t p) { return static_cast<int>(((p & 0xFF) + 10) / 20); };
  EXPECT_EQ(digit(px[1]), 5);
  EXPECT_EQ(digit(px[3]), 5);
  EXPECT_EQ(px[4], 0u);  // the spacing
  EXPECT_EQ(digit(px[5]), 0);
  EXPECT_EQ(px[5] >> 24, 0xFFu);
  EXPECT_EQ(digit(px[9]), 7);
  EXPECT_EQ(px[12], 0u);          // nothing after the last digit
}

class ButtonCodeWidget : public Widget {
 public:
  void MouseDownButton(int, int, int button, int clickCount) override { presses.push_back({button, clickCount}); }
  std::vector<std::pair<int, int>> presses;
};

TEST(WidgetTree, SignedCountPressUsesTheWidgetButtonCodes) {
  ButtonCodeWidget w;
  w.MouseDown(0, 0, 1);
  w.MouseDown(0, 0, 2);
  w.MouseDown(0, 0, -1);
  w.MouseDown(0, 0, 3);
  EXPECT_EQ(w.presses, (std::vector<std::pair<int, int>>{{-1, 1}, {-1, 2}, {1, 1}, {0, 1}}));
}

}  // namespace
