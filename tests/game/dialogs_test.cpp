// The dialog base (through the more-games dialog) and the options dialog, driven headless
// through the control factory.
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "game/MoreGamesDialog.h"
#include "game/Options.h"
#include "game/OptionsDialog.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IStringVO.h"
#include "tests/game/DialogFixture.h"

namespace {

using namespace Doduderor;
using ControlLibrary::VOPoint;
using dialogs_test::DialogLog;
using dialogs_test::DialogTest;

constexpr int kEscape = 27;
constexpr int kEnter = 13;

using BaseDialogTest = DialogTest;

TEST_F(BaseDialogTest, EscapeClosesEnterDoesNotAndTheOwnerHearsBoth) {
  DialogLog owner;
  MoreGamesDialog dialog(&owner);
  const std::string id = std::to_string(dialog.GetDialog()->GetId());
  EXPECT_FALSE(dialog.WantsKeys());  // hidden after construction
  dialog.Show(true);
  EXPECT_TRUE(dialog.WantsKeys());
  dialog.OnKeyUp(kEnter);
  EXPECT_TRUE(dialog.IsShown());
  dialog.OnKeyUp(kEscape);
  EXPECT_FALSE(dialog.IsShown());
  EXPECT_EQ(owner.log, (std::vector<std::string>{"show " + id, "hide " + id}));
}

TEST_F(BaseDialogTest, AnotherModalDialogAboveTakesTheKeys) {
  MoreGamesDialog below(nullptr);
  OptionsDialog above(nullptr);
  below.Show(true);
  above.Show(true);
  EXPECT_FALSE(below.WantsKeys());
  EXPECT_TRUE(above.WantsKeys());
  above.OnKeyUp(kEscape);
  EXPECT_TRUE(below.WantsKeys());
}

TEST_F(BaseDialogTest, CloseButtonClosesLinksAndPicturesDoNot) {
  MoreGamesDialog dialog(nullptr);
  dialog.Show(true);
  Click(dialog, dialog.GetLink(0));
  Click(dialog, dialog.GetPicture(1));
  EXPECT_TRUE(dialog.IsShown());
  Click(dialog, dialog.GetCloseButton());
  EXPECT_FALSE(dialog.IsShown());
}

TEST_F(BaseDialogTest, ShowingTwiceLaysOutAgainAndStaysShown) {
  MoreGamesDialog dialog(nullptr);
  dialog.Show(true);
  dialog.GetCloseButton()->SetPosition(0, 0);
  dialog.Show(true);
  EXPECT_TRUE(dialog.IsShown());
  EXPECT_EQ(dialog.GetCloseButton()->GetPosition(), (VOPoint{400, 565}));
  EXPECT_EQ(dialog.GetPicture(2)->GetPosition(), (VOPoint{222, 410}));
}

TEST_F(BaseDialogTest, ADialogDeletedWhileShownLeavesNoControlsOnTheScreen) {
  const int shownBefore = factory->ShownCount();
  auto first = std::make_unique<MoreGamesDialog>(nullptr);
  ControlLibrary::IButtonVO* close = first->GetCloseButton();
  first->Show(true);
  ASSERT_TRUE(close->IsVisible());
  first.reset();
  EXPECT_EQ(factory->ShownCount(), shownBefore);  // the dialog took its controls with it
  EXPECT_EQ(factory->ModalDepth(), 0);
  MoreGamesDialog second(nullptr);
  second.Show(true);  // raising it walks the shown objects
  EXPECT_TRUE(second.IsShown());
}

using OptionsDialogTest = DialogTest;

void StoreVolumeInOptionFile(std::uint16_t volume) {
  std::ofstream out("options.opt", std::ios::binary);
  const char bytes[6] = {static_cast<char>(volume >> 8), static_cast<char>(volume & 0xFF), 0, 40, 0, 3};
  out.write(bytes, sizeof bytes);
  out.close();
  LoadOptions();
}

TEST_F(OptionsDialogTest, VolumeStepsStopAtTheLimits) {
  enum Press { kPlus, kMinus };
  struct Case {
    std::uint16_t start;
    std::vector<Press> presses;
    std::uint16_t volume;
    bool plusEnabled;
    bool minusEnabled;
  };
  const Case cases[] = {
      {20, {kPlus}, 40, true, true},
      {20, {kMinus}, 0, true, false},
      {30, {kPlus}, 50, true, true},
      {30, {kMinus, kMinus}, 0, true, false},
      {90, {kPlus}, 100, false, true},
      {100, {}, 100, false, true},
      {250, {kPlus}, 100, false, true},  // read from the file as it was
      {65530, {kPlus}, 100, false, true},  // never wraps around past 65535
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    OptionsDialog dialog(nullptr);
    StoreVolumeInOptionFile(c.start);  // only the file can hold more than 100
    dialog.Show(true);
    for (Press p : c.presses) Click(dialog, p == kPlus ? dialog.GetPlusButton() : dialog.GetMinusButton());
    EXPECT_EQ(GetMusicVolumeOption(), c.volume);
    EXPECT_EQ(dialog.GetPlusButton()->IsEnabled(), c.plusEnabled);
    EXPECT_EQ(dialog.GetMinusButton()->IsEnabled(), c.minusEnabled);
    EXPECT_EQ(dialog.GetVolumeLabel()->GetText(), std::to_string(c.volume) + " %");
    Click(dialog, dialog.GetCloseButton());
    EXPECT_FALSE(dialog.IsShown());
  }
}

TEST_F(OptionsDialogTest, FullScreenToggleChangesOnlyTheStoredFlagAndItsLabel) {
  OptionsDialog dialog(nullptr);
  dialog.Show(true);
  EXPECT_EQ(dialog.GetFullScreenButton()->GetText(), "Full   Screen   (off)");
  Click(dialog, dialog.GetFullScreenButton());
  EXPECT_EQ(GetDisplayModeFlag(), 1);
  EXPECT_EQ(dialog.GetFullScreenButton()->GetText(), "Full   Screen   (on)");
  Click(dialog, dialog.GetFullScreenButton());
  EXPECT_EQ(GetDisplayModeFlag(), 0);
  EXPECT_EQ(dialog.GetFullScreenButton()->GetText(), "Full   Screen   (off)");
  EXPECT_EQ(dialog.GetCaption()->GetText(), "Music volume:");
}

TEST_F(OptionsDialogTest, ControlsArePlacedAroundTheCentre) {
  OptionsDialog dialog(nullptr);
  dialog.Show(true);
  const std::pair<ControlLibrary::IVisibleObject*, VOPoint> places[] = {
      {dialog.GetCaption(), {225, 100}},       {dialog.GetVolumeLabel(), {225, 160}},
      {dialog.GetMinusButton(), {145, 160}},   {dialog.GetPlusButton(), {305, 160}},
      {dialog.GetFullScreenButton(), {225, 260}}, {dialog.GetCloseButton(), {225, 365}},
  };
  for (const auto& [control, at] : places) EXPECT_EQ(control->GetPosition(), at);
}

}  // namespace
