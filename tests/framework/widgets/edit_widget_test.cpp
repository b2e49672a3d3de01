// Multi-line text boxes with a scroll bar, driven through the widget manager as a user
// would: the wheel over a box that has no focus, a click and the scrolling keys on a
// read-only box, the bar's arrows, track and thumb, and what the box draws.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/graphics/MemoryImage.h"
#include "framework/graphics/SysFont.h"
#include "framework/widgets/EditWidget.h"
#include "framework/widgets/WidgetManager.h"

namespace {

using Orvo::EditWidget;
using Orvo::WidgetManager;

std::string NumberedLines(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "%02d 0123456789ABCDEF 0x%08X\r\n", i, i * 4099);
    text += line;
  }
  return text;
}

// A report box as the crash window lays it out, with a one-line field beside it that holds
// the focus at first.
class EditWidgetTest : public ::testing::Test {
 protected:
  static constexpr int kX = 8, kY = 92, kW = 384, kH = 168;
  WidgetManager manager{nullptr};
  EditWidget report{true, true};
  EditWidget field{false, false};
  Orvo::MemoryImage screen;

  void SetUp() override {
    manager.SetMouseMapping(Orvo::Rect(0, 0, 400, 300), Orvo::Rect(0, 0, 400, 300));
    screen.Create(400, 300);
    manager.mImage = &screen;
    report.SetFont(new Orvo::SysFont("Courier New", 8));
    report.mScrollBar = true;
    report.SetText(NumberedLines(60));
    report.Resize(kX, kY, kW, kH);
    field.Resize(8, 8, 200, 22);
    manager.AddWidget(&report);
    manager.AddWidget(&field);
    manager.SetFocus(&field);
  }
  void TearDown() override { manager.RemoveAllWidgets(false, true); }

  void Click(int x, int y) {
    manager.MouseMove(x, y);
    manager.MouseDown(x, y, 1, Orvo::MOUSE_BUTTON_LEFT);
    manager.MouseUp(x, y, 1, Orvo::MOUSE_BUTTON_LEFT);
  }
  void Key(int key) {
    manager.OnKeyDown(key);
    manager.OnKeyUp(key);
  }
  int Last() { return static_cast<int>(report.WrappedLines().size()) - report.VisibleLines(); }
  std::uint32_t Pixel(int x, int y) { return screen.GetBits()[y * 400 + x] & 0xFFFFFF; }
  // The report box's text column (the bar excluded), as drawn.
  std::vector<std::uint32_t> TextPixels() {
    manager.DrawScreen();
    std::vector<std::uint32_t> pixels;
    for (int y = kY + 3; y < kY + kH - 3; ++y)
      for (int x = kX + 3; x < kX + kW - 3 - EditWidget::kScrollBarWidth; ++x) pixels.push_back(Pixel(x, y));
    return pixels;
  }
  // Where the bar's column is, on the screen.
  int BarX() { return kX + kW - 1 - EditWidget::kScrollBarWidth / 2; }
};

TEST_F(EditWidgetTest, TheWheelScrollsTheBoxUnderTheMouseFocusedOrNot) {
  ASSERT_GT(Last(), 40);  // sixty lines, about eleven shown
  manager.MouseMove(200, 150);
  manager.OnMouseWheel(-1);
  EXPECT_EQ(report.GetScrollLine(), 3);
  EXPECT_EQ(manager.mFocusWidget, &field);  // the wheel moves no focus
  manager.OnMouseWheel(-100);
  EXPECT_EQ(report.GetScrollLine(), Last());  // the last line shown whole, at the bottom
  manager.OnMouseWheel(1);
  EXPECT_EQ(report.GetScrollLine(), Last() - 3);
  // Away from the box the wheel goes to the focus widget again.
  manager.MouseMove(300, 20);
  manager.OnMouseWheel(5);
  EXPECT_EQ(report.GetScrollLine(), Last() - 3);
  manager.MouseMove(200, 150);
  manager.OnMouseWheel(100);
  EXPECT_EQ(report.GetScrollLine(), 0);
  // A box without a bar still scrolls only when it has the focus.
  report.mScrollBar = false;
  manager.OnMouseWheel(-1);
  EXPECT_EQ(report.GetScrollLine(), 0);
}

TEST_F(EditWidgetTest, AClickGivesAReadOnlyBoxTheScrollingKeysButNotTyping) {
  const std::string text = report.GetText();
  Key(Orvo::KEYCODE_DOWN);
  EXPECT_EQ(report.GetScrollLine(), 0);  // not before the click
  Click(100, 150);
  ASSERT_EQ(manager.mFocusWidget, &report);
  const int page = report.VisibleLines() - 1;
  struct Step {
    bool ctrl;
    int key;
    int line;  // -1: the last line's place
  };
  const Step steps[] = {
      {false, Orvo::KEYCODE_DOWN, 1},
      {false, Orvo::KEYCODE_PAGE_DOWN, 1 + page},
      {false, Orvo::KEYCODE_UP, page},
      {false, Orvo::KEYCODE_PAGE_UP, 0},
      {false, Orvo::KEYCODE_UP, 0},
      {false, Orvo::KEYCODE_END, 0},  // without Ctrl, End moves nothing
      {true, Orvo::KEYCODE_END, -1},
      {false, Orvo::KEYCODE_PAGE_DOWN, -1},
      {true, Orvo::KEYCODE_HOME, 0},
  };
  for (const Step& step : steps) {
    if (step.ctrl) manager.OnKeyDown(Orvo::KEYCODE_CONTROL);
    Key(step.key);
    if (step.ctrl) manager.OnKeyUp(Orvo::KEYCODE_CONTROL);
    EXPECT_EQ(report.GetScrollLine(), step.line < 0 ? Last() : step.line) << step.key;
  }
  for (char c : std::string("typed\b\b\r\n")) manager.OnChar(c);
  EXPECT_EQ(report.GetText(), text);
  // A read-only box without a bar (a headline) still takes no focus.
  EditWidget headline(true, true);
  headline.Resize(8, 40, 384, 40);
  manager.AddWidget(&headline);
  Click(100, 60);
  EXPECT_EQ(manager.mFocusWidget, &report);
}

TEST_F(EditWidgetTest, TheBarIsDrawnAndItsArrowsTrackAndThumbScroll) {
  const std::vector<std::uint32_t> top = TextPixels();
  // The arrows are drawn dark on the bar's face, the thumb at the top of the track.
  const int thumbY = kY + 1 + EditWidget::kScrollBarWidth + 4;
  const int lowTrackY = kY + kH - 1 - EditWidget::kScrollBarWidth - 4;
  EXPECT_EQ(Pixel(BarX(), kY + 1 + EditWidget::kScrollBarWidth / 2), 0x000000u);
  EXPECT_EQ(Pixel(BarX(), kY + kH - 1 - EditWidget::kScrollBarWidth / 2), 0x000000u);
  // Below the whole lines shown, no line cut in half.
  const int lineHeight = Orvo::SysFont("Courier New", 8).GetHeight();
  for (int y = kY + 3 + report.VisibleLines() * lineHeight; y < kY + kH - 3; ++y)
    for (int x = kX + 3; x < kX + kW - 3 - EditWidget::kScrollBarWidth; ++x)
      ASSERT_EQ(Pixel(x, y), 0xECE9D8u) << x << "," << y;
  const std::uint32_t thumb = Pixel(BarX(), thumbY);
  const std::uint32_t track = Pixel(BarX(), lowTrackY);
  EXPECT_NE(thumb, track);

  Click(BarX(), kY + kH - 5);  // the down arrow
  EXPECT_EQ(report.GetScrollLine(), 1);
  EXPECT_NE(TextPixels(), top);  // the text moved
  Click(BarX(), kY + 5);  // the up arrow
  EXPECT_EQ(report.GetScrollLine(), 0);
  EXPECT_EQ(TextPixels(), top);
  Click(BarX(), lowTrackY);  // the track below the thumb: a page
  EXPECT_EQ(report.GetScrollLine(), report.VisibleLines() - 1);
  Click(BarX(), kY + 1 + EditWidget::kScrollBarWidth + 1);  // above it: back
  EXPECT_EQ(report.GetScrollLine(), 0);

  // The thumb dragged to the bottom shows the end; back to the middle of the bar, the middle.
  manager.MouseMove(BarX(), thumbY);
  manager.MouseDown(BarX(), thumbY, 1, Orvo::MOUSE_BUTTON_LEFT);
  manager.MouseMove(BarX() - 100, kY + kH + 50);  // off the bar and the box: still dragging
  EXPECT_EQ(report.GetScrollLine(), Last());
  manager.MouseMove(BarX(), kY + kH / 2);
  const int middle = report.GetScrollLine();
  EXPECT_GT(middle, Last() / 3);
  EXPECT_LT(middle, Last() * 2 / 3);
  manager.MouseUp(BarX(), kY + kH / 2, 1, Orvo::MOUSE_BUTTON_LEFT);
  manager.MouseMove(BarX(), kY + kH - 30);  // released: moves no more
  EXPECT_EQ(report.GetScrollLine(), middle);
  manager.DrawScreen();
  EXPECT_EQ(Pixel(BarX(), thumbY), track);  // the thumb has left the top for the middle
  EXPECT_EQ(Pixel(BarX(), kY + kH / 2), thumb);

  // The end of the text in view: the last line whole, nothing of a line below it.
  report.ScrollTo(1000);
  EXPECT_EQ(report.GetScrollLine(), Last());
  EXPECT_EQ(report.GetMaxScrollLine(), Last());
}

// An arrow held down scrolls once at the press, then, after half a second, a line every
// 50 ms while the pointer stays on it; off the arrow it waits, and released it stops. The
// track held pages on until the thumb reaches the pointer.
TEST_F(EditWidgetTest, AnArrowOrTheTrackHeldDownGoesOnScrolling) {
  const auto updates = [&](int n) {
    for (int i = 0; i < n; ++i) manager.UpdateFrame();
  };
  const int downArrow = kY + kH - 5;
  manager.MouseMove(BarX(), downArrow);
  manager.MouseDown(BarX(), downArrow, 1, Orvo::MOUSE_BUTTON_LEFT);
  EXPECT_EQ(report.GetScrollLine(), 1);
  updates(49);  // 490 ms
  EXPECT_EQ(report.GetScrollLine(), 1);
  updates(1);
  EXPECT_EQ(report.GetScrollLine(), 2);
  updates(20);  // 200 ms more
  EXPECT_EQ(report.GetScrollLine(), 6);
  manager.MouseMove(BarX() - 100, downArrow);  // off the arrow, still held
  updates(20);
  EXPECT_EQ(report.GetScrollLine(), 6);
  manager.MouseMove(BarX(), downArrow);
  updates(5);
  EXPECT_EQ(report.GetScrollLine(), 7);
  manager.MouseUp(BarX(), downArrow, 1, Orvo::MOUSE_BUTTON_LEFT);
  updates(100);
  EXPECT_EQ(report.GetScrollLine(), 7);
  // Held long enough, it reaches the end and stays there.
  manager.MouseDown(BarX(), downArrow, 1, Orvo::MOUSE_BUTTON_LEFT);
  updates(1000);
  EXPECT_EQ(report.GetScrollLine(), Last());
  manager.MouseUp(BarX(), downArrow, 1, Orvo::MOUSE_BUTTON_LEFT);

  // The track held above the thumb pages up until the thumb comes under the pointer.
  report.ScrollTo(Last());
  const int page = report.VisibleLines() - 1;
  const int trackY = kY + kH / 3;
  manager.MouseMove(BarX(), trackY);
  manager.MouseDown(BarX(), trackY, 1, Orvo::MOUSE_BUTTON_LEFT);
  EXPECT_EQ(report.GetScrollLine(), Last() - page);
  updates(50);
  EXPECT_EQ(report.GetScrollLine(), Last() - 2 * page);
  updates(1000);
  manager.MouseUp(BarX(), trackY, 1, Orvo::MOUSE_BUTTON_LEFT);
  const int stopped = report.GetScrollLine();
  EXPECT_GT(stopped, 0);
  EXPECT_LT(stopped, Last() - 2 * page);
  updates(100);  // released: no more
  EXPECT_EQ(report.GetScrollLine(), stopped);
  manager.DrawScreen();
  EXPECT_NE(Pixel(BarX(), trackY), Pixel(BarX(), kY + kH - 1 - EditWidget::kScrollBarWidth - 2));  // the thumb is there
}

// The description box, editable, in the report box's place: lines typed past its bottom
// keep the end in view, the wheel and the keys scroll it as they do the report, and lines
// erased again leave the end at the bottom, within the range the bar shows.
TEST_F(EditWidgetTest, AnEditableBoxScrollsAndKeepsItsEndInViewWhenLinesAreErased) {
  manager.RemoveWidget(&report);
  EditWidget description(true, false);
  description.SetFont(new Orvo::SysFont("Courier New", 8));
  description.mScrollBar = true;
  description.Resize(kX, kY, kW, kH);
  manager.AddWidget(&description);
  Click(100, 150);
  ASSERT_EQ(manager.mFocusWidget, &description);
  for (int i = 1; i <= 40; ++i)
    for (char c : "line " + std::to_string(i) + " of the description\n") manager.OnChar(c);
  for (char c : std::string("the end")) manager.OnChar(c);
  const int last = description.GetMaxScrollLine();
  ASSERT_EQ(last, 41 - description.VisibleLines());
  EXPECT_EQ(description.GetScrollLine(), last);
  manager.OnMouseWheel(1);
  EXPECT_EQ(description.GetScrollLine(), last - 3);
  Key(Orvo::KEYCODE_PAGE_UP);
  Key(Orvo::KEYCODE_DOWN);
  EXPECT_EQ(description.GetScrollLine(), last - 3 - (description.VisibleLines() - 1) + 1);
  manager.OnKeyDown(Orvo::KEYCODE_CONTROL);
  Key(Orvo::KEYCODE_HOME);
  manager.OnKeyUp(Orvo::KEYCODE_CONTROL);
  EXPECT_EQ(description.GetScrollLine(), 0);
  manager.OnKeyDown(Orvo::KEYCODE_CONTROL);
  Key(Orvo::KEYCODE_END);
  manager.OnKeyUp(Orvo::KEYCODE_CONTROL);
  EXPECT_EQ(description.GetScrollLine(), last);

  // Three lines and a half erased at the bottom.
  for (int i = 0; i < 7 + 3 * 27; ++i) manager.OnChar('\b');
  EXPECT_EQ(description.GetMaxScrollLine(), last - 3);
  EXPECT_EQ(description.GetScrollLine(), last - 3);
  Key(Orvo::KEYCODE_UP);
  EXPECT_EQ(description.GetScrollLine(), last - 4);
  Key(Orvo::KEYCODE_DOWN);
  Key(Orvo::KEYCODE_DOWN);
  EXPECT_EQ(description.GetScrollLine(), last - 3);
  manager.RemoveWidget(&description);
}

// A system font that counts the characters it is asked to measure.
class CountingFont : public Orvo::SysFont {
 public:
  explicit CountingFont(long long* measured) : SysFont("Courier New", 8), mMeasured(measured) {}
  int StringWidth(const std::string& text) override {
    *mMeasured += static_cast<long long>(text.size());
    return SysFont::StringWidth(text);
  }
  Font* Duplicate() override { return new CountingFont(mMeasured); }

 private:
  long long* mMeasured;
};

// A report of megabytes (the report window reads up to 4 MiB) with lines thousands of
// characters long is wrapped measuring each pair of characters once rather than every prefix
// of every line (which took minutes), and the wheel and the keys scroll it through to its
// last line measuring only what is drawn.
TEST_F(EditWidgetTest, AReportOfMegabytesScrollsToItsEndInMoments) {
  std::string text;
  for (int i = 0; text.size() < (4u << 20); ++i) text += i % 100 == 99 ? std::string(6000, 'x') + "\r\n" : NumberedLines(1);
  text += "THE LAST LINE";
  long long measured = 0;
  report.SetFont(new CountingFont(&measured));
  report.mMaxLength = text.size();
  report.SetText(text);
  manager.DrawScreen();
  const long long wrapping = measured;
  EXPECT_LT(wrapping, 100000) << "characters measured to wrap " << text.size();
  manager.MouseMove(200, 150);
  for (int i = 0; i < 20; ++i) {
    manager.OnMouseWheel(-1);
    manager.DrawScreen();
  }
  EXPECT_EQ(report.GetScrollLine(), 60);
  Click(100, 150);
  manager.OnKeyDown(Orvo::KEYCODE_CONTROL);
  Key(Orvo::KEYCODE_END);
  manager.OnKeyUp(Orvo::KEYCODE_CONTROL);
  for (int i = 0; i < 20; ++i) {
    Key(Orvo::KEYCODE_UP);
    manager.DrawScreen();
  }
  Key(Orvo::KEYCODE_PAGE_DOWN);
  Key(Orvo::KEYCODE_PAGE_DOWN);
  manager.DrawScreen();
  EXPECT_EQ(report.GetScrollLine(), Last());
  EXPECT_EQ(report.WrappedLines()[report.GetScrollLine() + report.VisibleLines() - 1], "THE LAST LINE");
  // Meanwhile only the lines drawn were measured.
  EXPECT_LT(measured - wrapping, 100000);
}

}  // namespace
