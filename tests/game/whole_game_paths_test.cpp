// Paths through the whole game that a player takes without solving levels, played through
// the window's queue as the other whole-game tests do: the tutorial left with "Skip", and a
// player file holding a map index past the map list.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "kernel/controls/IDialogVO.h"
#include "platform/AudioMixer.h"
#include "tests/framework/core/AppSandbox.h"
#include "tests/game/GameDriver.h"

using namespace Doduderor;

namespace {

// The share of the next `frames` frames of the program's mixed sound that are not silent. The
// mixer's device is taken away first, so the sound moves on only as fast as it is read here.
double NonSilentShare(int frames) {
  plat::AudioMixer& mixer = plat::AudioMixer::Get();
  mixer.SetManualPull(true);
  std::vector<std::int16_t> out(static_cast<std::size_t>(frames) * 2);
  mixer.Mix(out.data(), frames);
  int sounding = 0;
  for (int i = 0; i < frames; ++i) {
    if (out[2 * i] != 0 || out[2 * i + 1] != 0) ++sounding;
  }
  return static_cast<double>(sounding) / frames;
}

constexpr int kOneSecond = plat::AudioMixer::kOutputRate;

// Plays the tutorial until its background music has begun, leaves it with "Skip", closes the
// finish dialog and goes back to the start screen with "Profiles", listening on the way.
class SkippingGame : public game_test::DrivenGame {
 public:
  double musicInTutorial = 0.0;
  double soundOnStartScreen = 1.0;

 protected:
  void Act() override {
    GameMgr* screen = GetGameScreen();
    switch (phase) {
      case 0:
        if (GetStartScreen()->IsActive()) {
          PostClick(GetStartScreen()->GetPlayButton());
          ++phase;
        }
        break;
      case 1:
        // The music follows 1.5 seconds after the level start.
        if (!screen->GetHelpDialog()->IsShown() || !screen->GetBackSound()->IsPlaying()) {
          SyncLater(100);
          return;
        }
        musicInTutorial = NonSilentShare(kOneSecond);
        PostClick(screen->GetHelpDialog()->GetSkipButton());
        ++phase;
        break;
      case 2:
        if (!screen->GetFinishDialog()->IsShown()) break;
        ExpectQuiet("under the finish dialog");
        PostClick(screen->GetFinishDialog()->GetCloseButton());
        ++phase;
        break;
      case 3:
        if (!screen->GetLevelSelectDialog()->IsShown()) break;
        ExpectQuiet("under the level selection");
        PostClick(screen->GetLevelSelectDialog()->GetProfilesButton());
        ++phase;
        break;
      case 4:
        if (!GetStartScreen()->IsActive()) break;
        ExpectQuiet("on the start screen");
        // The sound is read at its own pace from the tutorial on: five seconds let the
        // fanfare of the finish dialog (2.2 s) and the clicks die away.
        NonSilentShare(5 * kOneSecond);
        soundOnStartScreen = NonSilentShare(kOneSecond);
        Stop();
        break;
    }
  }

 private:
  void ExpectQuiet(const std::string& where) {
    GameMgr* screen = GetGameScreen();
    if (screen->GetBackSound()->IsPlaying()) problems.push_back("background music " + where);
    if (screen->GetAmbientTimer()->IsRunning()) problems.push_back("wind timer " + where);
    if (screen->GetMusicDelayTimer()->IsRunning()) problems.push_back("music delay " + where);
  }

  int phase = 0;
};

TEST(WholeGamePaths, SkippingTheTutorialEndsItsMusicAndWind) {
  AppSandbox sandbox;
  const auto folder = game_test::MakeGameFolder(sandbox.root, 0);
  // The sounds lie beside the archives in the run folder.
  std::filesystem::copy(std::filesystem::path(QUORVANE_RUN_DIR) / "sounds", folder / "sounds");
  plat::SetCommandLineArgs({"/opt/q/quorvane", "-changedir=" + folder.string()});

  SkippingGame game;
  game.maxSteps = 2000;
  ASSERT_TRUE(KernelLibrary::KernelStart(nullptr, &game));
  KernelLibrary::KernelStop();
  plat::AudioMixer::Get().SetManualPull(false);

  EXPECT_EQ(game.problems, std::vector<std::string>{});
  EXPECT_GT(game.musicInTutorial, 0.5);  // what is read is what plays
  EXPECT_EQ(game.soundOnStartScreen, 0.0);
}

// Opens the level selection for a player whose file holds map index 500, looks at it, and
// plays the map it offers to its end.
class EditedFileGame : public game_test::DrivenGame {
 public:
  int indexAtStart = -1;  // the current player's map index as loaded
  int finishedMap = -1;

 protected:
  void Act() override {
    GameMgr* screen = GetGameScreen();
    if (indexAtStart < 0) indexAtStart = GetCurrentPlayer(GetPlayerList())->mapIndex;
    if (GetStartScreen()->IsActive()) {
      PostClick(GetStartScreen()->GetPlayButton());
    } else if (screen->GetFinishDialog()->IsShown()) {
      if (!FieldMgr::Instance()->GetGrid()->IsComplete()) Fail("finish dialog over an unfinished field");
      finishedMap = FieldMgr::Instance()->GetMapIndex();
      Stop();
    } else if (LevelSelectDlg* select = screen->GetLevelSelectDialog(); select->IsShown()) {
      LookAtTheList(select);
      PostClick(select->GetPlayButton());
    } else if (!PlayLevelMove()) {
      Fail("map " + std::to_string(FieldMgr::Instance()->GetMapIndex()) + " is full without a finish dialog");
    }
  }

 private:
  // Every control of the list that shows stands inside the dialog; the preview shows the
  // chosen map's picture in its frame.
  void LookAtTheList(LevelSelectDlg* select) {
    const ControlLibrary::VORect box = select->GetDialog()->GetScreenRect();
    ListVOlevels& list = ListVOlevels::Instance();
    std::vector<ControlLibrary::IVisibleObject*> controls = {list.GetPreview(), list.GetTitle(), list.GetUpButton(),
                                                             list.GetDownButton()};
    for (const auto* row : list.GetRows()) controls.push_back(row->button);
    for (ControlLibrary::IVisibleObject* vo : controls) {
      const ControlLibrary::VORect r = vo->GetScreenRect();
      if (vo->IsVisible() && (r.x < box.x || r.y < box.y || r.x + r.width > box.x + box.width ||
                              r.y + r.height > box.y + box.height))
        Fail("control " + std::to_string(vo->GetId()) + " outside the level selection");
    }
    ControlLibrary::IImageVO* preview = list.GetPreview();
    const ControlLibrary::VORect shown = preview->GetScreenRect();
    if (!preview->IsVisible() || preview->GetImageName() != "images/maps/1.png" ||
        shown != ControlLibrary::VORect{box.x + 234, box.y + 110, 350, 350})
      Fail("the preview is not map 1's picture in its frame");
  }
};

TEST(WholeGamePaths, APlayerFileWithAMapIndexPastTheListOpensOnTheFirstMap) {
  AppSandbox sandbox;
  const auto folder = game_test::MakeGameFolder(sandbox.root, 0);
  // Tess, current, map 500 (an edited file), tutorial done.
  game_test::ScratchFolder::Write((folder / "save" / "Tess.usr").string(),
                                  {1, 'T', 'e', 's', 's', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0xF4, 0});
  plat::SetCommandLineArgs({"/opt/q/quorvane", "-changedir=" + folder.string()});

  EditedFileGame game;
  ASSERT_TRUE(KernelLibrary::KernelStart(nullptr, &game));
  KernelLibrary::KernelStop();

  EXPECT_EQ(game.problems, std::vector<std::string>{});
  EXPECT_EQ(game.indexAtStart, 0);
  EXPECT_EQ(game.finishedMap, 0);
}

}  // namespace
