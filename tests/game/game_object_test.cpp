// The game object without a window: screen switching with the blank button, the exit
// question around the puzzle clock, quitting, and the files written at shut-down.
#include <gtest/gtest.h>

#include <functional>

#include "game/ExitDialog.h"
#include "game/FieldMgr.h"
#include "game/GameImpl.h"
#include "game/GameMgr.h"
#include "game/LevelSelectDlg.h"
#include "game/ListVO.h"
#include "game/NumberMgr.h"
#include "game/OptionsDialog.h"
#include "game/Player.h"
#include "game/StartMgr.h"
#include "kernel/controls/BaseVOBridge.h"
#include "kernel/controls/IDialogVO.h"
#include "tests/game/GameSandbox.h"
#include "tests/game/ScreenFixture.h"
#include "tests/platform/FileFaults.h"

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
    StartGame();
  }
  ~GameObjectTest() override {
    if (game != nullptr) Finish();
  }
  void StartGame() {
    game = new GameImpl();
    game->SetSysApp(&sysApp);
    game->quitsOnCloseWhenHeadless = false;
    game->Init();
    game->Start();
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

// A game that shuts down gives back the field, the numbers column and its arrows with its
// other controls: keys sent afterwards reach no deleted manager, and a second game on a new
// factory (the kernel started again) builds its own rather than reaching the first one's.
TEST_F(GameObjectTest, ASecondGameOnANewFactoryBuildsItsOwnFieldAndNumbers) {
  game->OnModuleFinished(kStartModuleId);
  game->GetGameScreen()->StartLevel();
  Finish();
  PressKey(FieldMgr::kKeySpace);
  ControlLibrary::DestroyControlFactory();
  ControlLibrary::CreateControlFactory(app.get());
  factory = ControlLibrary::GetFactoryImpl();
  StartGame();
  game->OnModuleFinished(kStartModuleId);
  game->GetGameScreen()->StartLevel();

  auto registered = [&](ControlLibrary::IVisibleObject* vo) {
    return vo != nullptr && factory->FindVO(vo->GetId()) == dynamic_cast<ControlLibrary::IBridgeToVO*>(vo);
  };
  FieldMgr* field = FieldMgr::Instance();
  NumberMgr* numbers = NumberMgr::Instance();
  ASSERT_NE(field->GetGrid(), nullptr);
  ASSERT_FALSE(numbers->Items().empty());
  const std::initializer_list<ControlLibrary::IVisibleObject*> controls = {
      field->HelpButton(),        field->ClearButton(),          numbers->ModeButton(0),
      numbers->Items().front()->button, ListVO::Instance().upButton, ListVO::Instance().downButton,
      field->GetGrid()->columns.front().front()->GetPicture()};
  for (ControlLibrary::IVisibleObject* vo : controls) EXPECT_TRUE(registered(vo));
  EXPECT_TRUE(numbers->ModeButton(0)->IsVisible());
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

TEST_F(GameObjectTest, KeysAndClicksReachTheFieldOnlyWhileNoModalDialogIsShown) {
  game->OnModuleFinished(kStartModuleId);  // the level selection opens over the puzzle screen
  GameMgr* screen = game->GetGameScreen();
  ClickOn(screen->GetLevelSelectDialog()->GetPlayButton());
  FieldMgr* field = FieldMgr::Instance();
  ASSERT_TRUE(field->GetGrid() != nullptr);
  const std::vector<std::vector<CellVO*>>& columns = field->GetGrid()->columns;
  // A line selected by a click and filled with its number.
  ClickOn(columns.front().front()->GetPicture());
  const std::vector<CellVO*> line = field->GetSelection();
  ASSERT_FALSE(line.empty());
  auto fill = [&] {
    for (NumberItem* item : NumberMgr::Instance()->Items()) {
      if (item->inPlay && !item->used && item->button->GetText() == FieldMgr::LineSolution(line)) {
        NumberMgr::Instance()->OnMouseClick(item->button->GetId(), ControlLibrary::kMouseLeft);
        return;
      }
    }
  };
  fill();
  const std::string full = FieldMgr::LinePattern(line);
  ASSERT_EQ(full, FieldMgr::LineSolution(line));

  const struct {
    const char* name;
    std::function<void()> open;
    std::function<bool()> shown;
  } dialogs[] = {
      {"options", [&] { ClickOn(screen->GetOptionsButton()); }, [&] { return game->GetOptionsDialog()->IsShown(); }},
      {"exit question", [&] { ClickOn(screen->GetExitButton()); }, [&] { return QuestionShown(); }},
  };
  for (const auto& d : dialogs) {
    d.open();
    ASSERT_TRUE(d.shown()) << d.name;
    PressKey(32);  // space would clear the full line
    ClickOn(columns.back().back()->GetPicture());
    EXPECT_EQ(FieldMgr::LinePattern(line), full) << d.name;
    EXPECT_EQ(field->GetSelection(), line) << d.name;
    PressKey(27);
    EXPECT_FALSE(d.shown()) << d.name;
  }
  // With no dialog shown, space clears the line.
  PressKey(32);
  EXPECT_NE(FieldMgr::LinePattern(line), full);
  fill();
  ASSERT_EQ(FieldMgr::LinePattern(line), full);

  ClickOn(screen->GetMenuButton());
  ASSERT_TRUE(screen->GetLevelSelectDialog()->IsShown());
  PressKey(32);
  EXPECT_EQ(FieldMgr::LinePattern(line), full) << "level selection";
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

// Shut-down on a full disk ends cleanly, keeps the player file that was there byte for
// byte, creates no option files, and logs every file it could not save.
TEST_F(GameObjectTest, ShutDownOnAFullDiskKeepsTheOldFilesAndSaysSo) {
  const std::vector<unsigned char> max = game_test::ScratchFolder::Read("save/Max.usr");
  GetCurrentPlayer(GetPlayerList())->mapIndex = 7;
  {
    file_faults::Scoped fault(file_faults::DiskFull());
    testing::internal::CaptureStderr();
    Finish();
    const std::string log = testing::internal::GetCapturedStderr();
    for (const char* file : {"save/Max.usr", "options.opt", "resolution.opt"})
      EXPECT_NE(log.find(std::string("Could not save ") + file + ": No space left on device"), std::string::npos)
          << log;
  }
  EXPECT_EQ(game_test::ScratchFolder::Read("save/Max.usr"), max);
  EXPECT_FALSE(fs::exists("options.opt"));
  EXPECT_FALSE(fs::exists("resolution.opt"));
  EXPECT_TRUE(GetPlayerList()->empty());
}

}  // namespace
