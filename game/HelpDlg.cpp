// The tutorial window: the six texts and the step machine that moves through them as the
// player selects lines and places numbers.
#include "game/HelpDlg.h"

#include <algorithm>

#include "game/GameModule.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IFactory.h"
#include "kernel/controls/IStringVO.h"

namespace Doduderor {

using namespace ControlLibrary;

// Stands in for the kernel's text box until it lands: the tutorial's text broken into
// lines (at its line feeds, and at blanks where a line would be wider than the box) on a
// column of centred labels, children of the dialog.
class TextLinesUntilTextBoxLands {
 public:
  static constexpr int kMaxLines = 9;

  TextLinesUntilTextBoxLands(BaseDialog& owner, int width, int height) : width(width), height(height) {
    IFactory* factory = GetControlFactory();
    for (IStringVO*& label : labels) {
      label = factory->CreateStringVO();
      label->SetAlignment(kAlignCenter, kAlignLeftTop);
      label->SetLayer(300);
      owner.GetDialog()->AddChild(label);
    }
  }
  ~TextLinesUntilTextBoxLands() {
    if (IFactory* factory = GetControlFactory())
      for (IStringVO* label : labels) factory->DeleteVO(label);
  }

  // Top centre of the text.
  void SetPosition(int x, int y) {
    left = x;
    top = y;
    Place();
  }
  void Clear() { lines.clear(); }
  void AddLine(const std::string& text, IFont* font, const VOColor& color) {
    lineHeight = font != nullptr && font->GetHeight() > 0 ? font->GetHeight() : 18;
    std::size_t start = 0;
    while (start <= text.size()) {
      const std::size_t end = std::min(text.find('\n', start), text.size());
      Wrap(text.substr(start, end - start), font);
      start = end + 1;
    }
    for (int i = 0; i < kMaxLines; ++i) {
      labels[i]->SetFont(font);
      labels[i]->SetColor(color);
      labels[i]->SetText(i < static_cast<int>(lines.size()) ? lines[i] : "");
    }
    Place();
  }
  std::vector<std::string> Lines() const { return lines; }

 private:
  void Wrap(const std::string& paragraph, IFont* font) {
    std::string line;
    std::size_t i = 0;
    while (i < paragraph.size()) {
      const std::size_t blank = paragraph.find(' ', i + 1);
      const std::string word = paragraph.substr(i, blank == std::string::npos ? std::string::npos : blank - i);
      if (!line.empty() && font != nullptr && font->GetTextWidth(line + word) > width) {
        lines.push_back(line);
        line.clear();
      }
      line += word;
      i += word.size();
    }
    lines.push_back(line);
  }
  void Place() {
    for (int i = 0; i < kMaxLines; ++i) {
      labels[i]->SetPosition(left, top + i * lineHeight);
      // Lines beyond the box's height are left out, as a page of the text box would.
      labels[i]->SetShowWithParent((i + 1) * lineHeight <= height);
    }
  }

  IStringVO* labels[kMaxLines] = {};
  std::vector<std::string> lines;
  int width;
  int height;
  int left = 0;
  int top = 0;
  int lineHeight = 18;
};

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
}  // namespace

HelpDlg::HelpDlg(IGameHelpMgr* helpMgr) : BaseDialog(nullptr), helpMgr(helpMgr) {
  dialog->SetSize(620, 220);
  dialog->SetBackground("images/dialog/620 220.png");
  dialog->SetModeless(1);
  dialog->SetAlignment(kAlignLeftTop, kAlignLeftTop);
  dialog->SetPosition(100, 80);
  font = LoadFont("fonts/a_BosaNova14.txt");
  ISound* click = LoadSound("sounds/click.wav");
  skipButton = MakeButton(font, click, kButtonTextColors, 114, 43, "Skip");
  UseDefaultFace(skipButton);
  textBox = std::make_unique<TextLinesUntilTextBoxLands>(*this, 580, 150);
  DropSound(click);
}

HelpDlg::~HelpDlg() {
  IFactory* factory = GetControlFactory();
  if (factory == nullptr) return;
  textBox.reset();
  factory->DeleteVO(skipButton);
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

std::vector<std::string> HelpDlg::GetShownLines() const { return textBox->Lines(); }

void HelpDlg::Advance() {
  if (step == kLastStep) return;
  ++step;
  ShowStep();
}

void HelpDlg::ShowStep() {
  if (step < 0 || step > kLastStep) return;
  textBox->Clear();
  textBox->AddLine(kTexts[step], font, VOColor{0, 0, 0});
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
