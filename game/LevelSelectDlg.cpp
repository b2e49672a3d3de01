// The level selection: tabs by difficulty, "Play" and "Profiles" around the level list.
#include "game/LevelSelectDlg.h"

#include "game/ListVOlevels.h"
#include "game/MapList.h"
#include "game/Player.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IFactory.h"

namespace Doduderor {

using namespace ControlLibrary;

namespace {
constexpr int kKeyEnter = 13;
// Unselected tabs carry black captions like every other button on this face (light grey on
// it read as disabled); the selected tab is the disabled one.
const VOColor kTabTextColors[5] = {{0, 0, 0}, {252, 133, 133}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
const VOColor kPlayTextColors[5] = {{0, 128, 0}, {55, 200, 55}, {203, 203, 192}, {203, 203, 192}, {0, 0, 0}};
const VOColor kProfilesTextColors[5] = {{0, 0, 0}, {255, 255, 255}, {203, 203, 192}, {203, 203, 192}, {0, 0, 0}};
const char* const kTabNames[4] = {"All", "Easy", "Medium", "Hard"};

}  // namespace

LevelSelectDlg::LevelSelectDlg(DialogMessageObserver* owner) : BaseDialog(owner) {
  IFactory* factory = GetControlFactory();
  dialog->SetSize(600, 600);
  dialog->SetPosition(400, 394);
  dialog->SetBackground("images/dialog/dlg_level.png");
  IFont* font14 = LoadFont("fonts/a_BosaNova14.txt");
  ISound* click = LoadSound("sounds/click.wav");

  for (int i = 0; i < 4; ++i) {
    tabs[i] = MakeButton(font14, click, kTabTextColors, 114, 43, kTabNames[i]);
    UseDefaultFace(tabs[i]);
  }
  IFont* font20 = LoadFont("fonts/a_BosaNova20.txt");
  playButton = MakeButton(font20, click, kPlayTextColors, 114, 43, "Play");
  playButton->SetTextOnly(true);
  IFont* font10 = LoadFont("fonts/a_BosaNova10.txt");
  profilesButton = MakeButton(font10, click, kProfilesTextColors, 114, 43, "Profiles");
  profilesButton->SetTextOnly(true);

  factory->AddKeybdSysObserver(this);
  ListVOlevels::Instance().Attach(dialog, playButton);
  DropFont(font10);
  DropFont(font14);
  DropFont(font20);
  DropSound(click);
}

LevelSelectDlg::~LevelSelectDlg() {
  IFactory* factory = GetControlFactory();
  if (factory == nullptr) return;
  for (IButtonVO* tab : tabs) factory->DeleteVO(tab);
  factory->DeleteVO(playButton);
  factory->DeleteVO(profilesButton);
  // The list lives with the dialog it was attached to: its controls went into that dialog,
  // so a later level selection (on this factory or a new one) builds a list of its own.
  ListVOlevels::ResetForNewFactory();
}

void LevelSelectDlg::LayoutControls() {
  const Centre c = GetCentre();
  profilesButton->SetPosition(c.cx - 260, c.cy + 280);
  playButton->SetPosition(c.cx + 245, c.cy + 180);
  const int tabX[4] = {-200, -15, 110, 240};
  for (int i = 0; i < 4; ++i) tabs[i]->SetPosition(c.cx + tabX[i], c.cy + 250);
}

void LevelSelectDlg::Show(bool visible) {
  BaseDialog::Show(visible);
  ListVOlevels& list = ListVOlevels::Instance();
  Player* player = GetCurrentPlayer(GetPlayerList());
  if (visible) {
    profilesRequested = 0;
    if (player->mapIndex == kNoMapIndex) player->mapIndex = 0;
  }
  list.SetShown(visible);
  // Hiding stops here: a refresh would show the rows and the preview again without the
  // dialog around them.
  if (!visible) return;
  EnableTabs();
  const std::string& difficulty = MapList::Instance().At(player->mapIndex).difficulty;
  for (int tab = kEasy; tab <= kHard; ++tab) {
    if (difficulty != ListVOlevels::TabFilter(tab)) continue;
    list.Refresh(tab, 0);
    tabs[tab]->SetEnabled(false);
  }
}

void LevelSelectDlg::EnableTabs() {
  for (IButtonVO* tab : tabs) tab->SetEnabled(true);
}

void LevelSelectDlg::OnMouseClick(std::uint32_t id, int /*button*/) {
  if (id == playButton->GetId()) {
    dialog->SetVisible(false);
    return;
  }
  for (int tab = kAll; tab <= kHard; ++tab) {
    if (id != tabs[tab]->GetId()) continue;
    EnableTabs();
    tabs[tab]->SetEnabled(false);
    ListVOlevels::Instance().Refresh(tab, 0);
    return;
  }
  if (id == profilesButton->GetId()) {
    profilesRequested = 1;
    dialog->SetVisible(false);
  }
}

void LevelSelectDlg::OnKeyUp(int key) {
  if (key == kKeyEnter && playButton->IsEnabled()) OnMouseClick(playButton->GetId(), 1);
}

}  // namespace Doduderor
