// The more-games dialog: three titles of the maker, each a picture with a link, and the
// maker's site.
#include "game/MoreGamesDialog.h"

#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IFactory.h"
#include "kernel/controls/IImageVO.h"

namespace Doduderor {

using namespace ControlLibrary;

namespace {

struct OtherTitle {
  const char* name;
  const char* address;
  const char* picture;
};

// The maker's other titles, in link order (first, second, third), and its site.
const OtherTitle kTitles[3] = {
    {"Star Garden", "https://quorvane.example.org/games/star-garden", "images/more_games/1.png"},
    {"Tile Harbour", "https://quorvane.example.org/games/tile-harbour", "images/more_games/2.png"},
    {"Lantern Keeper", "https://quorvane.example.org/games/lantern-keeper", "images/more_games/3.png"},
};
const char* const kSiteAddress = "https://quorvane.example.org";
const VOColor kLinkColor = {110, 2, 5};

}  // namespace

MoreGamesDialog::MoreGamesDialog(DialogMessageObserver* owner) : BaseDialog(nullptr) {
  IFactory* factory = GetControlFactory();
  if (owner != nullptr) dialog->AddDialogObserver(owner);
  dialog->SetBackground("images/dialog/800 600.png");
  dialog->SetSize(800, 600);
  IFont* font14 = LoadFont("fonts/a_BosaNova14.txt");
  ISound* click = LoadSound("sounds/click.wav");
  closeButton = MakeButton(font14, click, kButtonTextColorsBlackDisabled, 114, 43, "Close");
  UseDefaultFace(closeButton);
  closeButton->SetTextOffset(0, -5);

  for (ILinkVO*& link : links) {
    link = factory->CreateLinkVO();
    link->SetFont(font14);
    link->SetAlignment(kAlignCenter, kAlignCenter);
    link->SetLayer(100);
    link->SetColor(kLinkColor);
    AddChild(link);
  }
  for (int i = 0; i < 3; ++i) {
    links[i]->SetText(kTitles[i].name);
    links[i]->SetAddress(kTitles[i].address);
  }
  links[3]->SetText(kSiteAddress);
  links[3]->SetAddress(kSiteAddress);

  for (IImageVO*& picture : pictures) {
    picture = factory->CreateImageVO();
    picture->SetAlignment(kAlignCenter, kAlignCenter);
    AddChild(picture);
  }
  // The second picture stands above the third link, the third above the second link.
  const int titleOfPicture[3] = {0, 2, 1};
  for (int i = 0; i < 3; ++i) {
    pictures[i]->SetImage(kTitles[titleOfPicture[i]].picture, true);
    pictures[i]->SetLayer(150);
    pictures[i]->SetSize(200, 140);
  }

  caption = factory->CreateStringVO();
  caption->SetFont(font14);
  caption->SetText("See all our game at:");
  caption->SetColor({0, 0, 0});
  caption->SetAlignment(kAlignCenter, kAlignCenter);
  AddChild(caption);

  factory->AddKeybdSysObserver(this);
  DropFont(font14);
  DropSound(click);
}

MoreGamesDialog::~MoreGamesDialog() {
  IFactory* factory = GetControlFactory();
  if (factory == nullptr) return;
  factory->DeleteVO(closeButton);
  for (ILinkVO* link : links) factory->DeleteVO(link);
}

void MoreGamesDialog::LayoutControls() {
  const Centre c = GetCentre();
  pictures[0]->SetPosition(c.cx - 178, c.cy - 150);
  pictures[1]->SetPosition(c.cx + 178, c.cy - 150);
  pictures[2]->SetPosition(c.cx - 178, c.cy + 110);
  links[0]->SetPosition(c.cx - 180, c.cy - 60);
  links[2]->SetPosition(c.cx + 170, c.cy - 60);
  links[1]->SetPosition(c.cx - 180, c.cy + 200);
  links[3]->SetPosition(c.cx + 180, c.cy + 120);
  caption->SetPosition(c.cx + 180, c.cy + 80);
  closeButton->SetPosition(c.cx, c.cy + 265);
}

}  // namespace Doduderor
