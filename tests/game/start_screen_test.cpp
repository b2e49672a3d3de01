// The start screen: greeting and player button for no player and for a named one, the
// profiles dialog opening by itself, and play by click, space or Enter.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "game/Player.h"
#include "game/ProfilesDialog.h"
#include "game/StartMgr.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IFactory.h"
#include "kernel/kernel/ScreenOptions.h"
#include "tests/game/GameSandbox.h"
#include "tests/game/ScreenFixture.h"

using namespace Doduderor;

namespace {

class ModuleLog : public GameModuleObserver {
 public:
  void OnModuleFinished(std::uint32_t id) override { finished.push_back(id); }
  std::vector<std::uint32_t> finished;
};

class StartScreenTest : public game_test::ScreenTest {
 protected:
  StartScreenTest() { FreePlayerList(); }
  ~StartScreenTest() override {
    screen.Release();
    FreePlayerList();
  }
  void AddNamedPlayer(const std::string& name) {
    auto* p = new Player();
    p->name = name;
    p->current = 1;
    ASSERT_TRUE(AddPlayer(GetPlayerList(), p));
  }
  bool ProfilesShown() { return screen.GetProfilesDialog()->GetDialog()->IsVisible(); }

  ModuleLog log;
  StartMgr screen{&log, kStartModuleId};
};

TEST_F(StartScreenTest, WithoutPlayersItGreetsNobodyAndOpensTheProfilesByItself) {
  screen.Init();
  screen.Show();
  EXPECT_EQ(screen.GetWelcomeText()->GetText(), "Welcom,");
  EXPECT_EQ(screen.GetNameText()->GetText(), "");
  EXPECT_EQ(screen.GetPlayerButton()->GetText(), "Create");
  EXPECT_EQ(screen.GetPlayerButton()->GetSize(), (ControlLibrary::VOSize{120, 120}));
  EXPECT_EQ(screen.GetVersionText()->GetText(), "1.0");
  EXPECT_FALSE(ProfilesShown());
  Tick();
  EXPECT_TRUE(ProfilesShown());
  // Closed again with still no player: the texts stay as they were.
  screen.GetProfilesDialog()->Show(false);
  EXPECT_EQ(screen.GetNameText()->GetText(), "");
  EXPECT_EQ(screen.GetPlayerButton()->GetText(), "Create");
}

TEST_F(StartScreenTest, APlayerIsGreetedAndTheButtonFitsTheWholeText) {
  const std::string name = "Bartholomew Long";
  AddNamedPlayer(name);
  screen.Init();
  screen.Show();
  Tick(3);
  EXPECT_FALSE(ProfilesShown());
  EXPECT_EQ(screen.GetNameText()->GetText(), name + "!");
  const std::string label = "if you not " + name + " click here";
  EXPECT_EQ(screen.GetPlayerButton()->GetText(), label);
  ControlLibrary::IFont* font = ControlLibrary::GetControlFactory()->CreateFont();
  font->Load("fonts/a_BosaNova14.txt");
  EXPECT_GT(font->GetTextWidth(label), 100);  // the real font, so a wrong text shows
  EXPECT_EQ(screen.GetPlayerButton()->GetSize(), (ControlLibrary::VOSize{font->GetTextWidth(label), 27}));
  ControlLibrary::GetControlFactory()->Release(font);
}

TEST_F(StartScreenTest, PlayByClickSpaceOrEnterOnlyWhileTheScreenIsShown) {
  AddNamedPlayer("Ann");
  screen.Init();
  PressKey(32);  // hidden: the key is not taken
  EXPECT_TRUE(log.finished.empty());

  screen.Show();
  ClickOn(screen.GetPlayButton());
  EXPECT_EQ(log.finished, (std::vector<std::uint32_t>{kStartModuleId}));
  EXPECT_FALSE(screen.GetPlayButton()->IsVisible());  // the button hides itself

  for (int key : {32, 13}) {
    screen.Show();
    EXPECT_TRUE(screen.GetPlayButton()->IsVisible());
    PressKey(key);
  }
  EXPECT_EQ(log.finished.size(), 3u);
  PressKey('A');
  screen.Hide();
  PressKey(13);
  EXPECT_EQ(log.finished.size(), 3u);
}

// Both screen sizes: every control keeps its place relative to the centred picture (the
// more-games button too, which the 1024 x 768 screen puts at (512, 664)).
TEST_F(StartScreenTest, ControlsArePlacedFromTheScreenCentre) {
  AddNamedPlayer("Ann");
  const struct {
    std::uint8_t resolution;
    int dx, dy;  // the centre's offset from (512, 384)
  } sizes[] = {{1, 128, 16}, {0, 0, 0}};
  screen.Init();
  for (const auto& size : sizes) {
    const std::filesystem::path folder = sandbox.root / ("size" + std::to_string(size.resolution));
    std::filesystem::create_directories(folder);
    game_test::ScratchFolder::Write((folder / "resolution.opt").string(), {0, size.resolution, 0});
    KernelLibrary::LoadResolution(folder.string() + "/");
    screen.PlaceControls();
    screen.Show();
    struct Case {
      ControlLibrary::IVisibleObject* vo;
      int x, y;
    };
    const Case cases[] = {
        {screen.GetPlayButton(), 532, 414},       {screen.GetWelcomeText(), 512, 189},
        {screen.GetNameText(), 512, 254},         {screen.GetVersionText(), 1008, 756},
        {screen.GetMoreGamesButton(), 512, 664}, {screen.GetBackground(), 512, 384},
    };
    for (const Case& c : cases) {
      const ControlLibrary::VORect r = c.vo->GetScreenRect();
      EXPECT_EQ(r.x + r.width / 2, c.x + size.dx) << "size " << int(size.resolution);
      EXPECT_EQ(r.y + r.height / 2, c.y + size.dy) << "size " << int(size.resolution);
    }
    // The picture covers the larger screen.
    EXPECT_EQ(screen.GetBackground()->GetSize(), (ControlLibrary::VOSize{1280, 800}));
    screen.Hide();
  }
}

}  // namespace
