// The start screen: greets the current player, offers play, the player profiles and the
// more-games list, and opens the profiles dialog by itself when no player exists yet.
#pragma once

#include <cstdint>

#include "game/GameModule.h"
#include "kernel/controls/Handles.h"
#include "kernel/controls/IButtonVO.h"
#include "kernel/controls/IImageVO.h"
#include "kernel/controls/IStringVO.h"
#include "kernel/controls/Observers.h"
#include "kernel/effects/IEffectSystem.h"
#include "kernel/time/ITimeSystem.h"

namespace Doduderor {

class ProfilesDialog;
class MoreGamesDialog;

class StartMgr : public GameModule,
                 public ControlLibrary::MouseMessageObserver,
                 public ControlLibrary::KeybdMessageObserver,
                 public ControlLibrary::KeybdSysMessageObserver,
                 public ControlLibrary::DialogMessageObserver,
                 public EffectLibrary::EffectMessageObserver,
                 public TimeLibrary::TimeObjectMessageObserver {
 public:
  StartMgr(GameModuleObserver* observer, std::uint32_t id);
  // Deletes the screen's dialogs when Release has not.
  ~StartMgr() override;

  void Init() override;
  // Gives the controls and handles back and deletes the dialogs, while the factory that
  // made them still exists (the game's shut-down).
  void Release() override;
  void Show() override;
  void Hide() override;

  void PlaceControls();
  // Shows the current player's name and sizes the player button to its text.
  void UpdateWelcomeText();

  void OnMouseClick(std::uint32_t id, int button) override;
  // Space and Enter press the play button.
  void OnKeyDown(int key) override;
  bool WantsKeys() override;
  void OnDialogShowHide(std::uint32_t dialogId, bool visible) override;
  void OnTimerFinished(std::uint32_t id) override;

  ControlLibrary::IButtonVO* GetPlayButton() const { return playButton; }
  ControlLibrary::IButtonVO* GetPlayerButton() const { return playerButton; }
  ControlLibrary::IButtonVO* GetMoreGamesButton() const { return moreGamesButton; }
  ControlLibrary::IImageVO* GetBackground() const { return background; }
  ControlLibrary::IStringVO* GetWelcomeText() const { return welcomeText; }
  ControlLibrary::IStringVO* GetNameText() const { return nameText; }
  ControlLibrary::IStringVO* GetVersionText() const { return versionText; }
  ProfilesDialog* GetProfilesDialog() const { return profilesDialog; }
  MoreGamesDialog* GetMoreGamesDialog() const { return moreGamesDialog; }

 private:
  ControlLibrary::IButtonVO* playButton = nullptr;
  ControlLibrary::IButtonVO* playerButton = nullptr;
  ControlLibrary::IButtonVO* moreGamesButton = nullptr;
  ControlLibrary::IImageVO* background = nullptr;
  ControlLibrary::IStringVO* welcomeText = nullptr;
  ControlLibrary::IStringVO* nameText = nullptr;
  ControlLibrary::IStringVO* versionText = nullptr;
  ProfilesDialog* profilesDialog = nullptr;
  TimeLibrary::ITimeObject* profilesTimer = nullptr;
  ControlLibrary::IFont* nameFont = nullptr;
  MoreGamesDialog* moreGamesDialog = nullptr;
  // The buttons' click sound; buttons never give sound handles back, so the screen does.
  ControlLibrary::ISound* clickSound = nullptr;

  void DeleteDialogs();
};

}  // namespace Doduderor
