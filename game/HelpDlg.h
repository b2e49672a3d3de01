// The tutorial window: six texts shown one at a time above a "Skip" button while the
// player keeps playing the field below (the window is modeless).
#pragma once

#include <string>

#include "game/BaseDialog.h"

namespace ControlLibrary {
class ITextBoxVO;
}

namespace Doduderor {

class IGameHelpMgr;

class HelpDlg : public BaseDialog {
 public:
  static constexpr int kStepCount = 6;
  // The tutorial's texts, one per step.
  static const std::string kTexts[kStepCount];

  // The game screen passes itself; the dialog asks it to lock the field, mark the lines
  // to select and pause the clock.
  explicit HelpDlg(IGameHelpMgr* helpMgr);
  ~HelpDlg() override;

  // Showing starts again at step 0 (locking the field first).
  void Show(bool visible) override;
  void LayoutControls() override;
  void OnMouseClick(std::uint32_t id, int button) override;

  // At step 0 a horizontal selection, at step 2 a vertical one, moves to the next step
  // and returns true; everything else returns false and changes nothing.
  bool OnLineSelected(bool horizontal);
  bool IsPlacementStep() const { return step == 1; }
  // One step further, up to the last.
  void Advance();
  int GetStep() const { return step; }

  ControlLibrary::IButtonVO* GetSkipButton() const { return skipButton; }
  ControlLibrary::ITextBoxVO* GetTextBox() const { return textBox; }

 private:
  void ShowStep();

  ControlLibrary::IButtonVO* skipButton = nullptr;
  ControlLibrary::ITextBoxVO* textBox = nullptr;
  int step = 0;
  IGameHelpMgr* helpMgr = nullptr;
  ControlLibrary::IFont* font = nullptr;
};

}  // namespace Doduderor
