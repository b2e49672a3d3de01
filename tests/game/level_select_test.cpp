// The level selection and its level list: which rows a tab and an offset show, the
// chosen map, the preview, and how the dialog closes.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "framework/graphics/ImageLib.h"
#include "game/LevelSelectDlg.h"
#include "game/ListVOlevels.h"
#include "game/MapList.h"
#include "kernel/controls/IDialogVO.h"
#include "tests/game/DialogFixture.h"

namespace {

using namespace Doduderor;
using ControlLibrary::VOPoint;
using dialogs_test::DialogLog;
using dialogs_test::DialogTest;

constexpr int kEnterKey = 13;

// Writes "maps/<n>.map": a 2 x 1 field with the given difficulty, kind and title.
void WriteMap(int n, char difficulty, char kind, const std::string& title) {
  std::string text = "02 01 ";
  text += difficulty;
  text += ' ';
  text += kind;
  text += ' ';
  std::string padded = title;
  padded.resize(15, '\0');
  text += padded + "\r\n11\r\n";
  std::ofstream(std::string("maps/") + std::to_string(n) + ".map", std::ios::binary) << text;
}

class LevelSelectTest : public DialogTest {
 protected:
  // Eleven easy maps (indices 0-10), the tutorial (11), one medium (12), one hard (13).
  LevelSelectTest() {
    std::filesystem::create_directories("maps");
    for (int n = 1; n <= 11; ++n) WriteMap(n, 'e', 'n', "Easy " + std::to_string(n));
    WriteMap(12, 'e', 'h', "Tutorial");
    WriteMap(13, 'm', 'n', "Middle");
    WriteMap(14, 'h', 'n', "Summit");
    MapList::Instance().Load();
  }
  ~LevelSelectTest() override {
    std::filesystem::remove_all("maps");
    MapList::Instance().Load();  // no maps here any more: an empty list for later tests
  }

  // Map indices of the shown rows, top to bottom, checking each row's place on the way.
  static std::vector<int> ShownRows() {
    std::vector<int> shown;
    for (ListVOlevels::RowItem* row : ListVOlevels::Instance().GetRows()) {
      if (!row->button->IsVisible()) continue;
      EXPECT_EQ(row->button->GetPosition(), (VOPoint{110, 95 + 40 * static_cast<int>(shown.size())}));
      shown.push_back(row->mapIndex);
    }
    return shown;
  }
  static std::vector<int> Range(int first, int last) {
    std::vector<int> r;
    for (int i = first; i <= last; ++i) r.push_back(i);
    return r;
  }
};

TEST_F(LevelSelectTest, TabsAndOffsetsChooseThePage) {
  LevelSelectDlg dialog(nullptr);
  EXPECT_EQ(ListVOlevels::Instance().GetRows().size(), 13u);  // the tutorial has no row
  dialog.Show(true);
  struct Case {
    int tab;
    std::uint16_t offset;
    std::vector<int> rows;
    bool up;
    bool down;
  };
  std::vector<int> allFromThree = Range(3, 10);
  allFromThree.insert(allFromThree.end(), {12, 13});
  const Case cases[] = {
      {LevelSelectDlg::kAll, 0, Range(0, 9), false, true},
      {LevelSelectDlg::kAll, 3, allFromThree, true, false},
      {LevelSelectDlg::kEasy, 0, Range(0, 9), false, true},  // eleven matches
      {LevelSelectDlg::kEasy, 1, Range(1, 10), true, false},
      {LevelSelectDlg::kMedium, 0, {12}, false, false},
      {LevelSelectDlg::kHard, 0, {13}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tab * 100 + c.offset);
    ListVOlevels::Instance().Refresh(c.tab, c.offset);
    EXPECT_EQ(ShownRows(), c.rows);
    EXPECT_EQ(ListVOlevels::Instance().GetUpButton()->IsEnabled(), c.up);
    EXPECT_EQ(ListVOlevels::Instance().GetDownButton()->IsEnabled(), c.down);
  }
}

TEST_F(LevelSelectTest, ArrowsScrollOneRowPerClick) {
  LevelSelectDlg dialog(nullptr);
  AddTestPlayer("Ann", true, 0);
  dialog.Show(true);  // opens on "Easy", the tab of map 0
  ListVOlevels& list = ListVOlevels::Instance();
  list.OnMouseClick(list.GetDownButton()->GetId(), ControlLibrary::kMouseLeft);
  EXPECT_EQ(ShownRows(), Range(1, 10));
  EXPECT_TRUE(list.GetUpButton()->IsEnabled());
  EXPECT_FALSE(list.GetDownButton()->IsEnabled());
  list.OnMouseClick(list.GetUpButton()->GetId(), ControlLibrary::kMouseLeft);
  EXPECT_EQ(ShownRows(), Range(0, 9));
  EXPECT_FALSE(list.GetUpButton()->IsEnabled());
}

TEST_F(LevelSelectTest, ShowAfterTheTutorialChoosesTheFirstMapAndItsTab) {
  std::filesystem::create_directories("images/maps");
  ImageLib::Image picture;
  picture.mWidth = 1;
  picture.mHeight = 1;
  picture.mBits = new std::uint32_t[1]{0xFF00FF00};
  ASSERT_TRUE(ImageLib::WritePNGImage("images/maps/1.png", &picture));

  Player* player = AddTestPlayer("Ann", true, kNoMapIndex);
  LevelSelectDlg dialog(nullptr);
  dialog.Show(true);
  EXPECT_EQ(player->mapIndex, 0);
  EXPECT_FALSE(dialog.GetTab(LevelSelectDlg::kEasy)->IsEnabled());
  EXPECT_TRUE(dialog.GetTab(LevelSelectDlg::kAll)->IsEnabled());
  ListVOlevels& list = ListVOlevels::Instance();
  EXPECT_FALSE(list.GetRows()[0]->button->IsEnabled());
  EXPECT_TRUE(list.GetRows()[1]->button->IsEnabled());
  EXPECT_EQ(list.GetPreview()->GetImageName(), "images/maps/1.png");
  EXPECT_EQ(list.GetPreview()->GetSize(), (ControlLibrary::VOSize{350, 350}));
  EXPECT_TRUE(list.GetPreview()->IsVisible());
  EXPECT_EQ(list.GetTitle()->GetText().substr(0, 6), "Easy 1");
}

// The list's controls are the dialog's children, placed before they became children: they
// stand inside the dialog, the arrows just above the first row and just below the last, and
// the preview at its frame, also when the current map index is past the list (nothing is
// chosen, and the preview shows no picture).
TEST_F(LevelSelectTest, TheListStandsInsideTheDialog) {
  for (const std::uint16_t chosen : {std::uint16_t{0}, std::uint16_t{500}}) {
    SCOPED_TRACE(chosen);
    AddTestPlayer("Ann", true, chosen);
    LevelSelectDlg dialog(nullptr);
    dialog.Show(true);
    ListVOlevels& list = ListVOlevels::Instance();
    list.Refresh(LevelSelectDlg::kEasy, 0);
    const ControlLibrary::VORect box = dialog.GetDialog()->GetScreenRect();
    auto inside = [&](ControlLibrary::IVisibleObject* vo) {
      const ControlLibrary::VORect r = vo->GetScreenRect();
      return r.x >= box.x && r.y >= box.y && r.x + r.width <= box.x + box.width && r.y + r.height <= box.y + box.height;
    };
    const ControlLibrary::VORect up = list.GetUpButton()->GetScreenRect();
    const ControlLibrary::VORect down = list.GetDownButton()->GetScreenRect();
    const ControlLibrary::VORect first = list.GetRows()[0]->button->GetScreenRect();
    const ControlLibrary::VORect last = list.GetRows()[9]->button->GetScreenRect();
    EXPECT_TRUE(inside(list.GetUpButton()));
    EXPECT_TRUE(inside(list.GetDownButton()));
    EXPECT_LE(up.y + up.height, first.y);
    EXPECT_GE(down.y, last.y + last.height);
    EXPECT_LE(up.x, first.x);
    EXPECT_GE(up.x + up.width, first.x + first.width);
    ControlLibrary::IImageVO* preview = list.GetPreview();
    EXPECT_TRUE(preview->IsVisible());
    EXPECT_EQ(preview->GetScreenRect().x, box.x + 234);
    EXPECT_EQ(preview->GetScreenRect().y, box.y + 110);
    FreePlayerList();
  }
}

TEST_F(LevelSelectTest, ARowClickChoosesItsMapAtOnce) {
  Player* player = AddTestPlayer("Ann", true, 13);
  LevelSelectDlg dialog(nullptr);
  dialog.Show(true);  // "Hard": the one hard map is chosen
  EXPECT_FALSE(dialog.GetTab(LevelSelectDlg::kHard)->IsEnabled());
  Click(dialog, dialog.GetTab(LevelSelectDlg::kAll));
  EXPECT_FALSE(dialog.GetTab(LevelSelectDlg::kAll)->IsEnabled());
  EXPECT_TRUE(dialog.GetTab(LevelSelectDlg::kHard)->IsEnabled());
  ListVOlevels& list = ListVOlevels::Instance();
  for (ListVOlevels::RowItem* row : list.GetRows()) {
    if (row->button->IsVisible()) {
      EXPECT_TRUE(row->button->IsEnabled());  // map 13 is not on this page
    }
  }

  ListVOlevels::RowItem* third = list.GetRows()[2];
  list.OnMouseClick(third->button->GetId(), ControlLibrary::kMouseLeft);
  EXPECT_EQ(player->mapIndex, 2);
  EXPECT_FALSE(third->button->IsEnabled());
  EXPECT_EQ(list.GetTitle()->GetText().substr(0, 6), "Easy 3");
  list.OnMouseClick(list.GetRows()[4]->button->GetId(), ControlLibrary::kMouseLeft);
  EXPECT_TRUE(third->button->IsEnabled());
  EXPECT_EQ(player->mapIndex, 4);
}

TEST_F(LevelSelectTest, PlayEnterAndProfilesCloseTheDialog) {
  AddTestPlayer("Ann", true, 0);
  DialogLog owner;
  LevelSelectDlg dialog(&owner);
  dialog.Show(true);
  dialog.OnKeyUp(kEnterKey);
  EXPECT_FALSE(dialog.IsShown());
  EXPECT_EQ(dialog.IsProfilesRequested(), 0);

  dialog.Show(true);
  Click(dialog, dialog.GetProfilesButton());
  EXPECT_FALSE(dialog.IsShown());
  EXPECT_EQ(dialog.IsProfilesRequested(), 1);
  dialog.Show(true);
  EXPECT_EQ(dialog.IsProfilesRequested(), 0);

  dialog.GetPlayButton()->SetEnabled(false);
  dialog.OnKeyUp(kEnterKey);
  EXPECT_TRUE(dialog.IsShown());
  Click(dialog, dialog.GetPlayButton());
  EXPECT_FALSE(dialog.IsShown());
  // Hidden either way, the list leaves no level rows behind on the screen.
  for (ListVOlevels::RowItem* row : ListVOlevels::Instance().GetRows()) EXPECT_FALSE(row->button->IsVisible());
  dialog.Show(true);
  dialog.Show(false);
  EXPECT_FALSE(dialog.IsShown());
  for (ListVOlevels::RowItem* row : ListVOlevels::Instance().GetRows()) EXPECT_FALSE(row->button->IsVisible());
  EXPECT_FALSE(ListVOlevels::Instance().GetPreview()->IsVisible());
}

}  // namespace
