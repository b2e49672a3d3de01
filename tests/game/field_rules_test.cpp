// The field's rules, headless with the control factory and no window: which line a click
// selects, the numbers listed for it, which placements are accepted, crossing lines, clear
// and space, the help, the end of a level, and the deal from one seed.
#include <algorithm>

#include "GameRulesFixture.h"
#include "platform/Random.h"

using namespace rules_test;
using Doduderor::CellVO;
using Doduderor::FieldMgr;
using Doduderor::NumberMgr;

namespace {

// Square: verticals 147 258 361, horizontals 123 456 781.
const std::vector<std::string> kSquareDigits = {"123", "456", "781"};

std::vector<std::pair<int, int>> Positions(const std::vector<CellVO*>& cells) {
  std::vector<std::pair<int, int>> out;
  for (const CellVO* c : cells) out.emplace_back(c->GetColumn(), c->GetRow());
  return out;
}

}  // namespace

// The square with rows 0 and 1 placed and row 2, still empty, selected.
void RulesTest::DealSquareWithTopRowsPlaced() {
  Deal(kSquareMap, kSquareDigits);
  Select(true, 0, 0);
  ClickNumber("123");
  Select(true, 0, 1);
  ClickNumber("456");
  Select(true, 0, 2);
}

TEST_F(RulesTest, ClicksSelectLinesByButtonFallingBackToTheOtherDirection) {
  using P = std::vector<std::pair<int, int>>;
  struct Case {
    std::uint16_t map;
    int button;
    int column, row;
    P selected;
  };
  const Case cases[] = {
      {kSquareMap, ControlLibrary::kMouseLeft, 1, 2, P{{0, 2}, {1, 2}, {2, 2}}},
      {kSquareMap, ControlLibrary::kMouseRight, 1, 2, P{{1, 0}, {1, 1}, {1, 2}}},
      {kSquareMap, ControlLibrary::kMouseMiddle, 2, 0, P{{2, 0}, {2, 1}, {2, 2}}},
      // The plus sign: its top cell is in no row, its left cell in no column.
      {kPlusMap, ControlLibrary::kMouseLeft, 1, 0, P{{1, 0}, {1, 1}, {1, 2}}},
      {kPlusMap, ControlLibrary::kMouseRight, 0, 1, P{{0, 1}, {1, 1}, {2, 1}}},
      // A cell in no line of two selects nothing, whichever button.
      {kLonelyMap, ControlLibrary::kMouseLeft, 0, 0, P{}},
      {kLonelyMap, ControlLibrary::kMouseRight, 0, 0, P{}},
      {kLonelyMap, ControlLibrary::kMouseRight, 2, 2, P{{1, 2}, {2, 2}}},
  };
  for (const Case& c : cases) {
    Deal(c.map, kSquareDigits);
    CellVO* cell = Cell(static_cast<std::uint16_t>(c.column), static_cast<std::uint16_t>(c.row));
    // Any of the cell's three controls forwards the press.
    cell->OnMouseDown(cell->GetDigitText()->GetId(), c.button);
    EXPECT_EQ(Positions(field->GetSelection()), c.selected) << c.map << " " << c.button << " " << c.column << "," << c.row;
    for (const CellVO* s : field->GetSelection()) EXPECT_EQ(s->GetImageName(), "images/cell_h.png");
  }
  // The plus map's last column holds no cell, so the grid stores three columns.
  Deal(kPlusMap, kSquareDigits);
  EXPECT_EQ(field->GetGrid()->columns.size(), 3u);
}

TEST_F(RulesTest, NumbersOfTheDealAreListedByLengthAndValueAndFilteredByMode) {
  Deal(kSquareMap, kSquareDigits);
  EXPECT_EQ(numbers->Numbers(), (std::vector<std::string>{"123", "147", "258", "361", "456", "781"}));
  // Before a line is selected the column holds the whole list, none of it shown.
  EXPECT_EQ(Column(), numbers->Numbers());
  for (const auto* item : Doduderor::ListVO::Instance().Rows()) EXPECT_FALSE(item->button->IsVisible());

  Select(true, 0, 0);
  ClickNumber("123");
  Select(false, 0, 0);  // column 0 now reads "1  "
  EXPECT_EQ(numbers->GetPattern(), "1  ");
  EXPECT_EQ(Column(), (std::vector<std::string>{"147"}));

  struct ModeCase {
    std::uint32_t mode;
    std::vector<std::string> listed;
  };
  const ModeCase modes[] = {
      {NumberMgr::kModeAll, {"123", "147", "258", "361", "456", "781"}},
      {NumberMgr::kModeUnused, {"147", "258", "361", "456", "781"}},
      {NumberMgr::kModeFitting, {"147"}},
  };
  for (const ModeCase& m : modes) {
    numbers->OnMouseClick(numbers->ModeButton(static_cast<int>(m.mode))->GetId(), ControlLibrary::kMouseLeft);
    EXPECT_EQ(numbers->GetMode(), m.mode);
    EXPECT_EQ(Column(), m.listed) << m.mode;
    for (int b = 0; b < 3; ++b) EXPECT_EQ(numbers->ModeButton(b)->IsEnabled(), b != static_cast<int>(m.mode));
  }
}

TEST_F(RulesTest, PlacementsMustAgreeWithShownDigitsAndAnUnplacedLine) {
  Deal(kSquareMap, kSquareDigits);
  Select(true, 0, 0);
  ASSERT_TRUE(field->PlaceNumber("123", {912, 115}));
  Select(false, 0, 0);
  struct Attempt {
    const char* number;
    bool accepted;
  };
  const Attempt attempts[] = {
      {"247", false},   // its first digit disagrees with the 1 shown
      {"14", false},    // shorter than the line
      {"1470", false},  // longer than the line
      {"147", true},
      {"147", false},   // the line is placed already
  };
  for (const Attempt& a : attempts) EXPECT_EQ(field->PlaceNumber(a.number, {0, 0}), a.accepted) << a.number;
  EXPECT_EQ(Shown(), (std::vector<std::string>{"123", "4..", "7.."}));
  EXPECT_TRUE(Cell(0, 0)->IsHorizontalFixed() && Cell(0, 0)->IsVerticalFixed());
}

TEST_F(RulesTest, ARefusedClickLeavesTheNumberFreeAndTheColumnOnItsFirstPage) {
  Deal(kSquareMap, kSquareDigits);
  Select(true, 0, 0);
  ClickNumber("123");
  Select(false, 1, 0);  // column 1 reads "2  "
  numbers->OnMouseClick(numbers->ModeButton(NumberMgr::kModeUnused)->GetId(), ControlLibrary::kMouseLeft);
  ClickNumber("147");  // listed in this mode, but its 1 disagrees with the 2 shown
  const auto& items = numbers->Items();
  const auto it = std::find_if(items.begin(), items.end(), [](auto* i) { return i->button->GetText() == "147"; });
  ASSERT_NE(it, items.end());
  EXPECT_FALSE((*it)->used);
  EXPECT_TRUE((*it)->button->IsEnabled());
  EXPECT_EQ(Doduderor::ListVO::Instance().firstShown, 0);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"123", "...", "..."}));
  numbers->OnMouseClick(numbers->ModeButton(NumberMgr::kModeFitting)->GetId(), ControlLibrary::kMouseLeft);
}

TEST_F(RulesTest, CompletingCrossingLinesFixesThemAndTheFullFieldEndsTheLevel) {
  DealSquareWithTopRowsPlaced();
  ClickNumber("781");  // completes all three columns

  EXPECT_EQ(Shown(), kSquareDigits);
  for (std::uint16_t c = 0; c < 3; ++c) {
    for (std::uint16_t r = 0; r < 3; ++r) {
      EXPECT_TRUE(Cell(c, r)->IsVerticalFixed());
      EXPECT_EQ(Cell(c, r)->GetImageName(), "images/cell_g.png");
    }
  }
  for (const auto* item : numbers->Items()) {
    EXPECT_TRUE(!item->inPlay || item->used) << item->button->GetText();
  }
  // Moves: the crossing columns first, each with its whole number although the row's digits
  // were still to show, then the row.
  std::vector<std::string> recorded;
  for (auto* node = field->GetHeadNode()->newer; node != nullptr; node = node->newer) {
    recorded.push_back(node->number + (node->orientation == FieldMgr::kHorizontal ? " h" : " v"));
  }
  EXPECT_EQ(recorded, (std::vector<std::string>{"123 h", "456 h", "147 v", "258 v", "361 v", "781 h"}));

  EXPECT_EQ(game().levelsCompleted, 1);
  EXPECT_TRUE(field->IsFinished());
  for (auto* b : {field->HelpButton(), field->PreviousButton(), field->NextButton(), field->ClearButton()}) {
    EXPECT_FALSE(b->IsEnabled());
  }
  // A finished level takes no more numbers and no space key.
  Select(true, 0, 0);
  EXPECT_FALSE(field->PlaceNumber("123", {0, 0}));
  field->OnKeyDown(FieldMgr::kKeySpace);
  EXPECT_EQ(Shown(), kSquareDigits);
}

TEST_F(RulesTest, ACrossingNumberThatIsNotFreeRefusesTheWholePlacement) {
  DealSquareWithTopRowsPlaced();
  // Column 0 would read 147 (free), column 1 would read 259 (no such number).
  EXPECT_FALSE(field->PlaceNumber("791", {0, 0}));
  EXPECT_EQ(Shown(), (std::vector<std::string>{"123", "456", "..."}));
  for (std::uint16_t r = 0; r < 3; ++r) EXPECT_EQ(Cell(1, r)->GetImageName(), "images/cell_r.png");
  for (std::uint16_t r = 0; r < 3; ++r) EXPECT_FALSE(Cell(0, r)->IsVerticalFixed());
  // 147 was given back: it can still be taken.
  EXPECT_TRUE(numbers->SetUsed("147"));
  EXPECT_EQ(game().levelsCompleted, 0);
}

TEST_F(RulesTest, SpaceFillsTheOnlyFittingNumberOrClearsAFullLineKeepingHeldDigits) {
  Deal(kSquareMap, kSquareDigits);
  Select(false, 0, 0);
  ClickNumber("147");
  Select(true, 0, 0);  // row 0 reads "1  ": only 123 fits
  field->OnKeyDown(FieldMgr::kKeySpace);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"123", "4..", "7.."}));
  EXPECT_TRUE(field->ClearButton()->IsEnabled());

  field->OnKeyDown(FieldMgr::kKeySpace);  // the full row is cleared; column 0 keeps its 1
  EXPECT_EQ(Shown(), (std::vector<std::string>{"1..", "4..", "7.."}));
  for (std::uint16_t c = 0; c < 3; ++c) EXPECT_EQ(Cell(c, 0)->GetImageName(), "images/cell_r.png");
  EXPECT_EQ(field->GetCurrentNode()->kind, 1u);
  EXPECT_EQ(field->GetCurrentNode()->number, "123");
  EXPECT_FALSE(field->ClearButton()->IsEnabled());

  // A full line whose every cell a crossing line holds can be neither cleared nor filled.
  Select(false, 1, 0);
  ClickNumber("258");
  Select(false, 2, 0);
  ClickNumber("361");  // completes all three rows
  Select(true, 0, 1);
  field->OnKeyDown(FieldMgr::kKeySpace);
  EXPECT_EQ(Shown(), kSquareDigits);
}

TEST_F(RulesTest, FastInsertPlacesTheFirstOfEqualCandidatesAndNothingWhenTheyDiffer) {
  // Rows and columns alike read 121, 232, 121.
  const std::vector<std::string> digits = {"121", "232", "121"};
  Deal(kSquareMap, digits);
  Select(true, 0, 0);
  EXPECT_EQ(Column(), (std::vector<std::string>{"121", "121", "121", "121", "232", "232"}));
  field->OnKeyDown(FieldMgr::kKeySpace);  // 121 and 232 both fit "   "
  EXPECT_EQ(Shown(), (std::vector<std::string>{"...", "...", "..."}));

  Select(false, 0, 0);
  ClickNumber("121");
  Select(true, 0, 2);  // "1  ": only copies of 121 fit
  field->OnKeyDown(FieldMgr::kKeySpace);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"1..", "2..", "121"}));
  const auto& items = numbers->Items();
  EXPECT_EQ(std::count_if(items.begin(), items.end(), [](auto* i) { return i->inPlay && i->used; }), 2);
  EXPECT_TRUE(items[0]->used && items[1]->used);  // the first copies in item order
}

TEST_F(RulesTest, HelpFillsTheFirstEmptyColumnOncePerLevel) {
  Deal(kSquareMap, kSquareDigits);
  Select(false, 0, 1);
  ClickNumber("147");
  field->OnMouseClick(field->HelpButton()->GetId(), ControlLibrary::kMouseLeft);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"12.", "45.", "78."}));
  EXPECT_FALSE(field->HelpButton()->IsEnabled());
  const auto& items = numbers->Items();
  EXPECT_TRUE(std::any_of(items.begin(), items.end(), [](auto* i) { return i->used && i->button->GetText() == "258"; }));
  EXPECT_EQ(field->GetOrientation(), FieldMgr::kVertical);
  // The next level offers it again.
  Deal(kSquareMap, kSquareDigits);
  EXPECT_TRUE(field->HelpButton()->IsEnabled());

  // No empty column left (the step map has one, filled here): the help leaves the field and
  // the selection as they were and stays available.
  Deal(kStepMap, {"12056", "03400"});
  Select(false, 1, 0);
  ClickNumber("23");
  Select(true, 3, 0);
  field->OnMouseClick(field->HelpButton()->GetId(), ControlLibrary::kMouseLeft);
  EXPECT_EQ(Shown(), (std::vector<std::string>{".2#..", "#3.##"}));
  EXPECT_TRUE(field->HelpButton()->IsEnabled());
  EXPECT_EQ(field->GetSelection(), (std::vector<CellVO*>{Cell(3, 0), Cell(4, 0)}));
  EXPECT_EQ(field->GetOrientation(), FieldMgr::kHorizontal);
}

// The first level's shape with column 1 reading 13578 and column 4 reading 45522; the rows
// read 1664, 23 and 51, 5775, 67 and 28, 8112.
const std::vector<std::string> kFirstStepsDigits = {".1664.", "23..51", ".5775.", "67..28", ".8112."};

TEST_F(RulesTest, HelpAfterAWrongPlacementTakesItsNumberBackAndFillsTheLine) {
  Deal(kFirstStepsMap, kFirstStepsDigits);
  Select(false, 1, 0);
  ClickNumber("45522");  // column 4's number in column 1
  field->OnMouseClick(field->HelpButton()->GetId(), ControlLibrary::kMouseLeft);
  // Column 1 gave 45522 back, column 4 (the first empty column) took it.
  EXPECT_EQ(Shown(), (std::vector<std::string>{"#...4#", "..##5.", "#...5#", "..##2.", "#...2#"}));
  EXPECT_FALSE(field->HelpButton()->IsEnabled());
  EXPECT_EQ(field->GetSelection().front(), Cell(4, 0));
  // The column accounts for every placed line: 45522 is taken once, 13578 is free.
  EXPECT_FALSE(numbers->HasFree("45522"));
  EXPECT_TRUE(numbers->HasFree("13578"));
  std::vector<std::string> moves;
  for (auto* n = field->GetHeadNode()->newer; n != nullptr; n = n->newer) moves.push_back(std::to_string(n->kind) + n->number);
  EXPECT_EQ(moves, (std::vector<std::string>{"045522", "145522", "045522"}));

  // Taking both back restores the player's placement, and the column with it.
  field->OnMouseClick(field->PreviousButton()->GetId(), ControlLibrary::kMouseLeft);
  field->OnMouseClick(field->PreviousButton()->GetId(), ControlLibrary::kMouseLeft);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"#4...#", ".5##..", "#5...#", ".2##..", "#2...#"}));
  EXPECT_FALSE(numbers->HasFree("45522"));
  EXPECT_TRUE(numbers->HasFree("13578"));
}

TEST_F(RulesTest, OneSeedDealsTheSameDigitsOneToEightOnTheSameCells) {
  auto deal = [&](unsigned seed) {
    plat::srand(seed);
    field->StartLevelOnMap(kSquareMap);
    std::vector<std::string> lines;
    field->CollectLineNumbers(lines);
    return lines;
  };
  field->StartLevelOnMap(kSquareMap);
  const CellVO* first = Cell(0, 0);
  const std::size_t grids = field->CachedGridCount();
  const auto a = deal(1234);
  EXPECT_EQ(deal(1234), a);
  EXPECT_NE(deal(99), a);
  EXPECT_EQ(Cell(0, 0), first);  // the map's cells are kept and reused
  EXPECT_EQ(field->CachedGridCount(), grids);
  ASSERT_EQ(a.size(), 6u);  // three columns, then three rows
  std::string all;
  for (int i = 0; i < 200; ++i) {
    for (const auto& line : deal(static_cast<unsigned>(i))) all += line;
  }
  EXPECT_EQ(all.find_first_not_of("12345678"), std::string::npos);
  for (char d = '1'; d <= '8'; ++d) EXPECT_NE(all.find(d), std::string::npos) << d;
  EXPECT_TRUE(field->GetSelection().empty());
}

TEST_F(RulesTest, TheTutorialGatesClicksAndPlacements) {
  Deal(kSquareMap, kSquareDigits);
  game().tutorialShown = true;
  Select(true, 0, 0);  // not a marked cell: ignored
  EXPECT_TRUE(field->GetSelection().empty());
  EXPECT_TRUE(game().log.empty());

  Cell(0, 0)->SetSelectable(true);
  Select(true, 0, 0);
  EXPECT_EQ(field->GetSelection().size(), 3u);
  EXPECT_FALSE(field->PlaceNumber("123", {0, 0}));  // not the placement step
  game().placementStep = true;
  EXPECT_TRUE(field->PlaceNumber("123", {0, 0}));
  game().paused = true;
  Select(false, 2, 2);
  EXPECT_EQ(game().log, (std::vector<std::string>{"selected horizontal", "advance after placement", "advance"}));
}

TEST_F(RulesTest, NumbersLeftOverFromALargerLevelAreNotTaken) {
  Deal(kSquareMap, kSquareDigits);      // six buttons
  Deal(kStepMap, {"12056", "03400"});  // four of them now carry this level's numbers
  // The other two keep the texts 456 and 781 but belong to no level: a crossing line
  // reading one of them must not find it free.
  EXPECT_FALSE(numbers->SetUsed("456"));
  EXPECT_FALSE(numbers->SetUsed("781"));
  EXPECT_TRUE(numbers->SetUsed("34"));
  EXPECT_TRUE(numbers->SetUnused("34"));
  EXPECT_FALSE(numbers->SetUnused("34"));
}

TEST_F(RulesTest, RealInputThroughTheFactoryPlaysALine) {
  Deal(kSquareMap, kSquareDigits);
  ControlLibrary::Factory_impl* factory = ControlLibrary::GetFactoryImpl();
  auto press = [&](ControlLibrary::VOPoint p, int button) {
    factory->OnMouseMove(p.x, p.y);
    factory->OnMouseDown(p.x, p.y, button, 1);
    factory->OnMouseUp(p.x, p.y, button, 1);
  };
  // The square is centred on (410, 395) in steps of 35: cell (1, 1) starts at (393, 378).
  const ControlLibrary::VOPoint cell{396, 381};
  press(cell, ControlLibrary::kMouseRight);
  EXPECT_EQ(Positions(field->GetSelection()), (std::vector<std::pair<int, int>>{{1, 0}, {1, 1}, {1, 2}}));
  press(cell, ControlLibrary::kMouseLeft);
  EXPECT_EQ(Positions(field->GetSelection()), (std::vector<std::pair<int, int>>{{0, 1}, {1, 1}, {2, 1}}));
  factory->OnKeyDown(FieldMgr::kKeySpace);  // six numbers fit the empty row: nothing happens
  EXPECT_EQ(Shown(), (std::vector<std::string>{"...", "...", "..."}));

  press({912, 115 + 35 * 4}, ControlLibrary::kMouseLeft);  // the fifth row of the column: 456
  EXPECT_EQ(Shown(), (std::vector<std::string>{"...", "456", "..."}));
  factory->OnKeyDown(FieldMgr::kKeySpace);  // the full row is cleared again
  EXPECT_EQ(Shown(), (std::vector<std::string>{"...", "...", "..."}));
}
