// The game object and the program's entry into it: the two screens and the switch between
// them, the exit question on closing, the options and the player profiles loaded at start
// and saved at shut-down.
#include "game/GameImpl.h"

#include <new>

#include "game/ExitDialog.h"
#include "game/GameMgr.h"
#include "game/MapList.h"
#include "game/Options.h"
#include "game/OptionsDialog.h"
#include "game/Player.h"
#include "game/StartMgr.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IFactory.h"
#include "kernel/kernel/Kernel.h"

namespace Doduderor {

using namespace ControlLibrary;

namespace {
constexpr std::uint16_t kBlankButtonLayer = 1500;
}  // namespace

GameImpl::GameImpl() : title("Quorvane"), version("1.0") {
  startScreen = new StartMgr(this, kStartModuleId);
  gameScreen = new GameMgr(this, kGameModuleId);
}

GameImpl::~GameImpl() {
  delete gameScreen;
  gameScreen = nullptr;
  // The start screen and the exit question are made once and live as long as the game.
  delete startScreen;
  startScreen = nullptr;
  delete exitDialog;
  exitDialog = nullptr;
}

void GameImpl::Init() {
  IFactory* factory = GetControlFactory();
  factory->AddPakFile("", "data.pak");
  LoadOptions();
  // The maps come from the archive just added; a player's map index is checked against them.
  LoadAllPlayers(GetPlayerList(), MapList::Instance().Count());
  startScreen->Init();
  gameScreen->Init();

  // An invisible button over the top-left corner while the start screen is up: a click
  // there only plays the click sound.
  clickSound = factory->CreateSound();
  clickSound->Load("sounds/click.wav");
  blankButton = factory->CreateButtonVO();
  blankButton->SetLayer(kBlankButtonLayer);
  blankButton->SetSize(100, 26);
  blankButton->AddMouseObserver(this);
  blankButton->SetTextOnly(true);
  const std::string sheet[4] = {"images/btn_default.png", "", "", ""};
  blankButton->SetImages(sheet);
  const VORect rects[4] = {{0, 0, 100, 26}, {0, 26, 100, 26}, {0, 52, 100, 26}, {0, 78, 100, 26}};
  blankButton->SetStateRects(rects);
  const VOColor colors[5] = {{0, 0, 0}, {128, 64, 0}, {203, 203, 192}, {103, 102, 87}, {0, 0, 0}};
  blankButton->SetStateTextColors(colors);
  blankButton->SetSounds(clickSound, nullptr, nullptr);

  optionsDialog = new OptionsDialog(nullptr);
  exitDialog = new ExitDialog(this);
}

void GameImpl::Shutdown() {
  SaveAllPlayers(GetPlayerList());
  SaveOptions();
  delete optionsDialog;
  optionsDialog = nullptr;
  gameScreen->Release();
  startScreen->Release();
  if (IFactory* factory = GetControlFactory(); factory != nullptr && blankButton != nullptr) {
    factory->DeleteVO(blankButton);
    factory->ReleaseSound(clickSound);
  }
  blankButton = nullptr;
  clickSound = nullptr;
  FreePlayerList();
}

void GameImpl::Start() {
  startScreen->Show();
  ShowBlankButton(true);
}

void GameImpl::Stop() {
  gameScreen->Hide();
  ShowBlankButton(false);
}

void GameImpl::OnCloseRequest() {
  if (quitsOnCloseWhenHeadless && plat::IsHeadless()) {
    OnQuitRequest();
    return;
  }
  AskExitQuestion();
}

void GameImpl::AskExitQuestion() {
  if (exitDialog == nullptr || exitDialog->GetDialog()->IsVisible()) return;
  gameScreen->SetPaused(true);
  exitDialog->Show(true);
}

void GameImpl::OnModuleFinished(std::uint32_t moduleId) {
  if (moduleId == startScreen->GetId()) {
    startScreen->Hide();
    gameScreen->Show();
    ShowBlankButton(false);
  } else if (moduleId == gameScreen->GetId()) {
    gameScreen->Hide();
    startScreen->Show();
    ShowBlankButton(true);
  }
}

void GameImpl::OnQuitRequest() {
  if (sysApp != nullptr) sysApp->Quit();
}

void GameImpl::OnOptionsRequest() {
  if (optionsDialog != nullptr) optionsDialog->Show(true);
}

void GameImpl::OnDialogShowHide(std::uint32_t dialogId, bool visible) {
  if (visible || exitDialog == nullptr || dialogId != exitDialog->GetDialog()->GetId()) return;
  if (exitDialog->answer == 0) {
    gameScreen->SetPaused(false);
  } else if (sysApp != nullptr) {
    sysApp->Quit();
  }
}

void GameImpl::ShowBlankButton(bool visible) {
  if (blankButton != nullptr) blankButton->SetVisible(visible);
}

GameImpl* CreateGame() { return new (std::nothrow) GameImpl(); }

int GameMain(plat::HINSTANCE instance) {
  GameImpl* game = CreateGame();
  if (game == nullptr) return 0;
  if (KernelLibrary::KernelStart(instance, game)) KernelLibrary::KernelStop();
  delete game;
  return 0;
}

}  // namespace Doduderor
