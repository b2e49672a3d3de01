// The error message of the new-player dialog and its "Ok" button.
#include "game/ErrorDialog.h"

#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IFactory.h"

namespace Doduderor {

using namespace ControlLibrary;

ErrorDialog::ErrorDialog(DialogMessageObserver* owner) : BaseDialog(nullptr) {
  if (owner != nullptr) dialog->AddDialogObserver(owner);
  dialog->SetSize(400, 200);
  dialog->SetBackground("images/dialog/380 220.png");
  IFont* font14 = LoadFont("fonts/a_BosaNova14.txt");
  ISound* click = LoadSound("sounds/click.wav");
  okButton = MakeButton(font14, click, kButtonTextColorsBlackDisabled, 114, 43, "Ok");
  UseDefaultFace(okButton);
  okButton->SetTextOffset(0, -5);
  IFont* font16 = LoadFont("fonts/a_BosaNova16.txt");
  message = MakeText(font16, VOColor{255, 255, 10}, "Player with this name already exist!");
  DropFont(font14);
  DropFont(font16);
  DropSound(click);
}

ErrorDialog::~ErrorDialog() {
  IFactory* factory = GetControlFactory();
  if (factory == nullptr) return;
  factory->DeleteVO(okButton);
  factory->DeleteVO(message);
}

namespace {
// The picture ("380 220.png", shared with the exit question) is 220 rows high; its band for
// a line of text is made for a text placed at row 70, where the exit question puts its own.
constexpr int kPictureHeight = 220;
constexpr int kPictureTextRow = 70;
}  // namespace

void ErrorDialog::LayoutControls() {
  const Centre c = GetCentre();
  // The picture is drawn at the dialog's height (200 rows: the band moves up), and the text
  // goes with it, so it sits centred on the band.
  message->SetPosition(c.cx, kPictureTextRow * c.height / kPictureHeight);
  okButton->SetPosition(c.cx, c.cy + 50);
}

void ErrorDialog::OnMouseClick(std::uint32_t id, int /*button*/) {
  if (id == okButton->GetId()) dialog->SetVisible(false);
}

}  // namespace Doduderor
