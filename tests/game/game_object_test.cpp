// The game object without a window: screen switching with the blank button, the exit
// question around the puzzle clock, quitting, and the files written at shut-down.
#include <gtest/gtest.h>

#include "game/ExitDialog.h"
#include "game/GameImpl.h"
#include "game/GameMgr.h"
#include "game/Player.h"
#include "game/StartMgr.h"
#include "kernel/controls/IDialogVO.h"
#include "tests/game/GameSandbox.h"
#include "tests/game/ScreenFixture.h"

using namespace Doduderor;
namespace fs = std::filesystem;

namespace {

class CountingSysApp : public KernelLibrary::ISysApp {
 public:
  std::pair<int, int> GetSize() override { return {1024, 768}; }
  void SetSize(int, int) override {}
  bool SetWindowed(bool fullScreen) override { return !fullScreen; }
  std::intptr_t Quit() override {
    ++quits;
    return 0;
  }
  bool RegistryRead(const std::string&, std::uint32_t*, void*, std::uint32_t*, plat::HKEY) override { return false; }
  bool RegistryWrite(const std::string&, std::uint32_t, const void*, std::uint32_t) override { return false; }
  int quits = 0;
};

class GameObjectTest : public game_test::ScreenTest {
 protected:
  GameObjectTest() {
    FreePlayerList();
    // The game's folder: a scratch one with the data archive and a stored player.
    folder = UseScratchGameFolder();
    game_test::ScratchFolder::Write((folder / "save" / "Max.usr").string(),
                                    {1, 'M', 'a', 'x', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0});
    game = new GameImpl();
    game->SetSysApp(&sysApp);
    game->quitsOnCloseWhenHeadless = false;
    game->Init();
    game->Start();
  }
  ~GameObjectTest() override {
    if (game != nullptr) Finish();
  }
  void Finish() {
    game->Stop();
    game->Shutdown();
    delete game;
    game = nullptr;
  }
  bool QuestionShown() { return game->GetExitDialog()->GetDialog()->IsVisible(); }
  bool ClockPaused() { return game->GetGameScreen()->GetClockTimer()->IsPaused(); }

  fs::path folder;
  CountingSysApp sysApp;
  GameImpl* game = nullptr;
};

TEST_F(GameObjectTest, ScreensAlternateAndTheBlankButtonFollowsTheStartScreen) {
  EXPECT_TRUE(game->GetStartScreen()->IsActive());
  EXPECT_TRUE(game->GetBlankButton()->IsVisible());
  game->OnModuleFinished(kStartModuleId);
  EXPECT_FALSE(game->GetStartScreen()->IsActive());
  EXPECT_TRUE(game->GetGameScreen()->IsActive());
  EXPECT_FALSE(game->GetBlankButton()->IsVisible());
  game->OnModuleFinished(2);  // no such screen
  EXPECT_TRUE(game->GetGameScreen()->IsActive());
  game->OnModuleFinished(kGameModuleId);
  EXPECT_TRUE(game->GetStartScreen()->IsActive());
  EXPECT_FALSE(game->GetGameScreen()->IsActive());
  EXPECT_TRUE(game->GetBlankButton()->IsVisible());
}

TEST_F(GameObjectTest, TheExitQuestionPausesTheClockAndNoResumesIt) {
  game->OnModuleFinished(kStartModuleId);
  game->GetGameScreen()->StartLevel();
  game->OnCloseRequest();
  EXPECT_TRUE(QuestionShown());
  EXPECT_TRUE(ClockPaused());
  game->OnCloseRequest();  // asked again while open: nothing changes
  EXPECT_TRUE(QuestionShown());
  PressKey(27);
  EXPECT_FALSE(QuestionShown());
  EXPECT_FALSE(ClockPaused());
  EXPECT_EQ(sysApp.quits, 0);

  game->OnExitRequest();  // the puzzle screen's exit button asks the same question
  EXPECT_TRUE(QuestionShown());
  ClickOn(game->GetExitDialog()->GetNoButton());
  EXPECT_FALSE(ClockPaused());
  EXPECT_EQ(sysApp.quits, 0);

  game->OnCloseRequest();
  PressKey(13);
  EXPECT_EQ(sysApp.quits, 1);
}

TEST_F(GameObjectTest, HeadlessACloseRequestQuitsWithoutAsking) {
  game->quitsOnCloseWhenHeadless = true;
  game->OnCloseRequest();
  EXPECT_FALSE(QuestionShown());
  EXPECT_EQ(sysApp.quits, 1);
}

TEST_F(GameObjectTest, ShutDownWritesTheOptionAndPlayerFiles) {
  ASSERT_EQ(GetPlayerList()->size(), 1u);
  GetCurrentPlayer(GetPlayerList())->mapIndex = 7;
  Finish();
  EXPECT_EQ(game_test::ScratchFolder::Read("options.opt"),
            (std::vector<unsigned char>{0x00, 0x14, 0x00, 0x28, 0x00, 0x03}));
  EXPECT_EQ(game_test::ScratchFolder::Read("resolution.opt").size(), 3u);
  EXPECT_EQ(game_test::ScratchFolder::Read("save/Max.usr"),
            (std::vector<unsigned char>{1, 'M', 'a', 'x', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 0}));
  EXPECT_TRUE(GetPlayerList()->empty());  // the list was freed and made anew
}

}  // namespace
