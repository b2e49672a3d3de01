// The puzzle screen: its controls, the level start and restart, the clock, the background
// and wind sounds, the tutorial level and the dialogs that end levels or choose them.
#include "game/GameMgr.h"

#include "game/FieldMgr.h"
#include "game/FinishDlg.h"
#include "game/HelpDlg.h"
#include "game/LevelSelectDlg.h"
#include "game/ListVO.h"
#include "game/MapList.h"
#include "game/NumberMgr.h"
#include "game/Player.h"
#include "kernel/common/Helpers.h"
#include "kernel/controls/IDialogVO.h"
#include "kernel/controls/IFactory.h"

namespace Doduderor {

using namespace ControlLibrary;

namespace {

constexpr std::uint16_t kButtonLayer = 650;
constexpr std::uint16_t kBackgroundLayer = 5;
constexpr std::int32_t kClockPeriodMs = 1000;
constexpr std::int32_t kMusicDelayMs = 1500;
constexpr std::int32_t kFirstAmbientMs = 30000;
constexpr std::uint32_t kAmbientMinMs = 60000;
constexpr std::uint32_t kAmbientMaxMs = 90000;
constexpr std::uint32_t kFinishModeTutorial = 0;
constexpr std::uint32_t kFinishModeLevel = 1;

const VOColor kMenuTextColors[5] = {{255, 255, 255}, {255, 255, 128}, {203, 203, 192}, {0, 0, 0}, {0, 0, 0}};

// One top button of the sheet "images/btn_menu.png": its x and width in the sheet.
struct MenuFace {
  int x;
  int width;
};

IButtonVO* MakeMenuButton(GameMgr* screen, IFont* font, ISound* click, const MenuFace& face) {
  IButtonVO* button = GetControlFactory()->CreateButtonVO();
  button->SetAlignment(kAlignCenter, kAlignLeftTop);
  button->SetLayer(kButtonLayer);
  IFont* const fonts[4] = {font, nullptr, nullptr, nullptr};
  button->SetStateFonts(fonts);
  button->SetStateTextColors(kMenuTextColors);
  button->SetSounds(click, nullptr, nullptr);
  button->SetTextOffset(0, -5);
  button->AddMouseObserver(screen);
  const std::string sheet[4] = {"images/btn_menu.png", "", "", ""};
  button->SetImages(sheet);
  const VORect rects[4] = {
      {face.x, 5, face.width, 30}, {face.x, 36, face.width, 30}, {face.x, 65, face.width, 30}, {face.x, 65, face.width, 30}};
  button->SetStateRects(rects);
  button->SetSize(face.width, 30);
  return button;
}

ISound* MakeSound(const std::string& name) {
  ISound* sound = GetControlFactory()->CreateSound();
  sound->Load(name);
  return sound;
}

}  // namespace

GameMgr::GameMgr(GameModuleObserver* observer, std::uint32_t id) : GameModule(observer, id) {}

GameMgr::~GameMgr() {
  RemoveOptionObserver(this);
  DeleteDialogs();
}

void GameMgr::DeleteDialogs() {
  // Each pointer is cleared first, so a show or hide reported while a dialog goes finds none.
  auto drop = [](auto*& dialog) {
    auto* going = dialog;
    dialog = nullptr;
    delete going;
  };
  drop(finishDialog);
  drop(levelSelectDialog);
  drop(helpDialog);
}

void GameMgr::Init() {
  IFactory* factory = GetControlFactory();
  IFont* font = factory->CreateFont();
  font->Load("fonts/a_BosaNova14.txt");
  clickSound = MakeSound("sounds/click.wav");

  menuButton = MakeMenuButton(this, font, clickSound, {5, 80});
  restartButton = MakeMenuButton(this, font, clickSound, {264, 132});
  optionsButton = MakeMenuButton(this, font, clickSound, {109, 130});
  exitButton = MakeMenuButton(this, font, clickSound, {420, 78});
  factory->Release(font);  // the buttons hold their own references

  background = factory->CreateImageVO();
  background->SetImage("images/game_fon/fon.png", true);
  background->SetAlignment(kAlignLeftTop, kAlignLeftTop);
  background->SetLayer(kBackgroundLayer);

  TimeLibrary::ITimeSystem* time = TimeLibrary::GetTimeSystem();
  clockTimer = time->CreateTimeObject(this, -1, kClockPeriodMs);
  if (clockTimer != nullptr) clockTimer->SetEndless(true);
  musicDelayTimer = time->CreateTimeObject(this, kMusicDelayMs, kMusicDelayMs);
  ambientTimer = time->CreateTimeObject(this, -1, kFirstAmbientMs);
  if (ambientTimer != nullptr) ambientTimer->SetEndless(true);

  startSound = MakeSound("sounds/game_start.wav");
  backSound = MakeSound("sounds/back.wav");
  windSound = MakeSound("sounds/wind.wav");

  finishDialog = new FinishDlg(this);
  levelSelectDialog = new LevelSelectDlg(this);
  helpDialog = new HelpDlg(this);
  helpDialog->GetDialog()->AddDialogObserver(this);

  FieldMgr::Instance()->BuildPanel(this);
  NumberMgr::Instance()->CreateModeButtons();

  AddOptionObserver(this);
  factory->AddKeybdSysObserver(this);
  PlaceControls();
}

void GameMgr::PlaceControls() {
  // The field, the numbers column, the panel, these buttons and the level dialogs stand at
  // the same points on both screen sizes, so the picture behind them (as big as the larger
  // screen) lies from the top-left corner too; the larger screen shows more of its sky.
  background->SetPosition(0, 0);
  restartButton->SetPosition(450, 10);
  menuButton->SetPosition(590, 10);
  optionsButton->SetPosition(730, 10);
  exitButton->SetPosition(910, 10);
}

void GameMgr::Show() {
  active = true;
  paused = false;
  background->SetVisible(true);
  menuButton->SetVisible(true);
  optionsButton->SetVisible(true);
  restartButton->SetVisible(true);
  exitButton->SetVisible(true);

  Player* player = GetCurrentPlayer(GetPlayerList());
  if (player->tutorialPending != 0) {
    MapList& maps = MapList::Instance();
    for (std::size_t i = 0; i < maps.Count(); ++i) {
      if (maps.At(static_cast<std::uint16_t>(i)).kind != "h") continue;
      player->mapIndex = static_cast<std::uint16_t>(i);
      ClearLevel();
      StartLevel();
      helpDialog->Show(true);
      return;
    }
  }
  levelSelectDialog->Show(true);
}

void GameMgr::Hide() {
  ClearLevel();
  menuButton->SetVisible(false);
  optionsButton->SetVisible(false);
  restartButton->SetVisible(false);
  exitButton->SetVisible(false);
  active = false;
}

void GameMgr::Release() {
  IFactory* factory = GetControlFactory();
  if (factory == nullptr) return;
  // No timer may reach a dialog or sound that is about to go.
  for (TimeLibrary::ITimeObject* timer : {clockTimer, musicDelayTimer, ambientTimer}) {
    if (timer != nullptr) timer->Stop();
  }
  DeleteDialogs();
  factory->DeleteVO(menuButton);
  factory->DeleteVO(optionsButton);
  factory->DeleteVO(restartButton);
  factory->DeleteVO(exitButton);
  factory->DeleteVO(background);
  menuButton = optionsButton = restartButton = exitButton = nullptr;
  background = nullptr;
  for (ISound** sound : {&clickSound, &startSound, &backSound, &windSound}) {
    factory->ReleaseSound(*sound);
    *sound = nullptr;
  }
  // The field and the numbers column were built for this screen on this factory and go with
  // its controls; a game started later builds its own.
  FieldMgr::DestroyInstance();
  NumberMgr::DestroyInstance();
  ListVO::DestroyInstance();
}

void GameMgr::StartLevel() {
  background->SetVisible(true);
  menuButton->SetEnabled(true);
  restartButton->SetEnabled(true);
  endingTutorial = false;
  FieldMgr::Instance()->StartLevel();
  FieldMgr::Instance()->SetActive(true);
  NumberMgr::Instance()->Build();
  NumberMgr::Instance()->SetActive(true);
  if (clockTimer != nullptr) {
    clockTimer->Stop();
    seconds = 0;
    clockTimer->Start(false, 0);
  }
  if (ambientTimer != nullptr) ambientTimer->Start(false, 0);
  if (musicDelayTimer != nullptr) musicDelayTimer->Start(false, 0);
  startSound->Play(false);
}

void GameMgr::ClearLevel() {
  background->SetVisible(false);
  FieldMgr::Instance()->SetActive(false);
  NumberMgr::Instance()->SetActive(false);
}

void GameMgr::SetPaused(bool pause) {
  if (clockTimer != nullptr) clockTimer->SetPaused(pause);
}

void GameMgr::StopAmbience() {
  // The music still waiting for its delay would begin under whatever follows the level.
  if (musicDelayTimer != nullptr) musicDelayTimer->Stop();
  backSound->Stop();
  if (ambientTimer != nullptr) ambientTimer->Stop();
  windSound->Stop();
}

void GameMgr::OnMouseClick(std::uint32_t id, int /*button*/) {
  if (menuButton != nullptr && id == menuButton->GetId()) {
    levelSelectDialog->Show(true);
    StopAmbience();
  } else if (restartButton != nullptr && id == restartButton->GetId()) {
    StopAmbience();
    ClearLevel();
    StartLevel();
  } else if (exitButton != nullptr && id == exitButton->GetId()) {
    if (observer != nullptr) observer->OnExitRequest();
  } else if (optionsButton != nullptr && id == optionsButton->GetId()) {
    if (observer != nullptr) observer->OnOptionsRequest();
  }
}

void GameMgr::OnDialogShowHide(std::uint32_t dialogId, bool visible) {
  if (visible || finishDialog == nullptr || levelSelectDialog == nullptr || helpDialog == nullptr) return;
  if (dialogId == levelSelectDialog->GetDialog()->GetId()) {
    if (levelSelectDialog->IsProfilesRequested() != 0) {
      if (observer != nullptr) observer->OnModuleFinished(GetId());
    } else {
      ClearLevel();
      StartLevel();
    }
  } else if (dialogId == helpDialog->GetDialog()->GetId()) {
    if (!endingTutorial) {
      EndTutorial();
      FieldMgr::Instance()->SetFinished();
    }
  } else if (dialogId == finishDialog->GetDialog()->GetId()) {
    if (finishDialog->mode == kFinishModeTutorial) {
      levelSelectDialog->Show(true);
    } else if (finishDialog->mode == kFinishModeLevel) {
      if (finishDialog->restartChosen != 0) {
        OnMouseClick(restartButton->GetId(), 1);
      } else if (finishDialog->newLevelChosen != 0) {
        levelSelectDialog->Show(true);
      }
    }
  }
}

void GameMgr::OnTimerTick(std::uint32_t id) {
  if (clockTimer != nullptr && id == clockTimer->GetId()) {
    ++seconds;
  } else if (ambientTimer != nullptr && id == ambientTimer->GetId()) {
    windSound->Play(false);
    ambientTimer->SetPeriod(static_cast<std::int32_t>(CommonLibrary::RandomInRange(kAmbientMinMs, kAmbientMaxMs)));
  }
}

void GameMgr::OnTimerFinished(std::uint32_t id) {
  if (musicDelayTimer == nullptr || id != musicDelayTimer->GetId()) return;
  if (active && levelSelectDialog != nullptr && !levelSelectDialog->GetDialog()->IsVisible()) backSound->Play(true);
}

void GameMgr::OnLevelComplete() {
  StopAmbience();
  if (helpDialog->GetDialog()->IsVisible()) {
    endingTutorial = true;
    EndTutorial();
    endingTutorial = false;
    return;
  }
  if (clockTimer != nullptr) clockTimer->Stop();
  finishDialog->mode = kFinishModeLevel;
  finishDialog->SetTime(seconds);
  finishDialog->Show(true);
}

void GameMgr::EndTutorial() {
  // Both ends of the tutorial (the field filled, or the window closed with "Skip") end the
  // level's music and wind here.
  StopAmbience();
  if (helpDialog->GetDialog()->IsVisible()) helpDialog->Show(false);
  Player* player = GetCurrentPlayer(GetPlayerList());
  player->tutorialPending = 0;
  player->mapIndex = kNoMapIndex;
  SaveAllPlayers(GetPlayerList());
  menuButton->SetEnabled(true);
  finishDialog->mode = kFinishModeTutorial;
  finishDialog->Show(true);
}

bool GameMgr::IsTutorialShown() { return helpDialog->GetDialog()->IsVisible(); }
bool GameMgr::OnTutorialLineSelected(bool horizontal) { return helpDialog->OnLineSelected(horizontal); }
void GameMgr::AdvanceTutorial() { helpDialog->Advance(); }
bool GameMgr::IsTutorialPlacementStep() { return helpDialog->IsPlacementStep(); }

void GameMgr::LockField() {
  if (IButtonVO* help = FieldMgr::Instance()->HelpButton(); help != nullptr) help->SetEnabled(false);
  menuButton->SetEnabled(false);
  restartButton->SetEnabled(false);
}

void GameMgr::MarkHorizontalLines() { FieldMgr::Instance()->MarkTutorialHorizontal(); }
void GameMgr::MarkVerticalLines() { FieldMgr::Instance()->MarkTutorialVertical(); }

}  // namespace Doduderor
