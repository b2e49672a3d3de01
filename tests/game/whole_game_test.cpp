// The whole game played through: the program runs headless and every shipped level and the
// tutorial are solved by clicks and keys posted to the window's queue, each reaching its
// finish dialog. This proves that every map can be solved with the numbers the game deals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "game/MoreGamesDialog.h"
#include "game/NewPlayerDialog.h"
#include "game/ErrorDialog.h"
#include "game/ProfilesDialog.h"

#include "kernel/kernel/ScreenOptions.h"
#include "tests/framework/core/AppSandbox.h"
#include "tests/game/GameDriver.h"

using namespace Doduderor;

namespace {

class SolvingGame : public game_test::DrivenGame {
 public:
  // Map indices in the order their finish dialogs appeared.
  std::vector<std::uint16_t> solved;

 protected:
  void Act() override {
    GameMgr* screen = GetGameScreen();
    if (GetStartScreen()->IsActive()) {
      PostClick(GetStartScreen()->GetPlayButton());
    } else if (FinishDlg* finish = screen->GetFinishDialog(); finish->IsShown()) {
      FieldMgr* field = FieldMgr::Instance();
      if (!field->GetGrid()->IsComplete()) Fail("finish dialog over an unfinished field");
      solved.push_back(field->GetMapIndex());
      PostClick(finish->mode == FinishDlg::kModeTutorialEnded ? finish->GetCloseButton() : finish->GetNewLevelButton());
    } else if (screen->GetLevelSelectDialog()->IsShown()) {
      MapList& maps = MapList::Instance();
      for (std::uint16_t i = 0; i < maps.Count(); ++i) {
        if (maps.At(i).kind == "h" || std::find(solved.begin(), solved.end(), i) != solved.end()) continue;
        ChooseLevel(i);
        return;
      }
      Stop();
    } else if (!PlayLevelMove()) {
      Fail("map " + std::to_string(FieldMgr::Instance()->GetMapIndex()) + " is full without a finish dialog");
    }
  }
};

TEST(WholeGame, EveryLevelAndTheTutorialAreSolvedThroughThePlayersInput) {
  AppSandbox sandbox;
  const auto folder = game_test::MakeGameFolder(sandbox.root, 0);
  plat::SetCommandLineArgs({"/opt/q/quorvane", "-changedir=" + folder.string()});

  SolvingGame game;
  ASSERT_TRUE(KernelLibrary::KernelStart(nullptr, &game));
  KernelLibrary::KernelStop();

  EXPECT_EQ(game.problems, std::vector<std::string>{});
  MapList& maps = MapList::Instance();
  ASSERT_EQ(maps.Count(), 26u);
  // The tutorial (the last map) first, then every level in the order of the list.
  std::vector<std::uint16_t> expected = {25};
  for (std::uint16_t i = 0; i < 25; ++i) expected.push_back(i);
  EXPECT_EQ(game.solved, expected);
}

}  // namespace

namespace {

// A walk past every screen and dialog of the game on a real display, with a screenshot of
// each (run by scripts/xvfb-game-screens under Xvfb; skipped elsewhere). The screen size
// comes from QUORVANE_SCREEN_SIZE (0: 1024 x 768, 1: 1280 x 800).
class TouringGame : public game_test::DrivenGame {
 public:
  explicit TouringGame(std::string shot) : screenshot(std::move(shot)) {}

 protected:
  void Act() override {
    if (!pendingShot.empty()) {
      const std::string command = screenshot + " " + pendingShot;
      if (std::system(command.c_str()) != 0) problems.push_back("screenshot failed: " + command);
      pendingShot.clear();
    }
    StartMgr* start = GetStartScreen();
    GameMgr* screen = GetGameScreen();
    ProfilesDialog* profiles = start->GetProfilesDialog();
    NewPlayerDialog* newPlayer = profiles->GetNewPlayerDialog();
    switch (phase) {
      case 0: Shoot("01-start"); break;
      case 1: PostClick(start->GetPlayerButton()); Shoot("02-profiles"); break;
      case 2: PostClick(profiles->GetNewButton()); Shoot("03-new-player"); break;
      case 3:
        for (char c : std::string("Tess")) plat::PostMessageA(Window(), plat::WM_CHAR, static_cast<plat::WPARAM>(c), 0);
        PostKey(13);
        Shoot("04-error");
        break;
      case 4: PostClick(newPlayer->GetErrorDialog()->GetOkButton()); Next(); break;
      case 5: PostClick(newPlayer->GetCancelButton()); Next(); break;
      case 6: PostClick(profiles->GetCloseButton()); Next(); break;
      case 7: PostClick(start->GetMoreGamesButton()); Shoot("05-more-games"); break;
      case 8: PostClick(start->GetMoreGamesDialog()->GetCloseButton()); Next(); break;
      case 9: PostMove(start->GetPlayButton()->GetScreenRect().x + 200, start->GetPlayButton()->GetScreenRect().y + 20); Shoot("06-start-hover-play"); break;
      case 10: PostClick(start->GetPlayButton()); Shoot("07-tutorial"); break;
      case 11:
        // The tutorial is played to its end.
        if (screen->GetFinishDialog()->IsShown()) {
          Shoot("08-tutorial-end");
        } else if (!PlayLevelMove()) {
          Fail("the tutorial is full without its end");
        }
        break;
      case 12: PostClick(screen->GetFinishDialog()->GetCloseButton()); Shoot("09-level-select"); break;
      case 13: PostClick(screen->GetLevelSelectDialog()->GetTab(0)); Next(); break;
      case 14: {
        // The list holds every level now, so its down arrow is enabled: hovered, it lights up.
        const ControlLibrary::VORect r = ListVOlevels::Instance().GetDownButton()->GetScreenRect();
        PostMove(r.x + r.width / 2, r.y + r.height / 2);
        Shoot("10-level-select-hover-down");
        break;
      }
      case 15:
        if (screen->GetLevelSelectDialog()->IsShown()) {
          ChooseLevel(kTourMap);
        } else {
          Next();
        }
        break;
      case 16:
        // A few lines in, then one more number whose digits are caught in flight.
        if (++movesInLevel < 24) {
          PlayLevelMove();
        } else if (FieldMgr::Instance()->GetSelection().empty() ||
                   FieldMgr::LinePattern(FieldMgr::Instance()->GetSelection()).find(' ') == std::string::npos) {
          PlayLevelMove();
        } else {
          PlayLevelMove();
          pendingShot = "11-level-digits-flying";
          ++phase;
          SyncLater(90);
        }
        break;
      case 17: Shoot("12-level"); break;
      case 18: PostClick(FieldMgr::Instance()->HelpButton()); Shoot("13-level-after-help"); break;
      case 19: PostClick(screen->GetOptionsButton()); Shoot("14-options"); break;
      case 20: PostKey(27); Next(); break;
      case 21: PostClick(screen->GetExitButton()); Shoot("15-exit-question"); break;
      case 22: PostKey(27); Next(); break;
      case 23:
        if (screen->GetFinishDialog()->IsShown()) {
          Shoot("16-finish");
        } else if (!PlayLevelMove()) {
          Fail("the level is full without its finish dialog");
        }
        break;
      default: Stop(); break;
    }
  }

 private:
  static constexpr std::uint16_t kTourMap = 20;
  void Next() { ++phase; }
  // The next move waits until a few frames have reached the display, then takes the shot.
  void Shoot(const std::string& name) {
    pendingShot = name;
    ++phase;
    SyncLater(700);
  }

  std::string screenshot;
  std::string pendingShot;
  int phase = 0;
  int movesInLevel = 0;
};

TEST(WholeGame, ScreensAndDialogsOnARealDisplay) {
  const char* shot = std::getenv("QUORVANE_SCREENSHOT");
  if (shot == nullptr) GTEST_SKIP() << "run by scripts/xvfb-game-screens";
  const char* size = std::getenv("QUORVANE_SCREEN_SIZE");
  AppSandbox sandbox;
  const auto folder = game_test::MakeGameFolder(sandbox.root, size != nullptr && size[0] == '1' ? 1 : 0);
  plat::SetCommandLineArgs({"/opt/q/quorvane", "-changedir=" + folder.string()});

  // The size is read before the command line moves the program's folder: read it here.
  KernelLibrary::LoadResolution(folder.string() + "/");

  TouringGame game(shot);
  ASSERT_TRUE(KernelLibrary::KernelStart(nullptr, &game));
  KernelLibrary::KernelStop();
  EXPECT_EQ(game.problems, std::vector<std::string>{});
}

}  // namespace
