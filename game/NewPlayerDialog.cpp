// The new-player dialog: a name box, "Create" and "Cancel"; the profiles store refuses
// empty and repeated names, and a refusal shows the error dialog.
#include "game/NewPlayerDialog.h"

#include <algorithm>

#include "game/Player.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/ITextVOs.h"
#include "kernel/controls/IFactory.h"

namespace Doduderor {

using namespace ControlLibrary;

namespace {
constexpr int kKeyEnter = 13;
constexpr std::uint16_t kMaxNameLength = 14;
const char kNameTakenText[] = "Player with this name already exist!";
const char kSaveFailedText[] = "Could not save the players!";
}  // namespace

NewPlayerDialog::NewPlayerDialog(DialogMessageObserver* owner) : BaseDialog(nullptr) {
  IFactory* factory = GetControlFactory();
  if (owner != nullptr) dialog->AddDialogObserver(owner);
  dialog->SetSize(400, 200);
  dialog->SetBackground("images/dialog/365 215.png");
  IFont* font14 = LoadFont("fonts/a_BosaNova14.txt");
  ISound* click = LoadSound("sounds/click.wav");
  createButton = MakeButton(font14, click, kButtonTextColorsBlackDisabled, 114, 43, "Create");
  cancelButton = MakeButton(font14, click, kButtonTextColorsBlackDisabled, 114, 43, "Cancel");
  for (IButtonVO* button : {createButton, cancelButton}) {
    UseDefaultFace(button);
    button->SetTextOffset(0, -5);
  }
  IFont* font16 = LoadFont("fonts/a_BosaNova16.txt");
  prompt = MakeText(font16, VOColor{255, 255, 128}, "Enter your name:");

  editBox = factory->CreateEditBoxVO();
  editBox->SetFont(font14);
  editBox->SetAlignment(kAlignCenter, kAlignCenter);
  editBox->SetLayer(100);
  editBox->SetColor({255, 255, 255});
  editBox->SetTextColor({0, 0, 0});
  editBox->AddEditObserver(this);
  editBox->AddKeybdObserver(this);
  AddChild(editBox);
  editBox->SetSize(310, 28);
  editBox->SetTextOffset(0, -5);
  editBox->SetMaxLength(kMaxNameLength);
  // Drawn as text alone on the dialog's picture, without a box behind it.
  editBox->SetNoBackground(true);

  errorDialog = std::make_unique<ErrorDialog>(this);
  DropFont(font14);
  DropFont(font16);
  DropSound(click);
}

NewPlayerDialog::~NewPlayerDialog() {
  errorDialog.reset();
  IFactory* factory = GetControlFactory();
  if (factory == nullptr) return;
  factory->DeleteVO(createButton);
  factory->DeleteVO(cancelButton);
  factory->DeleteVO(prompt);
  factory->DeleteVO(editBox);
}

void NewPlayerDialog::LayoutControls() {
  const Centre c = GetCentre();
  createButton->SetPosition(c.cx + 100, c.height - 40);
  cancelButton->SetPosition(c.cx - 100, c.height - 40);
  prompt->SetPosition(c.cx, c.cy - 50);
  editBox->SetPosition(c.cx, c.cy - 16);
}

void NewPlayerDialog::OnDialogShowHide(std::uint32_t dialogId, bool visible) {
  const bool shownHere = dialogId == dialog->GetId() && visible;
  const bool errorClosed = dialogId == errorDialog->GetDialog()->GetId() && !visible;
  if (!shownHere && !errorClosed) return;
  editBox->SetText("");
  editBox->SetFocus(true);
  cancelButton->SetEnabled(!GetPlayerList()->empty());
  createButton->SetEnabled(false);
}

void NewPlayerDialog::OnEditEvent() {
  // The name becomes the player's file name, where a backslash would stand for a folder:
  // the profile would not be saved, or saved where it is never found again. The box takes
  // the other characters an edit box takes.
  std::string text = editBox->GetText();
  const std::size_t length = text.size();
  text.erase(std::remove(text.begin(), text.end(), '\\'), text.end());
  if (text.size() != length) editBox->SetText(text);
  createButton->SetEnabled(!text.empty());
}

void NewPlayerDialog::OnKeyDown(std::uint32_t id, int key) {
  // A disabled "Create" (empty box) ignores Enter.
  if (id == editBox->GetId() && key == kKeyEnter && createButton->IsEnabled()) createButton->PerformClick();
}

void NewPlayerDialog::OnMouse(std::uint32_t id, int /*button*/) {
  if (id == createButton->GetId()) {
    auto player = std::make_unique<Player>();
    player->name = editBox->GetText();
    if (AddPlayer(GetPlayerList(), player.get())) {
      SelectPlayer(player.release(), 1);
      dialog->SetVisible(false);
      // On disk at once (with the others' current flags), so a crash loses no profile.
      // The player stays for this run even when its file cannot be written.
      if (!SaveAllPlayers(GetPlayerList())) {
        errorDialog->GetMessage()->SetText(kSaveFailedText);
        errorDialog->Show(true);
      }
    } else {
      errorDialog->GetMessage()->SetText(kNameTakenText);
      errorDialog->Show(true);
    }
  } else if (id == cancelButton->GetId()) {
    dialog->SetVisible(false);
  }
}

}  // namespace Doduderor
