// The finish dialog: the time as minutes and seconds, what each mode shows, and the answer
// each button leaves for the game screen.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "framework/core/OrvoAppBase.h"
#include "game/FinishDlg.h"
#include "kernel/controls/Factory.h"
#include "kernel/controls/IDialogVO.h"
#include "tests/framework/core/AppSandbox.h"

using Doduderor::FinishDlg;

namespace {

struct Owner : ControlLibrary::DialogMessageObserver {
  void OnDialogShowHide(std::uint32_t, bool visible) override { events.push_back(visible); }
  std::vector<bool> events;
};

class FinishDialogTest : public ::testing::Test {
 protected:
  FinishDialogTest() {
    ControlLibrary::CreateControlFactory(app.get());
    dlg = std::make_unique<FinishDlg>(&owner);
  }
  ~FinishDialogTest() override {
    dlg.reset();
    ControlLibrary::DestroyControlFactory();
  }
  void Click(ControlLibrary::IButtonVO* button) { dlg->OnMouseClick(button->GetId(), ControlLibrary::kMouseLeft); }

  AppSandbox sandbox;
  std::unique_ptr<Orvo::OrvoAppBase> app = std::make_unique<Orvo::OrvoAppBase>();
  Owner owner;
  std::unique_ptr<FinishDlg> dlg;
};

}  // namespace

TEST_F(FinishDialogTest, TimeShowsUncappedMinutesAndSecondsWithoutLeadingZeros) {
  const struct {
    std::uint16_t seconds;
    const char* text;
  } cases[] = {{0, "0 : 0"}, {65, "1 : 5"}, {3599, "59 : 59"}, {3600, "60 : 0"}, {65535, "1092 : 15"}};
  for (const auto& c : cases) {
    dlg->SetTime(c.seconds);
    EXPECT_EQ(dlg->GetTimeText()->GetText(), c.text);
    EXPECT_EQ(dlg->seconds, c.seconds);
  }
}

TEST_F(FinishDialogTest, ACompletedLevelOffersThreeAnswers) {
  EXPECT_EQ(dlg->mode, FinishDlg::kModeLevelCompleted);
  const struct {
    ControlLibrary::IButtonVO* (FinishDlg::*button)() const;
    std::uint8_t restart, newLevel;
  } cases[] = {{&FinishDlg::GetNewLevelButton, 0, 1}, {&FinishDlg::GetRestartButton, 1, 0}, {&FinishDlg::GetCloseButton, 0, 0}};
  for (const auto& c : cases) {
    dlg->SetTime(75);
    dlg->Show(true);
    EXPECT_TRUE(dlg->IsShown());
    EXPECT_EQ(dlg->GetLine1()->GetText(), "Your time");
    EXPECT_EQ(dlg->GetLine2()->GetText(), "");
    for (auto* b : {dlg->GetRestartButton(), dlg->GetNewLevelButton(), dlg->GetCloseButton()}) EXPECT_TRUE(b->IsVisible());
    // Placed from the centre of the 400 x 320 dialog.
    EXPECT_EQ(dlg->GetRestartButton()->GetPosition(), (ControlLibrary::VOPoint{130, 245}));
    EXPECT_EQ(dlg->GetNewLevelButton()->GetPosition(), (ControlLibrary::VOPoint{270, 245}));
    EXPECT_EQ(dlg->GetCloseButton()->GetPosition(), (ControlLibrary::VOPoint{200, 290}));
    EXPECT_EQ(dlg->GetLine1()->GetPosition(), (ControlLibrary::VOPoint{200, 130}));

    owner.events.clear();
    Click((dlg.get()->*c.button)());
    EXPECT_FALSE(dlg->IsShown());
    EXPECT_EQ(owner.events, std::vector<bool>{false});
    EXPECT_EQ(dlg->restartChosen, c.restart);
    EXPECT_EQ(dlg->newLevelChosen, c.newLevel);
  }
  // Any other sender changes nothing.
  dlg->Show(true);
  dlg->OnMouseClick(dlg->GetLine1()->GetId(), ControlLibrary::kMouseLeft);
  EXPECT_TRUE(dlg->IsShown());
}

TEST_F(FinishDialogTest, TheTutorialsEndShowsOnlyItsOwnWordsAndClose) {
  // A level completed earlier in the same run left its time and answers behind.
  dlg->SetTime(42);
  dlg->Show(true);
  Click(dlg->GetCloseButton());

  dlg->mode = FinishDlg::kModeTutorialEnded;
  dlg->Show(true);
  EXPECT_EQ(dlg->GetLine1()->GetText(), "Now you can choose and");
  EXPECT_EQ(dlg->GetLine2()->GetText(), "play another level.");
  EXPECT_FALSE(dlg->GetTimeText()->IsVisible());  // it would stand over the second line
  EXPECT_TRUE(dlg->GetCloseButton()->IsVisible());
  EXPECT_TRUE(dlg->GetCloseButton()->IsEnabled());
  EXPECT_FALSE(dlg->GetRestartButton()->IsVisible());
  EXPECT_FALSE(dlg->GetNewLevelButton()->IsVisible());
  Click(dlg->GetCloseButton());

  // The next completed level shows its time again.
  dlg->mode = FinishDlg::kModeLevelCompleted;
  dlg->SetTime(61);
  dlg->Show(true);
  EXPECT_TRUE(dlg->GetTimeText()->IsVisible());
  EXPECT_EQ(dlg->GetTimeText()->GetText(), "1 : 1");
}
