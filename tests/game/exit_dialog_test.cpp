// The exit question: its answers by button and by key, and the shade that follows it.
#include <gtest/gtest.h>

#include <vector>

#include "game/ExitDialog.h"
#include "kernel/controls/IDialogVO.h"
#include "tests/game/ScreenFixture.h"

using namespace Doduderor;

namespace {

class HideLog : public ControlLibrary::DialogMessageObserver {
 public:
  void OnDialogShowHide(std::uint32_t, bool visible) override { events.push_back(visible); }
  std::vector<bool> events;
};

class ExitDialogTest : public game_test::ScreenTest {
 protected:
  ExitDialogTest() : dialog(&owner) {}
  bool Shown() { return dialog.GetDialog()->IsVisible(); }
  HideLog owner;
  ExitDialog dialog;
};

TEST_F(ExitDialogTest, ButtonsAndKeysGiveTheirAnswers) {
  struct Case {
    const char* what;
    int key;       // 0: click instead
    bool clickYes;
    bool closes;
    std::uint8_t answer;
  };
  const Case cases[] = {
      {"yes button", 0, true, true, 1},   {"no button", 0, false, true, 0}, {"enter", 13, false, true, 1},
      {"escape", 27, false, true, 0},     {"space", 32, false, false, 0},   {"letter", 'Y', false, false, 0},
  };
  for (const Case& c : cases) {
    dialog.answer = 0;
    dialog.Show(true);
    ASSERT_TRUE(Shown()) << c.what;
    if (c.key == 0) {
      ClickOn(c.clickYes ? dialog.GetYesButton() : dialog.GetNoButton());
    } else {
      PressKey(c.key);
    }
    EXPECT_EQ(Shown(), !c.closes) << c.what;
    EXPECT_EQ(dialog.answer, c.answer) << c.what;
    dialog.Show(false);
  }
}

TEST_F(ExitDialogTest, EnterAnswersYesEvenWithTheMouseOverNo) {
  dialog.Show(true);
  const ControlLibrary::VORect no = dialog.GetNoButton()->GetScreenRect();
  factory->OnMouseMove(no.x + no.width / 2, no.y + no.height / 2);
  PressKey(13);
  EXPECT_FALSE(Shown());
  EXPECT_EQ(dialog.answer, 1);
}

TEST_F(ExitDialogTest, ShadeLiesDirectlyBelowTheQuestionWhileItIsShown) {
  ControlLibrary::IImageVO* shade = dialog.GetShade();
  EXPECT_FALSE(shade->IsVisible());
  dialog.Show(true);
  EXPECT_TRUE(shade->IsVisible());
  EXPECT_EQ(shade->GetLayer(), dialog.GetDialog()->GetLayer() - 1);
  EXPECT_EQ(shade->GetScreenRect().x, 0);
  EXPECT_EQ(shade->GetScreenRect().y, 0);
  PressKey(27);
  EXPECT_FALSE(shade->IsVisible());
  EXPECT_EQ(owner.events, (std::vector<bool>{true, false}));  // the owner learns of both
}

TEST_F(ExitDialogTest, KeysAreIgnoredWhileTheQuestionIsHidden) {
  PressKey(13);
  EXPECT_EQ(dialog.answer, 0);
  EXPECT_TRUE(owner.events.empty());
}

}  // namespace
