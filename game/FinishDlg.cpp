// The finish dialog: its buttons and texts, placed from the dialog's centre on every show.
#include "game/FinishDlg.h"

#include <string>

#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IFactory.h"

namespace Doduderor {

using namespace ControlLibrary;

namespace {

constexpr std::uint16_t kControlLayer = 300;

}  // namespace

FinishDlg::FinishDlg(DialogMessageObserver* owner) : BaseDialog(owner) {
  dialog->SetSize(400, 320);
  // Centred over the field.
  dialog->SetPosition(410, 394);
  dialog->SetBackground("images/dialog/end_level.png");

  IFont* font = LoadFont("fonts/a_BosaNova14.txt");
  ISound* click = LoadSound("sounds/click.wav");
  // First made with the small face of the sheet, then given their final face below.
  static const std::string kSmallFace[4] = {"images/btn_def.png", "", "", ""};
  static const VORect kSmallRects[4] = {{0, 0, 108, 27}, {0, 27, 108, 27}, {0, 54, 108, 27}, {0, 81, 108, 27}};
  IButtonVO** buttons[3] = {&restartButton, &newLevelButton, &closeButton};
  for (std::uint16_t i = 0; i < 3; ++i) {
    IButtonVO* button = MakeButton(font, click, kButtonTextColors, 94, 26, std::string(), kControlLayer);
    button->SetTag(static_cast<std::uint16_t>(i + 1));
    button->SetImages(kSmallFace);
    button->SetStateRects(kSmallRects);
    button->SetShowWithParent(false);
    *buttons[i] = button;
  }
  const struct {
    IButtonVO* button;
    const char* caption;
  } faces[] = {{newLevelButton, "New level"}, {restartButton, "Restart"}, {closeButton, "Close"}};
  for (const auto& f : faces) {
    UseDefaultFace(f.button);
    f.button->SetSize(114, 43);
    f.button->SetText(f.caption);
  }

  line1 = MakeText(font, VOColor{0, 0, 0}, std::string(), kControlLayer);
  line2 = MakeText(font, VOColor{0, 0, 0}, std::string(), kControlLayer);
  timeText = MakeText(font, VOColor{0, 128, 0}, std::string(), kControlLayer);

  gameOverSound = LoadSound("sounds/game_over.wav");
  DropFont(font);
  DropSound(click);
}

FinishDlg::~FinishDlg() {
  if (IFactory* factory = GetControlFactory()) {
    for (IButtonVO* button : {restartButton, newLevelButton, closeButton}) {
      if (button != nullptr) factory->DeleteVO(button);
    }
    for (IStringVO* text : {line1, line2, timeText}) {
      if (text != nullptr) factory->DeleteVO(text);
    }
    if (gameOverSound != nullptr) factory->ReleaseSound(gameOverSound);
  }
}

void FinishDlg::SetTime(std::uint16_t value) {
  seconds = value;
  timeText->SetText(std::to_string(value / 60) + " : " + std::to_string(value % 60));
}

void FinishDlg::LayoutControls() {
  const Centre c = GetCentre();
  line1->SetPosition(c.cx, c.cy - 30);
  line2->SetPosition(c.cx, c.cy + 15);
  timeText->SetPosition(c.cx, c.cy + 15);
  restartButton->SetPosition(c.cx - 70, c.cy + 85);
  newLevelButton->SetPosition(c.cx + 70, c.cy + 85);
  closeButton->SetPosition(c.cx, c.cy + 130);
}

void FinishDlg::Show(bool visible) {
  BaseDialog::Show(visible);
  if (!visible) return;
  gameOverSound->Play(false);
  // Each case shows only its own texts and buttons: the time and the level's answers of an
  // earlier completed level do not stay over the tutorial's words.
  if (mode == kModeTutorialEnded) {
    closeButton->SetVisible(true);
    closeButton->SetEnabled(true);
    for (IButtonVO* button : {restartButton, newLevelButton}) button->SetVisible(false);
    timeText->SetVisible(false);
    line1->SetText("Now you can choose and");
    line2->SetText("play another level.");
  } else if (mode == kModeLevelCompleted) {
    line1->SetText("Your time");
    line2->SetText(std::string());
    timeText->SetVisible(true);
    for (IButtonVO* button : {restartButton, newLevelButton, closeButton}) button->SetVisible(true);
  }
}

void FinishDlg::OnMouseClick(std::uint32_t id, int button) {
  if (id == newLevelButton->GetId()) {
    newLevelChosen = 1;
    restartChosen = 0;
  } else if (id == restartButton->GetId()) {
    restartChosen = 1;
    newLevelChosen = 0;
  } else if (id == closeButton->GetId()) {
    restartChosen = 0;
    newLevelChosen = 0;
  } else {
    return;
  }
  dialog->SetVisible(false);
}

}  // namespace Doduderor
