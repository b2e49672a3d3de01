// The profiles dialog: choose, create and delete players; the current player's name is
// black, the others grey.
#include "game/ProfilesDialog.h"

#include <algorithm>

#include "game/Player.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IFactory.h"

namespace Doduderor {

using namespace ControlLibrary;

namespace {
const VOColor kLinkTextColors[5] = {{0, 0, 0}, {255, 255, 255}, {203, 203, 192}, {203, 203, 192}, {0, 0, 0}};
const VOColor kBlack = {0, 0, 0};
const VOColor kGrey = {203, 203, 192};
constexpr int kNameYOffsets[ProfilesDialog::kNameCount] = {-170, -94, -12, 69};
}  // namespace

ProfilesDialog::ProfilesDialog(DialogMessageObserver* owner)
    : BaseDialog(nullptr),
      nameColors{{0, 0, 0}, {252, 133, 133}, {203, 203, 192}, {203, 203, 192}, {0, 0, 0}} {
  if (owner != nullptr) dialog->AddDialogObserver(owner);
  dialog->SetBackground("images/dialog/380 460.png");
  IFont* font14 = LoadFont("fonts/a_BosaNova14.txt");
  ISound* click = LoadSound("sounds/click.wav");

  newButton = MakeButton(font14, click, kLinkTextColors, 63, 24, "New");
  newButton->SetTextOnly(true);
  deleteButton = MakeButton(font14, click, kLinkTextColors, 104, 22, "Delete");
  deleteButton->SetTextOnly(true);
  closeButton = MakeButton(font14, click, nameColors, 114, 43, "Close");
  UseDefaultFace(closeButton);
  for (IButtonVO*& name : nameButtons) {
    name = MakeButton(font14, click, nameColors, 250, 30, "");
    name->SetTextOnly(true);
  }
  for (IButtonVO* button : {newButton, deleteButton, closeButton}) button->SetTextOffset(0, -5);
  for (IButtonVO* button : nameButtons) button->SetTextOffset(0, -5);
  // From here on a pressed name stays black.
  nameColors[2] = kBlack;

  newPlayerDialog = std::make_unique<NewPlayerDialog>(this);
  DropFont(font14);
  DropSound(click);
}

ProfilesDialog::~ProfilesDialog() {
  newPlayerDialog.reset();
  IFactory* factory = GetControlFactory();
  if (factory == nullptr) return;
  for (IButtonVO* button : {newButton, deleteButton, closeButton}) factory->DeleteVO(button);
  for (IButtonVO* button : nameButtons) factory->DeleteVO(button);
}

void ProfilesDialog::LayoutControls() {
  const Centre c = GetCentre();
  newButton->SetPosition(c.cx + 70, c.cy + 125);
  deleteButton->SetPosition(c.cx - 70, c.cy + 125);
  closeButton->SetPosition(c.cx, c.height - 40);
  for (int i = 0; i < kNameCount; ++i) nameButtons[i]->SetPosition(c.cx, c.cy + kNameYOffsets[i]);
}

void ProfilesDialog::RebuildNames() {
  PlayerList* players = GetPlayerList();
  if (players->empty()) {
    for (IButtonVO* name : nameButtons) name->SetText("");
    newPlayerDialog->Show(true);
    return;
  }
  for (IButtonVO* name : nameButtons) {
    name->SetEnabled(false);
    name->SetText("");
  }
  const int shown = std::min<int>(static_cast<int>(players->size()), kNameCount);
  for (int i = 0; i < shown; ++i) {
    nameButtons[i]->SetEnabled(true);
    nameButtons[i]->SetText((*players)[i]->name);
  }
  RecolourNames();
  newButton->SetEnabled(players->size() < static_cast<std::size_t>(kNameCount));
}

void ProfilesDialog::RecolourNames() {
  PlayerList* players = GetPlayerList();
  const int shown = std::min<int>(static_cast<int>(players->size()), kNameCount);
  for (int i = 0; i < shown; ++i) {
    nameColors[0] = (*players)[i]->current != 0 ? kBlack : kGrey;
    nameButtons[i]->SetStateTextColors(nameColors);
  }
}

void ProfilesDialog::OnDialogShowHide(std::uint32_t dialogId, bool visible) {
  const bool shownHere = dialogId == dialog->GetId() && visible;
  const bool newPlayerClosed = dialogId == newPlayerDialog->GetDialog()->GetId() && !visible;
  if (shownHere || newPlayerClosed) RebuildNames();
}

void ProfilesDialog::OnMouse(std::uint32_t id, int /*button*/) {
  PlayerList* players = GetPlayerList();
  if (id == newButton->GetId()) {
    newPlayerDialog->Show(true);
  } else if (id == deleteButton->GetId()) {
    Player* current = GetCurrentPlayer(players);
    // Without a current player in the list the store hands out its shared default
    // player, which is not ours to delete.
    if (std::find(players->begin(), players->end(), current) == players->end()) return;
    RemovePlayer(players, current);
    DeletePlayer(current);
    ClearCurrentFlags(players);
    if (!players->empty()) SelectPlayer(players->front(), 1);
    // The deletion and the new current player are on disk at once; failures are logged.
    SaveAllPlayers(players);
    RebuildNames();
  } else if (id == closeButton->GetId()) {
    dialog->SetVisible(false);
  } else {
    for (int i = 0; i < kNameCount; ++i) {
      if (id != nameButtons[i]->GetId()) continue;
      if (static_cast<std::size_t>(i) < players->size()) SelectPlayer((*players)[i], 1);
      RecolourNames();
      return;
    }
  }
}

}  // namespace Doduderor
