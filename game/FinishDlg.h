// The dialog shown when a level ends: the time taken and a choice of restarting, a new
// level or closing; or, after the tutorial, a word that other levels are open now.
#pragma once

#include <cstdint>

#include "game/BaseDialog.h"

namespace Doduderor {

class FinishDlg : public BaseDialog {
 public:
  // The modes the game screen sets before showing the dialog.
  enum : std::uint32_t { kModeTutorialEnded = 0, kModeLevelCompleted = 1 };

  explicit FinishDlg(ControlLibrary::DialogMessageObserver* owner);
  ~FinishDlg() override;

  // Stores the seconds and shows them as minutes " : " seconds, without leading zeros.
  void SetTime(std::uint16_t seconds);
  // Plays the game-over sound when shown and fills the texts for the mode.
  void Show(bool visible) override;
  void LayoutControls() override;
  // Restart, new level or close: records the answer and hides the dialog.
  void OnMouseClick(std::uint32_t id, int button) override;

  ControlLibrary::IButtonVO* GetRestartButton() const { return restartButton; }
  ControlLibrary::IButtonVO* GetNewLevelButton() const { return newLevelButton; }
  ControlLibrary::IButtonVO* GetCloseButton() const { return closeButton; }
  ControlLibrary::IStringVO* GetLine1() const { return line1; }
  ControlLibrary::IStringVO* GetLine2() const { return line2; }
  ControlLibrary::IStringVO* GetTimeText() const { return timeText; }

  // The answer, read by the game screen when the dialog is hidden.
  std::uint8_t restartChosen = 0;
  std::uint8_t newLevelChosen = 0;
  std::uint32_t mode = kModeLevelCompleted;
  std::uint16_t seconds = 0;

 private:
  ControlLibrary::IButtonVO* restartButton = nullptr;
  ControlLibrary::IButtonVO* newLevelButton = nullptr;
  ControlLibrary::IButtonVO* closeButton = nullptr;
  ControlLibrary::IStringVO* line1 = nullptr;
  ControlLibrary::IStringVO* line2 = nullptr;
  ControlLibrary::IStringVO* timeText = nullptr;
  ControlLibrary::ISound* gameOverSound = nullptr;
};

}  // namespace Doduderor
