// The whole game played through: the program runs headless and every shipped level and the
// tutorial are solved by clicks and keys posted to the window's queue, each reaching its
// finish dialog. This proves that every map can be solved with the numbers the game deals.
#include <gtest/gtest.h>

#include <algorithm>

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
