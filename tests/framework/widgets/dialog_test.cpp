// Buttons and dialogs: modes and captions, results and listener reports, button layout,
// dragging limits, the hover redraw rule, and drawing without images.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/graphics/Graphics.h"
#include "framework/graphics/MemoryImage.h"
#include "framework/widgets/ButtonWidget.h"
#include "framework/widgets/Dialog.h"
#include "framework/widgets/DialogButton.h"
#include "framework/widgets/WidgetManager.h"

namespace {

using Orvo::Dialog;
using Orvo::WidgetManager;

struct Recorder : Orvo::DialogListener, Orvo::ButtonListener {
  void DialogButtonPressed(int dialog, int button) override { events.push_back(Text("pressed", dialog, button)); }
  void DialogButtonReleased(int dialog, int button) override { events.push_back(Text("released", dialog, button)); }
  void ButtonReleased(int id) override { events.push_back("button released " + std::to_string(id)); }
  void ButtonHoverStart(int id) override { events.push_back("hover " + std::to_string(id)); }
  static std::string Text(const char* what, int dialog, int button) {
    return std::string(what) + " " + std::to_string(dialog) + " " + std::to_string(button);
  }
  std::vector<std::string> events;
};

class DialogTest : public ::testing::Test {
 protected:
  WidgetManager manager{nullptr};
  Recorder recorder;
  void SetUp() override { manager.SetMouseMapping(Orvo::Rect(0, 0, 640, 480), Orvo::Rect(0, 0, 640, 480)); }
  void Click(int x, int y) {
    manager.MouseMove(x, y);
    manager.MouseDown(x, y, 1, Orvo::MOUSE_BUTTON_LEFT);
    manager.MouseUp(x, y, 1, Orvo::MOUSE_BUTTON_LEFT);
  }
};

TEST_F(DialogTest, ModesCaptionsAndLayout) {
  struct Case {
    int mode;
    const char* yes;
    const char* no;
  };
  const Case cases[] = {{1, "YES", "NO"}, {2, "OK", "CANCEL"}, {3, "Continue", nullptr}, {0, nullptr, nullptr}};
  for (const Case& c : cases) {
    Dialog dialog(nullptr, nullptr, 7, false, "Header", "Lines", "Continue", c.mode);
    ASSERT_EQ(dialog.mYesButton != nullptr, c.yes != nullptr) << c.mode;
    ASSERT_EQ(dialog.mNoButton != nullptr, c.no != nullptr) << c.mode;
    if (c.yes) {
      EXPECT_EQ(dialog.mYesButton->mLabel, c.yes);
    }
    if (c.no) {
      EXPECT_EQ(dialog.mNoButton->mLabel, c.no);
    }
  }

  Dialog two(nullptr, nullptr, 7, false, "", "", "", Dialog::BUTTONS_OK_CANCEL);
  two.Resize(100, 50, 200, 150);
  EXPECT_EQ(two.mYesButton->GetRect(), Orvo::Rect(124, 50 + 150 - 24 - 24, 72, 24));
  EXPECT_EQ(two.mNoButton->GetRect(), Orvo::Rect(124 + 72 + 8, 152, 72, 24));
  Dialog one(nullptr, nullptr, 8, false, "", "", "Go on", Dialog::BUTTONS_FOOTER);
  one.Resize(0, 0, 200, 100);
  EXPECT_EQ(one.mYesButton->GetRect(), Orvo::Rect(24, 52, 152, 24));
  // Without a button image the labels are black on the plain face.
  EXPECT_EQ(two.mYesButton->GetColor(Orvo::ButtonWidget::COLOR_LABEL), Orvo::Color(0, 0, 0));
  two.SetColor(Dialog::COLOR_BUTTON_TEXT_HILITE, Orvo::Color(9, 9, 9));
  EXPECT_EQ(two.mNoButton->GetColor(Orvo::ButtonWidget::COLOR_LABEL_HILITE), Orvo::Color(9, 9, 9));

  // Taller content asks for more height; every part adds to it.
  Dialog bare(nullptr, nullptr, 1, false, "", "", "", 0);
  Dialog full(nullptr, nullptr, 1, false, "Header", "Some lines of text that wrap", "Footer", Dialog::BUTTONS_YES_NO);
  EXPECT_EQ(bare.GetPreferredHeight(300), 48);
  EXPECT_GT(full.GetPreferredHeight(300), bare.GetPreferredHeight(300) + 24 + 8);
}

TEST_F(DialogTest, CancelReportsToTheListenerAndSetsTheResult) {
  Dialog dialog(nullptr, nullptr, 42, true, "Quit?", "Really?", "", Dialog::BUTTONS_OK_CANCEL);
  dialog.mDialogListener = &recorder;
  dialog.Resize(100, 100, 200, 120);
  manager.AddWidget(&dialog);
  EXPECT_TRUE(manager.HasWidget(dialog.mYesButton));  // buttons are top-level beside the dialog
  EXPECT_TRUE(manager.IsBehind(&dialog, dialog.mNoButton));
  EXPECT_EQ(dialog.mResult, Dialog::NO_RESULT);
  const Orvo::Rect no = dialog.mNoButton->GetRect();
  Click(no.mX + 5, no.mY + 5);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"pressed 42 1001", "released 42 1001"}));
  EXPECT_EQ(dialog.mResult, 1001);

  // Pressing, moving off and releasing sends no release.
  recorder.events.clear();
  const Orvo::Rect yes = dialog.mYesButton->GetRect();
  manager.MouseMove(yes.mX + 5, yes.mY + 5);
  manager.MouseDown(yes.mX + 5, yes.mY + 5, 1, Orvo::MOUSE_BUTTON_LEFT);
  manager.MouseMove(5, 5);
  manager.MouseUp(5, 5, 1, Orvo::MOUSE_BUTTON_LEFT);
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"pressed 42 1000"}));
  EXPECT_EQ(dialog.mResult, 1001);

  manager.RemoveWidget(&dialog);
  EXPECT_FALSE(manager.HasWidget(dialog.mYesButton));
}

TEST_F(DialogTest, DraggingStopsAtTheEdges) {
  Dialog dialog(nullptr, nullptr, 1, false, "", "", "", 0);
  dialog.Resize(100, 100, 200, 100);
  manager.AddWidget(&dialog);
  manager.MouseMove(150, 120);
  manager.MouseDown(150, 120, 1, Orvo::MOUSE_BUTTON_LEFT);
  EXPECT_TRUE(dialog.mDragging);
  manager.MouseMove(-300, 120);
  EXPECT_EQ(dialog.mX, -8);
  manager.MouseMove(2000, 2000);
  EXPECT_EQ(dialog.mX, 640 - 200 + 8);
  EXPECT_EQ(dialog.mY, 480 - 100 + 8);
  manager.MouseUp(2000, 2000, 1, Orvo::MOUSE_BUTTON_LEFT);
  EXPECT_FALSE(dialog.mDragging);

  // A dialog larger than the screen keeps its top-left edge in reach.
  Dialog huge(nullptr, nullptr, 2, false, "", "", "", 0);
  huge.Resize(0, 0, 1000, 900);
  manager.AddWidget(&huge);
  manager.MouseMove(20, 20);
  manager.MouseDown(20, 20, 1, Orvo::MOUSE_BUTTON_LEFT);
  manager.MouseMove(400, 400);
  EXPECT_EQ(huge.mX, -8);
  EXPECT_EQ(huge.mY, -8);
  manager.MouseUp(400, 400, 1, Orvo::MOUSE_BUTTON_LEFT);
  manager.RemoveAllWidgets();
}

TEST_F(DialogTest, HoverRedrawsOnlyWhenTheLookChanges) {
  Orvo::MemoryImage picture;
  picture.Create(10, 10);
  Orvo::ButtonWidget plain(5, &recorder), pictured(6, &recorder);
  pictured.mImage = &picture;
  plain.Resize(0, 0, 10, 10);
  pictured.Resize(20, 0, 10, 10);
  manager.AddWidget(&plain);
  manager.AddWidget(&pictured);
  plain.mDirty = pictured.mDirty = false;
  manager.MouseMove(25, 5);
  EXPECT_FALSE(pictured.mDirty);  // no hover picture and equal label colours
  pictured.SetColor(Orvo::ButtonWidget::COLOR_LABEL_HILITE, Orvo::Color(255, 0, 0));
  pictured.mDirty = false;
  manager.MouseMove(5, 5);
  EXPECT_TRUE(pictured.mDirty);  // leaving now changes the label colour
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"hover 6", "hover 5"}));
  manager.RemoveAllWidgets();
}

TEST_F(DialogTest, HoverFadesAndHeldTicks) {
  struct Ticks : Orvo::ButtonListener {
    void ButtonHeldTick(int id) override { ++ticks; }
    int ticks = 0;
  } listener;
  Orvo::ButtonWidget button(9, &listener);
  button.mHoverFadeInSpeed = 0.4;
  button.mHoverFadeOutSpeed = 0.5;
  button.Resize(0, 0, 10, 10);
  manager.AddWidget(&button);
  manager.MouseMove(5, 5);
  const double in[] = {0.4, 0.8, 1.0, 1.0};
  for (double expected : in) {
    manager.UpdateFrame();
    EXPECT_DOUBLE_EQ(button.mHoverAlpha, expected);
  }
  manager.MouseDown(5, 5, 1, Orvo::MOUSE_BUTTON_LEFT);
  manager.UpdateFrame();
  manager.UpdateFrame();
  EXPECT_EQ(listener.ticks, 2);
  manager.MouseUp(5, 5, 1, Orvo::MOUSE_BUTTON_LEFT);
  manager.MouseMove(30, 30);
  const double out[] = {0.5, 0.0, 0.0};
  for (double expected : out) {
    manager.UpdateFrame();
    EXPECT_DOUBLE_EQ(button.mHoverAlpha, expected);
  }
  EXPECT_EQ(listener.ticks, 2);
  manager.RemoveAllWidgets();
}

TEST_F(DialogTest, DrawsThePlainFrameAndButtons) {
  Orvo::MemoryImage screen;
  screen.Create(640, 480);
  screen.Clear();
  manager.mImage = &screen;
  Dialog dialog(nullptr, nullptr, 3, false, "Header", "A few words", "", Dialog::BUTTONS_YES_NO);
  dialog.Resize(100, 100, 300, 200);
  manager.AddWidget(&dialog);
  EXPECT_TRUE(manager.DrawScreen());
  const std::uint32_t* bits = screen.GetBits();
  EXPECT_EQ(bits[(100 + 12) * 640 + 100 + 50] & 0xFFFFFF, 0xFFFFFFu);   // outline
  EXPECT_EQ(bits[(100 + 150) * 640 + 100 + 150] & 0xFFFFFF, 0x505050u);  // fill
  const Orvo::Rect yes = dialog.mYesButton->GetRect();
  EXPECT_EQ(bits[(yes.mY + 3) * 640 + yes.mX + 3] & 0xFFFFFF, 0xD4D4D4u);  // plain button face
  EXPECT_FALSE(manager.DrawScreen());  // nothing dirty any more
  manager.RemoveAllWidgets();
}

}  // namespace
