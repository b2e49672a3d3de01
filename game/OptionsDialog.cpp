// The options dialog: music volume plus and minus in steps of 20 between 0 and 100, and
// the full-screen choice stored for the next start.
#include "game/OptionsDialog.h"

#include <algorithm>
#include <string>

#include "game/Options.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IFactory.h"

namespace Doduderor {

using namespace ControlLibrary;

namespace {
constexpr int kVolumeStep = 20;
constexpr int kMaxVolume = 100;
const VOColor kLabelColor = {110, 2, 5};
const VOColor kFullScreenTextColors[5] = {{0, 0, 0}, {255, 255, 255}, {0, 0, 0}, {203, 203, 192}, {0, 0, 0}};

void UseArrowFace(IButtonVO* button, const char* sheet) {
  const std::string names[4] = {sheet, "", "", ""};
  static const VORect kRects[4] = {{0, 0, 28, 30}, {2, 0, 28, 30}, {0, 0, 28, 30}, {0, 0, 28, 30}};
  button->SetImages(names);
  button->SetStateRects(kRects);
}
}  // namespace

OptionsDialog::OptionsDialog(DialogMessageObserver* owner) : BaseDialog(owner) {
  IFactory* factory = GetControlFactory();
  dialog->SetBackground("images/dialog/450 400.png");
  dialog->SetSize(450, 400);
  IFont* font14 = LoadFont("fonts/a_BosaNova14.txt");
  ISound* click = LoadSound("sounds/click.wav");

  closeButton = MakeButton(font14, click, kButtonTextColors, 114, 43, "Close");
  UseDefaultFace(closeButton);
  plusButton = MakeButton(font14, click, kButtonTextColors, 30, 30, "");
  UseArrowFace(plusButton, "images/btn_right.png");
  minusButton = MakeButton(font14, click, kButtonTextColors, 30, 30, "");
  UseArrowFace(minusButton, "images/btn_left.png");
  fullScreenButton = MakeButton(font14, click, kFullScreenTextColors, 114, 43, "Full Screen");
  UseDefaultFace(fullScreenButton);
  fullScreenButton->SetTextOnly(true);
  for (IButtonVO* button : {closeButton, plusButton, minusButton, fullScreenButton}) button->SetTextOffset(0, -5);

  IFont* font16 = LoadFont("fonts/a_BosaNova16.txt");
  caption = MakeText(font16, kLabelColor, "Music volume:");
  volumeLabel = MakeText(font16, kLabelColor, "");
  volumeLabel->SetFont(font14);

  factory->AddKeybdSysObserver(this);
  DropFont(font14);
  DropFont(font16);
  DropSound(click);
}

OptionsDialog::~OptionsDialog() {
  IFactory* factory = GetControlFactory();
  if (factory == nullptr) return;
  for (IButtonVO* button : {closeButton, plusButton, minusButton, fullScreenButton}) factory->DeleteVO(button);
  factory->DeleteVO(caption);
  factory->DeleteVO(volumeLabel);
}

void OptionsDialog::LayoutControls() {
  const Centre c = GetCentre();
  caption->SetPosition(c.cx, c.cy - 100);
  volumeLabel->SetPosition(c.cx, c.cy - 40);
  minusButton->SetPosition(c.cx - 80, c.cy - 40);
  plusButton->SetPosition(c.cx + 80, c.cy - 40);
  fullScreenButton->SetPosition(c.cx, c.cy + 60);
  closeButton->SetPosition(c.cx, c.cy + 165);
}

void OptionsDialog::UpdateVolume() {
  const std::uint16_t volume = GetMusicVolumeOption();
  plusButton->SetEnabled(volume != kMaxVolume);
  minusButton->SetEnabled(volume != 0);
  volumeLabel->SetText(std::to_string(volume) + " %");
}

void OptionsDialog::UpdateFullScreenLabel() {
  fullScreenButton->SetText(std::string("Full   Screen   (") + (GetDisplayModeFlag() != 0 ? "on" : "off") + ")");
}

void OptionsDialog::OnMouseClick(std::uint32_t id, int /*button*/) {
  const int volume = GetMusicVolumeOption();
  if (id == closeButton->GetId()) {
    dialog->SetVisible(false);
  } else if (id == plusButton->GetId()) {
    // Kept to 100 here already, so a large value read from the file cannot wrap around.
    SetMusicVolumeOption(static_cast<std::uint16_t>(std::min(volume + kVolumeStep, kMaxVolume)));
    UpdateVolume();
  } else if (id == minusButton->GetId()) {
    SetMusicVolumeOption(static_cast<std::uint16_t>(std::max(volume - kVolumeStep, 0)));
    UpdateVolume();
  } else if (id == fullScreenButton->GetId()) {
    SetDisplayModeFlag(GetDisplayModeFlag() != 0 ? 0 : 1);
    UpdateFullScreenLabel();
  }
}

void OptionsDialog::OnDialogShowHide(std::uint32_t /*dialogId*/, bool visible) {
  if (!visible) return;
  UpdateVolume();
  UpdateFullScreenLabel();
}

}  // namespace Doduderor
