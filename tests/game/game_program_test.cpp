// The whole game, headless, as the program runs it: the kernel starts the game object, the
// start screen greets the stored player, a click on Play posted to the main window's queue
// opens the puzzle screen (read back from the primary surface), the exit button asks the
// exit question, "Yes" ends the run, and the option and player files are written.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "game/ExitDialog.h"
#include "game/GameImpl.h"
#include "game/GameMgr.h"
#include "game/StartMgr.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/kernel/Kernel.h"
#include "kernel/kernel/MainApp.h"
#include "kernel/time/ITimeSystem.h"
#include "platform/Messages.h"
#include "tests/framework/core/AppSandbox.h"
#include "tests/game/GameSandbox.h"

namespace fs = std::filesystem;
using namespace Doduderor;

namespace {

// Points on the screen that the puzzle screen draws differently from the start screen:
// the exit and menu buttons at the top, and the background beside the field.
constexpr std::array<std::array<int, 2>, 3> kProbePoints = {{{910, 25}, {590, 25}, {40, 700}}};

using Frame = std::vector<std::uint32_t>;

Frame SampleScreen() {
  Frame out;
  KernelLibrary::MainApp* app = KernelLibrary::GetMainApp();
  Orvo::DDImage* screen = app->mDDInterface != nullptr ? app->mDDInterface->GetScreenImage() : nullptr;
  if (screen == nullptr || screen->GetBits() == nullptr) return out;
  for (const auto& p : kProbePoints) out.push_back(screen->GetBits()[p[1] * screen->GetWidth() + p[0]] & 0xFFFFFF);
  return out;
}

void PostClick(ControlLibrary::IVisibleObject* vo) {
  const ControlLibrary::VORect r = vo->GetScreenRect();
  const plat::LPARAM at = plat::MAKELPARAM(r.x + r.width / 2, r.y + r.height / 2);
  plat::HWND window = KernelLibrary::GetMainApp()->mHWnd;
  plat::PostMessageA(window, plat::WM_MOUSEMOVE, 0, at);
  plat::PostMessageA(window, plat::WM_LBUTTONDOWN, plat::MK_LBUTTON, at);
  plat::PostMessageA(window, plat::WM_LBUTTONUP, 0, at);
}

// The real game object, with a test's hands on the mouse: each step posts the next click
// when the game reports the previous one.
class DrivenGame : public GameImpl, public TimeLibrary::TimeObjectMessageObserver {
 public:
  void Start() override {
    GameImpl::Start();
    startShown = GetStartScreen()->IsActive() && GetStartScreen()->GetNameText()->GetText() == "Tess!";
    PostClick(GetStartScreen()->GetPlayButton());
  }
  void OnModuleFinished(std::uint32_t id) override {
    if (id == kStartModuleId) startFrame = SampleScreen();  // the last frame of the start screen
    GameImpl::OnModuleFinished(id);
    if (id == kStartModuleId) {
      puzzleShown = GetGameScreen()->IsActive();
      // Let a few frames of the puzzle screen reach the display, then press its exit button.
      settleTimer = TimeLibrary::GetTimeSystem()->CreateTimeObject(this, 400, 400);
      settleTimer->Start(false, 0);
    }
  }
  void OnTimerFinished(std::uint32_t) override { exitClickPosted = true; PostClick(GetGameScreen()->GetExitButton()); }
  void OnDialogShowHide(std::uint32_t id, bool visible) override {
    if (visible && id == GetExitDialog()->GetDialog()->GetId()) {
      puzzleFrame = SampleScreen();  // drawn before the question appears
      clockPausedDuringQuestion = GetGameScreen()->GetClockTimer()->IsPaused();
      PostClick(GetExitDialog()->GetYesButton());
    }
    GameImpl::OnDialogShowHide(id, visible);
  }

  bool startShown = false;
  bool puzzleShown = false;
  bool exitClickPosted = false;
  bool clockPausedDuringQuestion = false;
  Frame startFrame;
  Frame puzzleFrame;
  TimeLibrary::ITimeObject* settleTimer = nullptr;
};

TEST(GameProgram, PlayThenExitThroughTheQuestionSavesOptionsAndPlayers) {
  AppSandbox sandbox;
  // A private copy of the run folder: the game writes its files next to its data.
  const fs::path folder = sandbox.root / "game";
  fs::create_directories(folder / "save");
  for (const char* name : {"data.pak", "main.pak"}) fs::copy_file(fs::path(QUORVANE_RUN_DIR) / name, folder / name);
  // One stored player whose tutorial is due: the puzzle screen opens on the tutorial level.
  game_test::ScratchFolder::Write((folder / "save" / "Tess.usr").string(),
                                  {1, 'T', 'e', 's', 's', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
  plat::SetCommandLineArgs({"/opt/q/quorvane", "-changedir=" + folder.string()});

  DrivenGame game;
  game.quitsOnCloseWhenHeadless = false;
  ASSERT_TRUE(KernelLibrary::KernelStart(nullptr, &game));
  EXPECT_EQ(KernelLibrary::GetMainApp()->mTitle, "Quorvane");
  EXPECT_TRUE(game.startShown);
  EXPECT_TRUE(game.puzzleShown);
  EXPECT_TRUE(game.exitClickPosted);
  EXPECT_TRUE(game.clockPausedDuringQuestion);
  ASSERT_EQ(game.startFrame.size(), kProbePoints.size());
  ASSERT_EQ(game.puzzleFrame.size(), kProbePoints.size());
  for (std::size_t i = 0; i < kProbePoints.size(); ++i) {
    EXPECT_NE(game.startFrame[i], game.puzzleFrame[i])
        << "point " << kProbePoints[i][0] << "," << kProbePoints[i][1] << " shows the same colour "
        << std::hex << game.puzzleFrame[i];
  }
  KernelLibrary::KernelStop();

  EXPECT_EQ(game_test::ScratchFolder::Read((folder / "options.opt").string()),
            (std::vector<unsigned char>{0x00, 0x14, 0x00, 0x28, 0x00, 0x03}));
  EXPECT_EQ(game_test::ScratchFolder::Read((folder / "resolution.opt").string()),
            (std::vector<unsigned char>{0x00, 0x00, 0x00}));
  // The tutorial map (the last of the 26) became the player's map; the tutorial is still due.
  EXPECT_EQ(game_test::ScratchFolder::Read((folder / "save" / "Tess.usr").string()),
            (std::vector<unsigned char>{1, 'T', 'e', 's', 's', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 25, 1}));
}

// A game that only starts and is closed at once, headless: what it loaded and saved is
// what a test looks at.
class StartAndCloseGame : public GameImpl {
 public:
  void Start() override {
    GameImpl::Start();
    greeting = GetStartScreen()->GetNameText()->GetText();
    plat::PostMessageA(KernelLibrary::GetMainApp()->mHWnd, plat::WM_CLOSE, 0, 0);
  }
  std::string greeting;
};

// Broken player and option files and scratch files left by a killed save: the game starts
// with the good player, ends normally, and every player file it could not read is still
// there as it was.
TEST(GameProgram, BrokenAndLeftoverSaveFilesNeitherStopTheGameNorGetLost) {
  AppSandbox sandbox;
  const fs::path folder = sandbox.root / "game";
  fs::create_directories(folder / "save");
  for (const char* name : {"data.pak", "main.pak"}) fs::copy_file(fs::path(QUORVANE_RUN_DIR) / name, folder / name);
  const std::vector<unsigned char> tess{1, 'T', 'e', 's', 's', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0};
  const std::vector<unsigned char> garbage{0x00, 0x00, 0xFF, 0x13, 0x80};
  const auto write = [&](const char* name, const std::vector<unsigned char>& bytes) {
    game_test::ScratchFolder::Write((folder / name).string(), bytes);
  };
  write("save/Tess.usr", tess);
  write("save/Empty.usr", {});
  write("save/Garbage.usr", garbage);
  write("save/Tess.usr.tmp", {1, 'T'});
  write("save/Newbie.usr.tmp", {});
  write("options.opt", {0x00, 0x3C});  // cut short: the rest keeps its defaults
  write("options.opt.tmp", {0xFF});
  write("resolution.opt", {});
  plat::SetCommandLineArgs({"/opt/q/quorvane", "-changedir=" + folder.string()});

  StartAndCloseGame game;
  ASSERT_TRUE(KernelLibrary::KernelStart(nullptr, &game));
  EXPECT_EQ(game.greeting, "Tess!");
  KernelLibrary::KernelStop();

  const auto read = [&](const char* name) { return game_test::ScratchFolder::Read((folder / name).string()); };
  EXPECT_EQ(read("save/Tess.usr"), tess);
  EXPECT_TRUE(read("save/Empty.usr").empty());
  EXPECT_TRUE(fs::exists(folder / "save" / "Empty.usr"));
  EXPECT_EQ(read("save/Garbage.usr"), garbage);
  EXPECT_EQ(read("options.opt"), (std::vector<unsigned char>{0x00, 0x3C, 0x00, 0x28, 0x00, 0x03}));
  EXPECT_EQ(read("resolution.opt"), (std::vector<unsigned char>{0x00, 0x00, 0x00}));
  for (const char* name : {"save/Tess.usr.tmp", "save/Newbie.usr.tmp", "options.opt.tmp"})
    EXPECT_FALSE(fs::exists(folder / name)) << name;
}

}  // namespace
