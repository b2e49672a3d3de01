// The puzzle screen: background, the four top buttons, the level selection, tutorial and
// finish dialogs, the clock of the level and its sounds. It starts, restarts and ends levels
// and runs the tutorial; the field and the numbers column belong to their managers.
#pragma once

#include <atomic>
#include <cstdint>

#include "game/GameModule.h"
#include "game/Options.h"
#include "kernel/controls/IButtonVO.h"
#include "kernel/controls/IImageVO.h"
#include "kernel/controls/Observers.h"
#include "kernel/effects/IEffectSystem.h"
#include "kernel/time/ITimeSystem.h"

namespace Doduderor {

class FinishDlg;
class LevelSelectDlg;
class HelpDlg;

class GameMgr : public GameModule,
                public ControlLibrary::MouseMessageObserver,
                public ControlLibrary::DialogMessageObserver,
                public EffectLibrary::EffectMessageObserver,
                public TimeLibrary::TimeObjectMessageObserver,
                public IOptionObserver,
                public ControlLibrary::KeybdSysMessageObserver,
                public IGameMgr,
                public IGameHelpMgr {
 public:
  GameMgr(GameModuleObserver* observer, std::uint32_t id);
  // Leaves the option observers and deletes the screen's dialogs when Release has not.
  ~GameMgr() override;

  // ---- GameModule ----
  void Init() override;
  // Stops the timers, gives the controls and handles back and deletes the dialogs, while
  // the factory that made them still exists (the game's shut-down).
  void Release() override;
  void Show() override;
  void Hide() override;

  // Starts the current player's map: field, numbers, clock, timers and the start sound.
  void StartLevel();
  // Takes the level off the screen.
  void ClearLevel();
  // Pauses or resumes the clock of the level.
  void SetPaused(bool paused);
  void PlaceControls();
  // Ends the level's music and wind, clears the tutorial flag, saves the players and shows
  // the finish dialog in mode 0.
  void EndTutorial();

  // ---- Observers ----
  void OnMouseClick(std::uint32_t id, int button) override;
  void OnDialogShowHide(std::uint32_t dialogId, bool visible) override;
  void OnTimerFinished(std::uint32_t id) override;
  void OnTimerTick(std::uint32_t id) override;
  void OnMusicVolumeChanged() override {}
  void OnOptionUnused() override {}
  bool WantsKeys() override { return active; }

  // ---- IGameMgr ----
  void OnLevelComplete() override;
  bool IsTutorialShown() override;
  bool OnTutorialLineSelected(bool horizontal) override;
  void AdvanceTutorial() override;
  bool IsPaused() override { return paused; }
  bool IsTutorialPlacementStep() override;
  void AdvanceTutorialAfterPlacement() override { AdvanceTutorial(); }

  // ---- IGameHelpMgr ----
  void LockField() override;
  void MarkHorizontalLines() override;
  void HelpUnused1() override {}
  void MarkVerticalLines() override;
  void HelpUnused2() override {}
  void PauseGame() override { paused = true; }

  // Seconds of the current level so far.
  std::uint16_t GetSeconds() const { return seconds.load(); }
  FinishDlg* GetFinishDialog() const { return finishDialog; }
  LevelSelectDlg* GetLevelSelectDialog() const { return levelSelectDialog; }
  HelpDlg* GetHelpDialog() const { return helpDialog; }
  ControlLibrary::IImageVO* GetBackground() const { return background; }
  ControlLibrary::IButtonVO* GetMenuButton() const { return menuButton; }
  ControlLibrary::IButtonVO* GetOptionsButton() const { return optionsButton; }
  ControlLibrary::IButtonVO* GetRestartButton() const { return restartButton; }
  ControlLibrary::IButtonVO* GetExitButton() const { return exitButton; }
  TimeLibrary::ITimeObject* GetClockTimer() const { return clockTimer; }
  TimeLibrary::ITimeObject* GetAmbientTimer() const { return ambientTimer; }
  TimeLibrary::ITimeObject* GetMusicDelayTimer() const { return musicDelayTimer; }
  ControlLibrary::ISound* GetBackSound() const { return backSound; }

 private:
  // Stops the background and wind sounds, the ambient timer and the music's delay.
  void StopAmbience();
  void DeleteDialogs();

  ControlLibrary::IImageVO* background = nullptr;
  ControlLibrary::IButtonVO* menuButton = nullptr;
  ControlLibrary::IButtonVO* optionsButton = nullptr;
  ControlLibrary::IButtonVO* restartButton = nullptr;
  ControlLibrary::IButtonVO* exitButton = nullptr;
  FinishDlg* finishDialog = nullptr;
  LevelSelectDlg* levelSelectDialog = nullptr;
  HelpDlg* helpDialog = nullptr;
  bool paused = false;
  bool endingTutorial = false;
  // Written by the clock on the timing thread, read on the main thread.
  std::atomic<std::uint16_t> seconds{0};
  TimeLibrary::ITimeObject* clockTimer = nullptr;
  TimeLibrary::ITimeObject* musicDelayTimer = nullptr;
  TimeLibrary::ITimeObject* ambientTimer = nullptr;
  ControlLibrary::ISound* startSound = nullptr;
  ControlLibrary::ISound* backSound = nullptr;
  ControlLibrary::ISound* windSound = nullptr;
  // The top buttons' click sound; buttons never give sound handles back, so the screen does.
  ControlLibrary::ISound* clickSound = nullptr;
};

}  // namespace Doduderor
