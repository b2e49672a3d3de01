// One level played through headless with every thread of the program at work: the timing
// thread with the game's clock, the digits' flights and the caret, the audio thread with
// the click sounds, and the main thread drawing and dispatching the clicks. Built with
// ThreadSanitizer (scripts/test runs it so), any race between them fails this test.
#include <gtest/gtest.h>

#include "tests/framework/core/AppSandbox.h"
#include "tests/game/GameDriver.h"

using namespace Doduderor;

namespace {

class OneLevelGame : public game_test::DrivenGame {
 public:
  bool finished = false;

 protected:
  void Act() override {
    if (GetStartScreen()->IsActive()) {
      PostClick(GetStartScreen()->GetPlayButton());
    } else if (GetGameScreen()->GetFinishDialog()->IsShown()) {
      finished = FieldMgr::Instance()->GetGrid()->IsComplete();
      Stop();
    } else if (!PlayLevelMove()) {
      Fail("the level is full without a finish dialog");
    }
  }
};

TEST(GameThreads, ALevelIsPlayedWithTimersEffectsAndSoundsRunning) {
  AppSandbox sandbox;
  const auto folder = game_test::MakeGameFolder(sandbox.root, 0);
  plat::SetCommandLineArgs({"/opt/q/quorvane", "-changedir=" + folder.string()});

  OneLevelGame game;
  ASSERT_TRUE(KernelLibrary::KernelStart(nullptr, &game));
  KernelLibrary::KernelStop();

  EXPECT_EQ(game.problems, std::vector<std::string>{});
  EXPECT_TRUE(game.finished);
}

}  // namespace
