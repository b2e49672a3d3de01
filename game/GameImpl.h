// The game object: owns the start and puzzle screens and switches between them, answers
// the window's close request with the exit question, and loads and saves the options and
// the player profiles around the game's life. GameMain is the program's entry into it.
#pragma once

#include <cstdint>
#include <string>

#include "game/GameModule.h"
#include "kernel/controls/IButtonVO.h"
#include "kernel/controls/Observers.h"
#include "kernel/kernel/IGame.h"
#include "platform/Window.h"

namespace Doduderor {

class StartMgr;
class GameMgr;
class ExitDialog;
class OptionsDialog;

class GameImpl : public KernelLibrary::IGame,
                 public GameModuleObserver,
                 public ControlLibrary::MouseMessageObserver,
                 public ControlLibrary::DialogMessageObserver {
 public:
  GameImpl();
  ~GameImpl() override;

  // ---- KernelLibrary::IGame ----
  void SetSysApp(KernelLibrary::ISysApp* app) override { sysApp = app; }
  void Init() override;
  void Shutdown() override;
  void Start() override;
  void Stop() override;
  void GetTitle(std::string& out) override { out = title; }
  void GetVersion(std::string& out) override { out = version; }
  // The window was closed: asks the exit question. Headless there is nobody to answer it,
  // so a close request from outside (SIGTERM) ends the game at once (see quitsOnCloseWhenHeadless).
  void OnCloseRequest() override;

  // ---- GameModuleObserver ----
  void OnModuleFinished(std::uint32_t moduleId) override;
  void OnExitRequest() override { AskExitQuestion(); }
  void OnQuitRequest() override;
  void OnOptionsRequest() override;

  // ---- DialogMessageObserver ----
  // A hide of the exit question: "No" resumes the clock, "Yes" quits.
  void OnDialogShowHide(std::uint32_t dialogId, bool visible) override;

  void ShowBlankButton(bool visible);
  // Pauses the puzzle clock and shows the exit question, unless it is already shown.
  void AskExitQuestion();

  // True by default: headless, a close request quits without the question. Tests that
  // drive the question through close requests turn it off.
  bool quitsOnCloseWhenHeadless = true;

  StartMgr* GetStartScreen() const { return startScreen; }
  GameMgr* GetGameScreen() const { return gameScreen; }
  ExitDialog* GetExitDialog() const { return exitDialog; }
  OptionsDialog* GetOptionsDialog() const { return optionsDialog; }
  ControlLibrary::IButtonVO* GetBlankButton() const { return blankButton; }

 private:
  KernelLibrary::ISysApp* sysApp = nullptr;
  std::string title;
  std::string version;
  StartMgr* startScreen = nullptr;
  GameMgr* gameScreen = nullptr;
  ExitDialog* exitDialog = nullptr;
  ControlLibrary::IButtonVO* blankButton = nullptr;
  OptionsDialog* optionsDialog = nullptr;
  // The blank button's click sound, given back with the button.
  ControlLibrary::ISound* clickSound = nullptr;
};

// Allocates the game object; null when that fails.
GameImpl* CreateGame();

// The program's entry into the game: creates the game object, runs it through the kernel
// (stopping the kernel only when it started), deletes the game and returns 0.
int GameMain(plat::HINSTANCE instance);

}  // namespace Doduderor
