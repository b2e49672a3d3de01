// The tutorial window: its steps, the requests it makes of the game screen, and Skip.
#include <string>
#include <vector>

#include "game/GameModule.h"
#include "game/HelpDlg.h"
#include "game/MoreGamesDialog.h"
#include "kernel/controls/IDialogVO.h"
#include "tests/game/DialogFixture.h"

namespace {

using namespace Doduderor;
using ControlLibrary::VOPoint;
using dialogs_test::DialogTest;

// Records the tutorial's requests to the game screen.
class HelpLog : public IGameHelpMgr {
 public:
  void LockField() override { calls.push_back("lock"); }
  void MarkHorizontalLines() override { calls.push_back("horizontal"); }
  void HelpUnused1() override { calls.push_back("third"); }
  void MarkVerticalLines() override { calls.push_back("vertical"); }
  void HelpUnused2() override { calls.push_back("fifth"); }
  void PauseGame() override { calls.push_back("pause"); }
  std::vector<std::string> calls;
};

using HelpDlgTest = DialogTest;

TEST_F(HelpDlgTest, ShowingLocksTheFieldAndStartsAtTheFirstStep) {
  HelpLog help;
  HelpDlg dialog(&help);
  dialog.Show(true);
  EXPECT_EQ(help.calls, (std::vector<std::string>{"lock", "horizontal"}));
  EXPECT_EQ(dialog.GetStep(), 0);
  EXPECT_TRUE(dialog.GetTextBox()->IsVisible());
  EXPECT_EQ(dialog.GetTextBox()->GetPosition(), (VOPoint{310, 10}));
  EXPECT_EQ(dialog.GetDialog()->GetScreenRect(), (ControlLibrary::VORect{100, 80, 620, 220}));
  EXPECT_EQ(dialog.GetSkipButton()->GetPosition(), (VOPoint{310, 195}));
  dialog.Advance();
  dialog.Advance();
  dialog.Show(true);  // a new show starts over
  EXPECT_EQ(dialog.GetStep(), 0);
}

TEST_F(HelpDlgTest, StepsMoveOnlyOnTheSelectionsTheTextsAskFor) {
  enum Action { kHorizontal, kVertical, kAdvance };
  struct Case {
    int from;
    Action action;
    int to;
    bool result;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {0, kHorizontal, 1, true, {"third"}},
      {0, kVertical, 0, false, {}},
      {1, kHorizontal, 1, false, {}},
      {1, kVertical, 1, false, {}},
      {2, kVertical, 3, true, {"fifth", "pause"}},
      {2, kHorizontal, 2, false, {}},
      {1, kAdvance, 2, true, {"vertical"}},
      {3, kAdvance, 4, true, {"fifth"}},
      {4, kAdvance, 5, true, {"fifth"}},
      {5, kAdvance, 5, true, {}},  // the last step stays and nothing is redrawn
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from * 10 + c.action);
    HelpLog help;
    HelpDlg dialog(&help);
    dialog.Show(true);
    while (dialog.GetStep() < c.from) dialog.Advance();
    help.calls.clear();
    bool result = true;
    if (c.action == kAdvance)
      dialog.Advance();
    else
      result = dialog.OnLineSelected(c.action == kHorizontal);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(dialog.GetStep(), c.to);
    EXPECT_EQ(help.calls, c.calls);
    EXPECT_EQ(dialog.IsPlacementStep(), c.to == 1);
    dialog.Show(false);
  }
}

TEST_F(HelpDlgTest, ModelessAndClosedBySkip) {
  HelpLog help;
  MoreGamesDialog other(nullptr);  // any shown control stands for the field
  other.Show(true);
  HelpDlg dialog(&help);
  dialog.Show(true);
  EXPECT_TRUE(other.GetCloseButton()->IsEnabled());
  Click(dialog, dialog.GetSkipButton());
  EXPECT_FALSE(dialog.IsShown());
}

}  // namespace
