// The puzzle screen without a window: the tutorial or the level selection on showing, the
// clock of a level through restarts and pauses, and the two ways the tutorial ends.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "game/FinishDlg.h"
#include "game/GameMgr.h"
#include "game/HelpDlg.h"
#include "game/LevelSelectDlg.h"
#include "game/MapList.h"
#include "game/Player.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/kernel/ScreenOptions.h"
#include "tests/game/GameSandbox.h"
#include "tests/game/ScreenFixture.h"

using namespace Doduderor;

namespace {

class ModuleLog : public GameModuleObserver {
 public:
  void OnModuleFinished(std::uint32_t id) override { finished.push_back(id); }
  void OnExitRequest() override { ++exits; }
  void OnOptionsRequest() override { ++options; }
  std::vector<std::uint32_t> finished;
  int exits = 0;
  int options = 0;
};

class GameScreenTest : public game_test::ScreenTest {
 protected:
  GameScreenTest() {
    FreePlayerList();
    UseScratchGameFolder();
    player = new Player();
    player->name = "Pat";
    player->current = 1;
    AddPlayer(GetPlayerList(), player);
    screen = new GameMgr(&log, kGameModuleId);
    screen->Init();
  }
  ~GameScreenTest() override {
    screen->Hide();
    screen->Release();
    delete screen;
    FreePlayerList();
  }
  static bool Shown(BaseDialog* dialog) { return dialog->GetDialog()->IsVisible(); }
  // One second of the timing thread.
  static void OneSecond() { Tick(200); }

  ModuleLog log;
  Player* player = nullptr;
  GameMgr* screen = nullptr;
};

TEST_F(GameScreenTest, ATutorialPlayerGetsTheTutorialMapAndOthersTheLevelSelection) {
  const int tutorial = MapList::Instance().TutorialIndex();
  ASSERT_GE(tutorial, 0);
  player->tutorialPending = 1;
  screen->Show();
  EXPECT_EQ(player->mapIndex, tutorial);
  EXPECT_TRUE(screen->IsTutorialShown());
  EXPECT_FALSE(Shown(screen->GetLevelSelectDialog()));
  EXPECT_TRUE(screen->GetClockTimer()->IsRunning());
  // The tutorial window locks the menu and restart buttons, not the exit button.
  EXPECT_FALSE(screen->GetMenuButton()->IsEnabled());
  EXPECT_TRUE(screen->GetExitButton()->IsEnabled());
  screen->Hide();

  player->tutorialPending = 0;
  player->mapIndex = 2;
  screen->Show();
  EXPECT_EQ(player->mapIndex, 2);
  EXPECT_TRUE(Shown(screen->GetLevelSelectDialog()));
}

TEST_F(GameScreenTest, TheClockCountsSecondsRestartsAtZeroAndPauses) {
  player->tutorialPending = 0;
  player->mapIndex = 0;
  screen->Show();
  screen->GetLevelSelectDialog()->Show(false);  // the chosen map starts
  OneSecond();
  OneSecond();
  EXPECT_EQ(screen->GetSeconds(), 2);
  screen->SetPaused(true);
  OneSecond();
  EXPECT_EQ(screen->GetSeconds(), 2);
  screen->SetPaused(false);
  OneSecond();
  EXPECT_EQ(screen->GetSeconds(), 3);
  ClickOn(screen->GetRestartButton());
  EXPECT_EQ(screen->GetSeconds(), 0);
  OneSecond();
  EXPECT_EQ(screen->GetSeconds(), 1);
}

TEST_F(GameScreenTest, WindFollowsAfterThirtySecondsThenEverySixtyToNinety) {
  player->tutorialPending = 0;
  screen->Show();
  screen->GetLevelSelectDialog()->Show(false);
  TimeLibrary::ITimeObject* ambient = screen->GetAmbientTimer();
  EXPECT_EQ(ambient->GetPeriod(), 30000);
  Tick(30000 / 5);
  for (int round = 0; round < 3; ++round) {
    const int period = ambient->GetPeriod();
    EXPECT_GE(period, 60000);
    EXPECT_LT(period, 90000);
    Tick(period / 5);
  }
}

TEST_F(GameScreenTest, FinishDialogAnswersRestartOrLeaveTheFinishedField) {
  player->tutorialPending = 0;
  screen->Show();
  screen->GetLevelSelectDialog()->Show(false);
  OneSecond();
  screen->OnLevelComplete();
  FinishDlg* finish = screen->GetFinishDialog();
  ASSERT_TRUE(Shown(finish));
  EXPECT_EQ(finish->mode, 1u);
  EXPECT_FALSE(screen->GetClockTimer()->IsRunning());  // the time stops at completion

  finish->restartChosen = 0;
  finish->newLevelChosen = 0;
  finish->Show(false);  // "Close": the field stays, the menu and restart buttons work
  EXPECT_FALSE(Shown(screen->GetLevelSelectDialog()));
  EXPECT_TRUE(screen->GetMenuButton()->IsEnabled());
  EXPECT_TRUE(screen->GetRestartButton()->IsEnabled());

  screen->OnLevelComplete();
  finish->restartChosen = 1;
  finish->Show(false);  // "Restart": the clock runs again from 0
  EXPECT_TRUE(screen->GetClockTimer()->IsRunning());
  EXPECT_EQ(screen->GetSeconds(), 0);

  screen->OnLevelComplete();
  finish->restartChosen = 0;
  finish->newLevelChosen = 1;
  finish->Show(false);  // "New level": the level selection
  EXPECT_TRUE(Shown(screen->GetLevelSelectDialog()));
}

TEST_F(GameScreenTest, ButtonsReachTheGameObject) {
  player->tutorialPending = 0;
  screen->Show();
  screen->GetLevelSelectDialog()->Show(false);
  ClickOn(screen->GetExitButton());
  ClickOn(screen->GetOptionsButton());
  EXPECT_EQ(log.exits, 1);
  EXPECT_EQ(log.options, 1);
  ClickOn(screen->GetMenuButton());
  EXPECT_TRUE(Shown(screen->GetLevelSelectDialog()));
}

TEST_F(GameScreenTest, TheLayoutStandsAtTheSamePointsOnBothScreenSizes) {
  // The field, the column and the level dialogs stand at fixed points, so the picture behind
  // them lies from the top-left corner on both sizes and covers the larger one.
  for (std::uint8_t resolution : {1, 0}) {
    const std::filesystem::path folder = sandbox.root / ("size" + std::to_string(resolution));
    std::filesystem::create_directories(folder);
    game_test::ScratchFolder::Write((folder / "resolution.opt").string(), {0, resolution, 0});
    KernelLibrary::LoadResolution(folder.string() + "/");
    screen->PlaceControls();
    EXPECT_EQ(screen->GetBackground()->GetScreenRect(), (ControlLibrary::VORect{0, 0, 1280, 800}));
    const ControlLibrary::VORect restart = screen->GetRestartButton()->GetScreenRect();
    EXPECT_EQ(restart.x + restart.width / 2, 450);
    EXPECT_EQ(restart.y, 10);
  }
}

TEST_F(GameScreenTest, ClosingTheTutorialWindowEndsTheTutorialLikeFillingTheField) {
  for (bool closeWindow : {true, false}) {
    player->tutorialPending = 1;
    screen->Show();
    ASSERT_TRUE(screen->IsTutorialShown());
    if (closeWindow) {
      screen->GetHelpDialog()->Show(false);
    } else {
      screen->OnLevelComplete();
    }
    EXPECT_FALSE(screen->IsTutorialShown()) << closeWindow;
    EXPECT_EQ(player->tutorialPending, 0) << closeWindow;
    EXPECT_EQ(player->mapIndex, kNoMapIndex) << closeWindow;
    EXPECT_TRUE(Shown(screen->GetFinishDialog())) << closeWindow;
    EXPECT_EQ(screen->GetFinishDialog()->mode, 0u) << closeWindow;
    // The level's wind and background music end with it, also before the music has begun.
    EXPECT_FALSE(screen->GetAmbientTimer()->IsRunning()) << closeWindow;
    EXPECT_FALSE(screen->GetMusicDelayTimer()->IsRunning()) << closeWindow;
    // Saved: the player's file holds the cleared flag and map 999.
    EXPECT_EQ(game_test::ScratchFolder::Read("save/Pat.usr"),
              (std::vector<unsigned char>{1, 'P', 'a', 't', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x03, 0xE7, 0}))
        << closeWindow;
    // Closing the finish dialog after the tutorial opens the level selection.
    screen->GetFinishDialog()->Show(false);
    EXPECT_TRUE(Shown(screen->GetLevelSelectDialog())) << closeWindow;
    screen->GetLevelSelectDialog()->Show(false);
    screen->Hide();
    std::filesystem::remove("save/Pat.usr");
  }
}

}  // namespace
