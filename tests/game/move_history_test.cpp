// Taking moves back and making them again: the history buttons, a crossing line recorded
// before the line that completed it, taking back a clear, and new moves dropping the moves
// that were taken back.
#include "GameRulesFixture.h"

using namespace rules_test;
using Doduderor::HistoryNode;

namespace {

// The step map: row 0 reads 12 and 56, row 1 reads 34, and column 1 joins them as 23.
const std::vector<std::string> kStepDigits = {"12056", "03400"};

}  // namespace

class HistoryTest : public RulesTest {
 protected:
  void Previous() { field->OnMouseClick(field->PreviousButton()->GetId(), ControlLibrary::kMouseLeft); }
  void Next() { field->OnMouseClick(field->NextButton()->GetId(), ControlLibrary::kMouseLeft); }
  bool CanGoBack() { return field->PreviousButton()->IsEnabled(); }
  bool CanGoForward() { return field->NextButton()->IsEnabled(); }
  // The recorded numbers after the head node, oldest first.
  std::vector<std::string> Moves() {
    std::vector<std::string> out;
    for (HistoryNode* n = field->GetHeadNode()->newer; n != nullptr; n = n->newer) {
      out.push_back((n->kind == 0 ? "fill " : "clear ") + n->number);
    }
    return out;
  }
  bool IsUsed(const std::string& number) {
    for (const auto* item : numbers->Items()) {
      if (item->inPlay && item->used && item->button->GetText() == number) return true;
    }
    return false;
  }
};

TEST_F(HistoryTest, TakingBackAndMakingAgainFollowsTheButtons) {
  Deal(kStepMap, kStepDigits);
  EXPECT_FALSE(CanGoBack());
  EXPECT_FALSE(CanGoForward());

  Select(true, 0, 0);
  ClickNumber("12");
  EXPECT_TRUE(CanGoBack());
  EXPECT_FALSE(CanGoForward());

  Previous();
  EXPECT_EQ(Shown(), (std::vector<std::string>{"..#..", "#..##"}));
  EXPECT_FALSE(IsUsed("12"));
  EXPECT_FALSE(CanGoBack());
  EXPECT_TRUE(CanGoForward());

  Next();
  EXPECT_EQ(Shown(), (std::vector<std::string>{"12#..", "#..##"}));
  EXPECT_TRUE(IsUsed("12"));
  EXPECT_EQ(Moves(), (std::vector<std::string>{"fill 12"}));  // the replay records nothing new
  EXPECT_TRUE(CanGoBack());
  EXPECT_FALSE(CanGoForward());

  // A new move after taking one back drops the move taken back.
  Previous();
  Select(false, 1, 0);
  ClickNumber("23");
  EXPECT_EQ(Moves(), (std::vector<std::string>{"fill 23"}));
  EXPECT_FALSE(CanGoForward());
}

// The crossing line is recorded with its whole number although the digit that completed it
// is still in flight, so making it again puts that number back even where another unused
// number (25 on the second dealing) would fit the digit left standing.
TEST_F(HistoryTest, ACompletedCrossingLineIsItsOwnMoveTakenBackSecond) {
  for (const std::string topRow : {"12056", "12025"}) {
    SCOPED_TRACE(topRow);
    Deal(kStepMap, {topRow, "03400"});
    Select(true, 0, 0);
    ClickNumber("12");
    Select(true, 2, 1);
    ClickNumber("34");  // completes column 1: 2 above, the new 3 below
    EXPECT_EQ(Moves(), (std::vector<std::string>{"fill 12", "fill 23", "fill 34"}));
    EXPECT_EQ(Shown(), (std::vector<std::string>{"12#..", "#34##"}));

    Previous();  // row 1 goes; its 3 stays, column 1 holds it
    EXPECT_EQ(Shown(), (std::vector<std::string>{"12#..", "#3.##"}));
    EXPECT_FALSE(IsUsed("34"));
    Previous();  // column 1 goes; its 2 stays, row 0 holds it
    EXPECT_EQ(Shown(), (std::vector<std::string>{"12#..", "#..##"}));
    EXPECT_FALSE(IsUsed("23"));

    Next();  // column 1 again, with 23 itself
    EXPECT_EQ(Shown(), (std::vector<std::string>{"12#..", "#3.##"}));
    EXPECT_TRUE(IsUsed("23"));
    Next();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"12#..", "#34##"}));
    EXPECT_TRUE(IsUsed("23") && IsUsed("34"));
    EXPECT_FALSE(IsUsed(topRow.substr(3)));
    EXPECT_FALSE(CanGoForward());
  }
}

TEST_F(HistoryTest, TakingBackAClearPutsTheClearedNumberBack) {
  Deal(kStepMap, kStepDigits);
  Select(true, 0, 0);
  ClickNumber("12");
  field->OnKeyDown(Doduderor::FieldMgr::kKeySpace);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"..#..", "#..##"}));
  EXPECT_EQ(Moves(), (std::vector<std::string>{"fill 12", "clear 12"}));

  Previous();
  EXPECT_EQ(Shown(), (std::vector<std::string>{"12#..", "#..##"}));
  EXPECT_TRUE(IsUsed("12"));
  EXPECT_EQ(field->GetCurrentNode()->number, "12");
  EXPECT_EQ(field->GetCurrentNode()->kind, 0u);
  Next();
  EXPECT_EQ(Shown(), (std::vector<std::string>{"..#..", "#..##"}));
  EXPECT_FALSE(IsUsed("12"));
}
