// The exit question: "Yes" and "No" on a small dialog, with Escape and Enter as keys, and a
// dark shade under the question that is shown and hidden with it.
#include "game/ExitDialog.h"

#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IFactory.h"

namespace Doduderor {

using namespace ControlLibrary;

namespace {

constexpr int kKeyEnter = 13;
constexpr int kKeyEscape = 27;
constexpr std::uint16_t kButtonLayer = 300;
constexpr std::uint16_t kTextLayer = 100;

// One face of the button sheet per state: normal, hover, pressed, disabled.
const VORect kButtonFaces[4] = {{613, 11, 114, 43}, {613, 117, 114, 43}, {613, 63, 114, 43}, {613, 170, 114, 43}};

IButtonVO* MakeAnswerButton(IFont* font, ISound* click, const std::string& text) {
  IButtonVO* button = GetControlFactory()->CreateButtonVO();
  button->SetAlignment(kAlignCenter, kAlignCenter);
  button->SetLayer(kButtonLayer);
  IFont* const fonts[4] = {font, nullptr, nullptr, nullptr};
  button->SetStateFonts(fonts);
  const std::string images[4] = {"images/btn_def.png", "", "", ""};
  button->SetImages(images);
  button->SetStateRects(kButtonFaces);
  button->SetStateTextColors(kButtonTextColors);
  button->SetSounds(click, nullptr, nullptr);
  button->SetTextOffset(0, -5);
  button->SetSize(114, 43);
  button->SetText(text);
  return button;
}

}  // namespace

ExitDialog::ExitDialog(DialogMessageObserver* owner) : BaseDialog(owner) {
  IFactory* factory = GetControlFactory();
  dialog->SetBackground("images/dialog/380 220.png");
  dialog->SetSize(380, 220);
  IFont* font = LoadFont("fonts/a_BosaNova14.txt");
  clickSound = LoadSound("sounds/click.wav");

  yesButton = MakeAnswerButton(font, clickSound, "Yes");
  yesButton->AddMouseObserver(this);
  AddChild(yesButton);
  noButton = MakeAnswerButton(font, clickSound, "No");
  noButton->AddMouseObserver(this);
  AddChild(noButton);

  IFont* textFont = LoadFont("fonts/a_BosaNova16.txt");
  questionText = MakeText(textFont, VOColor{0, 0, 0}, "Are you sure want to exit?", kTextLayer);

  // Never positioned: its top-left corner stays at the screen's.
  shade = factory->CreateImageVO();
  shade->SetImage("images/dialog/black_under_exit.png", true);
  shade->SetAlignment(kAlignLeftTop, kAlignLeftTop);

  DropFont(textFont);
  DropFont(font);
  LayoutControls();
  factory->AddKeybdSysObserver(this);
}

ExitDialog::~ExitDialog() {
  IFactory* factory = GetControlFactory();
  if (factory == nullptr) {
    // The factory went first (the game ends after the kernel): its objects are gone, and
    // the sound handle only has itself to free.
    delete clickSound;
    return;
  }
  factory->DeleteVO(yesButton);
  factory->DeleteVO(noButton);
  factory->DeleteVO(questionText);
  factory->ReleaseSound(clickSound);
  clickSound = nullptr;
  yesButton = noButton = nullptr;
  questionText = nullptr;
}

void ExitDialog::LayoutControls() {
  const Centre c = GetCentre();
  questionText->SetPosition(c.cx + 5, c.cy - 40);
  yesButton->SetPosition(c.cx + 90, c.cy + 60);
  noButton->SetPosition(c.cx - 80, c.cy + 60);
}

void ExitDialog::OnMouseClick(std::uint32_t id, int /*button*/) {
  if (id == yesButton->GetId()) answer = 1;
  dialog->SetVisible(false);
}

void ExitDialog::OnKeyUp(int key) {
  if (key == kKeyEscape) {
    answer = 0;
    dialog->SetVisible(false);
  } else if (key == kKeyEnter) {
    answer = 1;
    dialog->SetVisible(false);
  }
}

void ExitDialog::OnDialogShowHide(std::uint32_t /*dialogId*/, bool visible) {
  if (visible) shade->SetLayer(static_cast<std::uint16_t>(dialog->GetLayer() - 1));
  shade->SetVisible(visible);
}

}  // namespace Doduderor
