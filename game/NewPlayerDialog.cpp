// The new-player dialog: a name box, "Create" and "Cancel"; the profiles store refuses
// empty and repeated names, and a refusal shows the error dialog.
#include "game/NewPlayerDialog.h"

#include "game/Player.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IFactory.h"
#include "kernel/controls/IStringVO.h"

namespace Doduderor {

using namespace ControlLibrary;

namespace {
constexpr int kKeyEnter = 13;
constexpr int kKeyBackspace = 8;
constexpr std::size_t kMaxNameLength = 14;
}  // namespace

// Stands in for the kernel's edit box until it lands: a focusable label that takes the
// characters an edit box takes (codes 48 to 122, up to the length limit), drops the last
// one on backspace, reports each change as the edit box's text-changed notice and passes
// every key on to the dialog.
class NameBoxUntilEditBoxLands : public KeybdMessageObserver {
 public:
  NameBoxUntilEditBoxLands(IFont* font, IEditBoxMsgObserver* edits, KeybdMessageObserver* keys)
      : edits(edits), keys(keys) {
    label = GetControlFactory()->CreateStringVO();
    label->SetFont(font);
    label->SetFocusable(true);
    label->AddKeybdObserver(this);
  }
  ~NameBoxUntilEditBoxLands() override {
    if (IFactory* factory = GetControlFactory()) factory->DeleteVO(label);
  }

  IStringVO* Label() const { return label; }
  const std::string& GetText() const { return text; }
  void SetText(const std::string& newText) {
    text = newText;
    label->SetText(text);
  }

  void OnKeyChar(std::uint32_t id, char c) override {
    if (c >= '0' && c <= 'z' && text.size() < kMaxNameLength) {
      SetText(text + c);
      edits->OnTextChanged(id);
    }
    keys->OnKeyChar(id, c);
  }
  void OnKeyDown(std::uint32_t id, int key) override {
    if (key == kKeyBackspace && !text.empty()) {
      SetText(text.substr(0, text.size() - 1));
      edits->OnTextChanged(id);
    }
    keys->OnKeyDown(id, key);
  }

 private:
  IStringVO* label = nullptr;
  std::string text;
  IEditBoxMsgObserver* edits;
  KeybdMessageObserver* keys;
};

NewPlayerDialog::NewPlayerDialog(DialogMessageObserver* owner) : BaseDialog(nullptr) {
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

  // Drawn as text alone on the dialog's picture, without a box behind it.
  editBox = std::make_unique<NameBoxUntilEditBoxLands>(font14, this, this);
  IStringVO* name = editBox->Label();
  name->SetAlignment(kAlignCenter, kAlignCenter);
  name->SetLayer(100);
  name->SetColor({0, 0, 0});
  AddChild(name);

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
  editBox.reset();
}

void NewPlayerDialog::LayoutControls() {
  const Centre c = GetCentre();
  createButton->SetPosition(c.cx + 100, c.height - 40);
  cancelButton->SetPosition(c.cx - 100, c.height - 40);
  prompt->SetPosition(c.cx, c.cy - 50);
  editBox->Label()->SetPosition(c.cx, c.cy - 16 - 5);
}

void NewPlayerDialog::OnDialogShowHide(std::uint32_t dialogId, bool visible) {
  const bool shownHere = dialogId == dialog->GetId() && visible;
  const bool errorClosed = dialogId == errorDialog->GetDialog()->GetId() && !visible;
  if (!shownHere && !errorClosed) return;
  editBox->SetText("");
  editBox->Label()->SetFocus(true);
  cancelButton->SetEnabled(!GetPlayerList()->empty());
  createButton->SetEnabled(false);
}

std::string NewPlayerDialog::GetName() const { return editBox->GetText(); }

bool NewPlayerDialog::NameBoxHasFocus() const { return editBox->Label()->HasFocus(); }

void NewPlayerDialog::OnEditEvent() { createButton->SetEnabled(!editBox->GetText().empty()); }

void NewPlayerDialog::OnKeyDown(std::uint32_t id, int key) {
  // A disabled "Create" (empty box) ignores Enter.
  if (id == editBox->Label()->GetId() && key == kKeyEnter && createButton->IsEnabled()) createButton->PerformClick();
}

void NewPlayerDialog::OnMouse(std::uint32_t id, int /*button*/) {
  if (id == createButton->GetId()) {
    auto player = std::make_unique<Player>();
    player->name = editBox->GetText();
    if (AddPlayer(GetPlayerList(), player.get())) {
      SelectPlayer(player.release(), 1);
      dialog->SetVisible(false);
    } else {
      errorDialog->Show(true);
    }
  } else if (id == cancelButton->GetId()) {
    dialog->SetVisible(false);
  }
}

}  // namespace Doduderor
