// The tutorial window: the six texts and the step machine that moves through them as the
// player selects lines and places numbers.
#include "game/HelpDlg.h"

#include "game/GameModule.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IFactory.h"
#include "kernel/controls/ITextVOs.h"

namespace Doduderor {

using namespace ControlLibrary;

const std::string HelpDlg::kTexts[kStepCount] = {
    "The main goal of the game is to fill in all the cells. \n So, click one of the cells in green ink to select "
    "horizontal line. \n(use left mouse button)",
    "You can see a number in the right column. \n If there is only one number left  - use space for fast insert. "
    "\n\n Now - click a number to fill in a selected line (or click space button).",
    "To select a vertical line use right mouse button. \n\n Now select a vertical line in green ink. \n (use right "
    "mouse button)",
    "Take a look at buttons near the center of number's column.\n This buttons switches display mode for numbers in "
    "the list. \nYou can see all the numbers for a selected line, or all number except used, \nor only numbers you "
    "can fill in. \n\n Now - click the number to fill in vertical line.",
    "You can use space to clear selected line. \n\n  Now - select and fill in next line connected to the current "
    "one you are working on or try clearing a line.",
    "Great. Now let me tell you about Next and Previous button.\n You can use them to undo or redo your steps during "
    "the game. Also, you can use a help button to unlock one random line on the field. \n\n And now finish level by "
    "filling in all the cells.",
};

namespace {
constexpr int kLastStep = HelpDlg::kStepCount - 1;
constexpr std::uint32_t kCentreText = 1;
}  // namespace

HelpDlg::HelpDlg(IGameHelpMgr* helpMgr) : BaseDialog(nullptr), helpMgr(helpMgr) {
  IFactory* factory = GetControlFactory();
  dialog->SetSize(620, 220);
  dialog->SetBackground("images/dialog/620 220.png");
  dialog->SetModeless(1);
  dialog->SetAlignment(kAlignLeftTop, kAlignLeftTop);
  dialog->SetPosition(100, 80);
  font = LoadFont("fonts/a_BosaNova14.txt");
  ISound* click = LoadSound("sounds/click.wav");
  skipButton = MakeButton(font, click, kButtonTextColors, 114, 43, "Skip");
  UseDefaultFace(skipButton);
  textBox = factory->CreateTextBoxVO();
  textBox->SetAlignment(kAlignCenter, kAlignLeftTop);
  textBox->SetSize(580, 150);
  textBox->SetLayer(300);
  AddChild(textBox);
  DropSound(click);
}

HelpDlg::~HelpDlg() {
  IFactory* factory = GetControlFactory();
  if (factory == nullptr) return;
  factory->DeleteVO(skipButton);
  factory->DeleteVO(textBox);
  factory->Release(font);
}

void HelpDlg::Show(bool visible) {
  if (visible) {
    if (helpMgr != nullptr) helpMgr->LockField();
    step = 0;
    ShowStep();
  }
  BaseDialog::Show(visible);
}

void HelpDlg::LayoutControls() {
  const Centre c = GetCentre();
  textBox->SetPosition(c.cx, c.cy - 100);
  skipButton->SetPosition(c.cx, c.cy + 85);
}

void HelpDlg::OnMouseClick(std::uint32_t id, int /*button*/) {
  if (id == skipButton->GetId()) dialog->SetVisible(false);
}

bool HelpDlg::OnLineSelected(bool horizontal) {
  if ((step == 0 && horizontal) || (step == 2 && !horizontal)) {
    ++step;
    ShowStep();
    return true;
  }
  return false;
}

void HelpDlg::Advance() {
  if (step == kLastStep) return;
  ++step;
  ShowStep();
}

void HelpDlg::ShowStep() {
  if (step < 0 || step > kLastStep) return;
  textBox->Clear();
  textBox->AddLine(kTexts[step], font, kCentreText, VOColor{0, 0, 0});
  if (helpMgr == nullptr) return;
  switch (step) {
    case 0:
      helpMgr->MarkHorizontalLines();
      break;
    case 1:
      helpMgr->HelpUnused1();
      break;
    case 2:
      helpMgr->MarkVerticalLines();
      break;
    case 3:
      helpMgr->HelpUnused2();
      helpMgr->PauseGame();
      break;
    default:
      helpMgr->HelpUnused2();
      break;
  }
}

}  // namespace Doduderor
