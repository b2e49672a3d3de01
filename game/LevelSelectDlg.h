// The level selection shown before each level: difficulty tabs, the list of levels with
// a preview, "Play" to start the chosen map and "Profiles" to go back to the start screen.
#pragma once

#include "game/BaseDialog.h"

namespace Doduderor {

class LevelSelectDlg : public BaseDialog, public ControlLibrary::KeybdSysMessageObserver {
 public:
  enum Tab { kAll = 0, kEasy = 1, kMedium = 2, kHard = 3 };

  // The game screen passes itself and reads IsProfilesRequested when the dialog hides.
  explicit LevelSelectDlg(ControlLibrary::DialogMessageObserver* owner);
  ~LevelSelectDlg() override;

  void Show(bool visible) override;
  void LayoutControls() override;
  void OnMouseClick(std::uint32_t id, int button) override;
  // Enter acts as "Play" while "Play" is enabled.
  void OnKeyUp(int key) override;
  bool WantsKeys() override { return DialogWantsKeys(); }
  void EnableTabs();

  // 1 when the dialog was closed with "Profiles", 0 after every show.
  std::uint8_t IsProfilesRequested() const { return profilesRequested; }

  ControlLibrary::IButtonVO* GetTab(int tab) const { return tabs[tab]; }
  ControlLibrary::IButtonVO* GetPlayButton() const { return playButton; }
  ControlLibrary::IButtonVO* GetProfilesButton() const { return profilesButton; }

 private:
  ControlLibrary::IButtonVO* tabs[4] = {};
  ControlLibrary::IButtonVO* playButton = nullptr;
  ControlLibrary::IButtonVO* profilesButton = nullptr;
  std::uint8_t profilesRequested = 0;
};

}  // namespace Doduderor
