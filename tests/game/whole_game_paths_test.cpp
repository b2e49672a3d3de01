// Paths through the whole game that a player takes without solving levels, played through
// the window's queue as the other whole-game tests do: a player file holding a map index
// past the map list.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kernel/controls/IDialogVO.h"
#include "tests/framework/core/AppSandbox.h"
#include "tests/game/GameDriver.h"

using namespace Doduderor;

namespace {

// Opens the level selection for a player whose file holds map index 500, looks at it, and
// plays the map it offers to its end.
class EditedFileGame : public game_test::DrivenGame {
 public:
  int indexAtStart = -1;

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

 public:
  int finishedMap = -1;

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
