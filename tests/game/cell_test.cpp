// A cell of the field: which line a mouse button asks for, which direction holds its
// digit, the shown text against the pattern text, and the digit's flight into the cell.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "framework/core/OrvoAppBase.h"
#include "game/CellVO.h"
#include "kernel/controls/Factory.h"
#include "kernel/effects/IEffectSystem.h"
#include "kernel/time/TimeSystem_impl.h"
#include "tests/framework/core/AppSandbox.h"

using Doduderor::CellVO;

namespace {

struct ClickLog : Doduderor::IFieldMgr {
  void OnCellClicked(bool horizontal, std::uint16_t column, std::uint16_t row) override {
    clicks.push_back({horizontal, column, row});
  }
  struct Click {
    bool horizontal;
    std::uint16_t column, row;
  };
  std::vector<Click> clicks;
};

class CellTest : public ::testing::Test {
 protected:
  CellTest() {
    ControlLibrary::CreateControlFactory(app.get());
    EffectLibrary::CreateEffectSystem();
    EffectLibrary::SetEffectTimeSystem(&time);
    cell = std::make_unique<CellVO>(&owner, 4, 7);
    cell->SetBaseImage("images/cell.png");
    cell->SetPosition(100, 200);
  }
  ~CellTest() override {
    cell.reset();
    EffectLibrary::DestroyEffectSystem();
    ControlLibrary::DestroyControlFactory();
  }

  AppSandbox sandbox;
  std::unique_ptr<Orvo::OrvoAppBase> app = std::make_unique<Orvo::OrvoAppBase>();
  TimeLibrary::TimeSystem_impl time;
  ClickLog owner;
  std::unique_ptr<CellVO> cell;
};

}  // namespace

TEST_F(CellTest, OnlyTheLeftButtonAsksForTheHorizontalLine) {
  const struct {
    int button;
    bool horizontal;
  } cases[] = {{ControlLibrary::kMouseLeft, true}, {ControlLibrary::kMouseRight, false}, {ControlLibrary::kMouseMiddle, false}};
  // Whichever of the cell's three controls was hit.
  const std::uint32_t ids[] = {cell->GetPicture()->GetId(), cell->GetDigitText()->GetId(), cell->GetFlyingText()->GetId()};
  for (const auto& c : cases) {
    for (std::uint32_t id : ids) {
      owner.clicks.clear();
      cell->OnMouseDown(id, c.button);
      ASSERT_EQ(owner.clicks.size(), 1u);
      EXPECT_EQ(owner.clicks[0].horizontal, c.horizontal) << c.button;
      EXPECT_EQ(owner.clicks[0].column, 4);
      EXPECT_EQ(owner.clicks[0].row, 7);
    }
  }
}

TEST_F(CellTest, EachDirectionHoldsTheDigitOnce) {
  cell->SetSolution("5");
  EXPECT_EQ(cell->GetShownText(), "");
  EXPECT_EQ(cell->GetText(), " ");
  EXPECT_EQ(cell->GetSolution(), "5");

  EXPECT_TRUE(cell->PlaceDigit("5", true, {0, 0}));
  EXPECT_FALSE(cell->PlaceDigit("5", true, {0, 0}));
  EXPECT_TRUE(cell->PlaceDigit("9", false, {0, 0}));  // a digit already shown is kept
  EXPECT_EQ(cell->GetShownText(), "5");
  EXPECT_FALSE(cell->PlaceDigit("5", false, {0, 0}));

  cell->ClearDirection(true);  // the vertical line still holds it
  EXPECT_EQ(cell->GetText(), "5");
  EXPECT_FALSE(cell->IsHorizontalFixed());
  cell->ClearDirection(false);
  EXPECT_EQ(cell->GetText(), " ");

  // Showing the cell empties its digit; a new solution clears both directions.
  EXPECT_TRUE(cell->PlaceDigit("5", false, {0, 0}));
  cell->SetVisible(true);
  EXPECT_EQ(cell->GetShownText(), "");
  cell->SetSolution("3");
  EXPECT_FALSE(cell->IsVerticalFixed());
}

TEST_F(CellTest, StatePicturesAndTheMark) {
  const struct {
    void (CellVO::*set)(bool);
    const char* image;
    bool marked;
  } cases[] = {{&CellVO::SetHighlighted, "images/cell_h.png", false},
               {&CellVO::SetSelectable, "images/cell_g.png", true},
               {&CellVO::SetWrong, "images/cell_r.png", false}};
  for (const auto& c : cases) {
    cell->SetSelectable(true);
    (cell.get()->*c.set)(true);
    EXPECT_EQ(cell->GetImageName(), c.image);
    EXPECT_EQ(cell->IsMarked(), c.marked);
    (cell.get()->*c.set)(false);
    EXPECT_EQ(cell->GetImageName(), "images/cell.png");
    EXPECT_FALSE(cell->IsMarked());
  }
}

TEST_F(CellTest, TheDigitFliesInAndShowsWhenItArrives) {
  EXPECT_EQ(cell->GetDigitText()->GetPosition(), (ControlLibrary::VOPoint{117, 215}));
  cell->SetVisible(true);
  ASSERT_TRUE(cell->PlaceDigit("6", true, {912, 115}));
  EXPECT_EQ(cell->GetShownText(), "6");  // the cell counts as filled at once
  EXPECT_FALSE(cell->GetDigitText()->IsVisible());
  EXPECT_EQ(cell->GetFlyingText()->GetText(), "6");
  for (int i = 0; i < 200 && !cell->GetDigitText()->IsVisible(); ++i) time.TickTimeObjects();
  EXPECT_TRUE(cell->GetDigitText()->IsVisible());
  EXPECT_EQ(cell->GetFlyingText()->GetPosition(), (ControlLibrary::VOPoint{115, 215}));
  EXPECT_FALSE(cell->GetFlyingText()->IsVisible());
}

TEST_F(CellTest, HidingTheCellEndsTheFlightSoItsDigitDoesNotShowLater) {
  // The level ends, or another one starts, while the last digits are still on their way.
  cell->SetVisible(true);
  ASSERT_TRUE(cell->PlaceDigit("6", true, {912, 115}));
  time.TickTimeObjects();
  cell->SetVisible(false);
  EXPECT_FALSE(cell->GetFlyingText()->IsVisible());
  for (int i = 0; i < 200; ++i) time.TickTimeObjects();
  EXPECT_FALSE(cell->GetDigitText()->IsVisible());
  EXPECT_FALSE(cell->GetFlyingText()->IsVisible());
  // Dealt and shown again, the cell flies its next digit in as before.
  cell->SetSolution("3");
  cell->SetVisible(true);
  ASSERT_TRUE(cell->PlaceDigit("3", true, {912, 115}));
  for (int i = 0; i < 200 && !cell->GetDigitText()->IsVisible(); ++i) time.TickTimeObjects();
  EXPECT_TRUE(cell->GetDigitText()->IsVisible());
}

TEST_F(CellTest, ADigitWithNowhereToFlyShowsAtOnce) {
  cell->SetVisible(true);
  ASSERT_TRUE(cell->PlaceDigit("2", false, {115, 215}));  // already at the cell's centre
  EXPECT_TRUE(cell->GetDigitText()->IsVisible());
  EXPECT_EQ(cell->GetShownText(), "2");
}
