// The start screen: background, greeting with the current player's name, play, player and
// more-games buttons, version; opens the profiles dialog by itself when nobody has a profile.
#include "game/StartMgr.h"

#include "game/MoreGamesDialog.h"
#include "game/Options.h"
#include "game/Player.h"
#include "game/ProfilesDialog.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IFactory.h"

namespace Doduderor {

using namespace ControlLibrary;

namespace {

constexpr int kKeyEnter = 13;
constexpr int kKeySpace = 32;
constexpr std::uint16_t kButtonLayer = 50;
constexpr std::uint16_t kBackgroundLayer = 10;
constexpr std::uint16_t kTextLayer = 100;
constexpr int kPlayerButtonHeight = 27;

const VOColor kStartTextColors[5] = {{0, 0, 0}, {252, 133, 133}, {203, 203, 192}, {203, 203, 192}, {0, 0, 0}};

IButtonVO* MakeStartButton(StartMgr* screen, IFont* font, ISound* click) {
  IButtonVO* button = GetControlFactory()->CreateButtonVO();
  button->SetAlignment(kAlignCenter, kAlignCenter);
  button->SetLayer(kButtonLayer);
  button->SetSize(120, 120);
  IFont* const fonts[4] = {font, nullptr, nullptr, nullptr};
  button->SetStateFonts(fonts);
  const VORect rects[4] = {{0, 0, 120, 120}, {120, 0, 120, 120}, {240, 0, 120, 120}, {360, 0, 120, 120}};
  button->SetStateRects(rects);
  button->SetStateTextColors(kStartTextColors);
  button->SetSounds(click, nullptr, nullptr);
  button->SetTextOffset(0, -5);
  button->AddMouseObserver(screen);
  button->AddKeybdObserver(screen);
  return button;
}

IStringVO* MakeStartText(const std::string& fontName, const VOColor& color, const std::string& text) {
  IFactory* factory = GetControlFactory();
  IStringVO* label = factory->CreateStringVO();
  IFont* font = factory->CreateFont();
  font->Load(fontName);
  label->SetFont(font);
  factory->Release(font);  // the label holds its own reference
  label->SetAlignment(kAlignCenter, kAlignCenter);
  label->SetLayer(kTextLayer);
  label->SetColor(color);
  if (!text.empty()) label->SetText(text);
  return label;
}

}  // namespace

StartMgr::StartMgr(GameModuleObserver* observer, std::uint32_t id) : GameModule(observer, id) {}

StartMgr::~StartMgr() { DeleteDialogs(); }

void StartMgr::DeleteDialogs() {
  // Cleared first, so a hide reported while a dialog goes finds none.
  ProfilesDialog* profiles = profilesDialog;
  profilesDialog = nullptr;
  delete profiles;
  MoreGamesDialog* moreGames = moreGamesDialog;
  moreGamesDialog = nullptr;
  delete moreGames;
}

void StartMgr::Init() {
  IFactory* factory = GetControlFactory();
  factory->AddKeybdSysObserver(this);

  nameFont = factory->CreateFont();
  nameFont->Load("fonts/a_BosaNova14.txt");
  clickSound = factory->CreateSound();
  clickSound->Load("sounds/click.wav");

  playButton = MakeStartButton(this, nameFont, clickSound);
  playerButton = MakeStartButton(this, nameFont, clickSound);
  moreGamesButton = MakeStartButton(this, nameFont, clickSound);

  const std::string playSheet[4] = {"images/play.png", "", "", ""};
  playButton->SetImages(playSheet);
  const VORect playRects[4] = {{10, 8, 426, 46}, {12, 68, 426, 46}, {13, 128, 426, 46}, {13, 128, 426, 46}};
  playButton->SetStateRects(playRects);
  playButton->SetSize(426, 46);

  const VORect moreRects[4] = {{5, 7, 188, 32}, {5, 38, 188, 32}, {5, 71, 188, 32}, {5, 102, 188, 32}};
  moreGamesButton->SetStateRects(moreRects);
  moreGamesButton->SetSize(188, 32);
  const std::string moreSheet[4] = {"images/btn_more_games.png", "", "", ""};
  moreGamesButton->SetImages(moreSheet);
  moreGamesButton->SetTextOnly(false);

  playerButton->SetText("Create");
  playerButton->SetTextOnly(true);

  background = factory->CreateImageVO();
  background->SetImage("images/fon_start.png", true);
  background->SetAlignment(kAlignCenter, kAlignCenter);
  background->SetLayer(kBackgroundLayer);

  welcomeText = MakeStartText("fonts/a_BosaNova20.txt", VOColor{128, 0, 0}, "Welcom,");
  nameText = MakeStartText("fonts/a_BosaNova20.txt", VOColor{128, 0, 0}, "");
  versionText = MakeStartText("fonts/a_BosaNova14.txt", VOColor{103, 102, 87}, "1.0");

  profilesDialog = new ProfilesDialog(this);
  profilesDialog->GetDialog()->SetSize(380, 450);
  moreGamesDialog = new MoreGamesDialog(this);

  profilesTimer = TimeLibrary::GetTimeSystem()->CreateTimeObject(this, 1, 1);
  PlaceControls();
}

void StartMgr::PlaceControls() {
  int w = 0;
  int h = 0;
  GetResolutionSize(w, h);
  const int cx = static_cast<int>(static_cast<unsigned>(w) / 2);
  const int cy = static_cast<int>(static_cast<unsigned>(h) / 2);
  playButton->SetPosition(cx + 20, cy + 30);
  welcomeText->SetPosition(cx, cy - 195);
  nameText->SetPosition(cx, cy - 130);
  versionText->SetPosition(cx + 496, cy + 372);
  playerButton->SetPosition(cx, cy - 70);
  moreGamesButton->SetPosition(cx - 132, cy + 280);
  background->SetPosition(cx, cy);
}

void StartMgr::Show() {
  active = true;
  background->SetVisible(true);
  playButton->SetVisible(true);
  playerButton->SetVisible(true);
  moreGamesButton->SetVisible(true);
  // Centred under the play button: (512, 664) on the 1024 x 768 screen, and at the same
  // place of the centred picture on the larger one.
  int w = 0;
  int h = 0;
  GetResolutionSize(w, h);
  moreGamesButton->SetPosition(static_cast<int>(static_cast<unsigned>(w) / 2),
                               static_cast<int>(static_cast<unsigned>(h) / 2) + 280);
  welcomeText->SetVisible(true);
  nameText->SetVisible(true);
  versionText->SetVisible(true);
  playButton->SetFocus(true);
  UpdateWelcomeText();
  if (GetPlayerList()->empty() && profilesTimer != nullptr) profilesTimer->Start(false, 0);
}

void StartMgr::Hide() {
  background->SetVisible(false);
  playButton->SetVisible(false);
  playerButton->SetVisible(false);
  moreGamesButton->SetVisible(false);
  welcomeText->SetVisible(false);
  nameText->SetVisible(false);
  versionText->SetVisible(false);
  active = false;
}

void StartMgr::Release() {
  IFactory* factory = GetControlFactory();
  if (factory == nullptr) return;
  // The one-shot timer must not open a dialog that is about to go.
  if (profilesTimer != nullptr) profilesTimer->Stop();
  DeleteDialogs();
  factory->DeleteVO(playButton);
  factory->DeleteVO(playerButton);
  factory->DeleteVO(moreGamesButton);
  factory->DeleteVO(background);
  factory->DeleteVO(welcomeText);
  factory->DeleteVO(nameText);
  factory->DeleteVO(versionText);
  playButton = playerButton = moreGamesButton = nullptr;
  background = nullptr;
  welcomeText = nameText = versionText = nullptr;
  // The handles go with the controls that used them.
  factory->ReleaseSound(clickSound);
  clickSound = nullptr;
  factory->Release(nameFont);
  nameFont = nullptr;
}

void StartMgr::UpdateWelcomeText() {
  PlayerList* list = GetPlayerList();
  if (list->empty()) return;
  const std::string name = GetCurrentPlayer(list)->name;
  nameText->SetText(name + "!");
  const std::string label = "if you not " + name + " click here";
  playerButton->SetText(label);
  playerButton->SetSize(static_cast<std::uint16_t>(nameFont->GetTextWidth(label)), kPlayerButtonHeight);
}

void StartMgr::OnMouseClick(std::uint32_t id, int /*button*/) {
  if (playButton != nullptr && id == playButton->GetId()) {
    playButton->SetVisible(false);
    if (observer != nullptr) observer->OnModuleFinished(GetId());
  } else if (playerButton != nullptr && id == playerButton->GetId() && profilesDialog != nullptr) {
    profilesDialog->Show(true);
  } else if (moreGamesButton != nullptr && id == moreGamesButton->GetId() && moreGamesDialog != nullptr) {
    moreGamesDialog->Show(true);
  }
}

void StartMgr::OnKeyDown(int key) {
  if (key == kKeySpace || key == kKeyEnter) playButton->PerformClick();
}

// Not while a modal dialog (the profiles, a new player's name) holds the screen down.
bool StartMgr::WantsKeys() { return background != nullptr && background->IsVisible() && background->IsEnabled(); }

void StartMgr::OnDialogShowHide(std::uint32_t dialogId, bool visible) {
  if (visible || profilesDialog == nullptr || dialogId != profilesDialog->GetDialog()->GetId()) return;
  playButton->SetFocus(true);
  UpdateWelcomeText();
}

void StartMgr::OnTimerFinished(std::uint32_t id) {
  if (profilesTimer != nullptr && id == profilesTimer->GetId() && profilesDialog != nullptr) profilesDialog->Show(true);
}

}  // namespace Doduderor
