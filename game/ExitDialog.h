// The exit question "Are you sure want to exit?" with "Yes" and "No", and a dark picture
// under it while it is shown. The owner reads `answer` when the question hides itself.
#pragma once

#include <cstdint>

#include "game/BaseDialog.h"
#include "kernel/controls/IButtonVO.h"
#include "kernel/controls/IImageVO.h"
#include "kernel/controls/IStringVO.h"
#include "kernel/controls/Observers.h"

namespace Doduderor {

class ExitDialog : public BaseDialog, public ControlLibrary::KeybdSysMessageObserver {
 public:
  explicit ExitDialog(ControlLibrary::DialogMessageObserver* owner);
  ~ExitDialog() override;

  void LayoutControls() override;
  // Any click hides the question; "Yes" first sets the answer to 1.
  void OnMouseClick(std::uint32_t id, int button) override;
  // Escape answers no, Enter answers yes; other keys leave the question open.
  void OnKeyUp(int key) override;
  bool WantsKeys() override { return DialogWantsKeys(); }
  // The shade follows the question, one layer below it.
  void OnDialogShowHide(std::uint32_t dialogId, bool visible) override;

  // 1 after "Yes" or Enter, else 0.
  std::uint8_t answer = 0;

  ControlLibrary::IButtonVO* GetYesButton() const { return yesButton; }
  ControlLibrary::IButtonVO* GetNoButton() const { return noButton; }
  ControlLibrary::IImageVO* GetShade() const { return shade; }

 private:
  ControlLibrary::IButtonVO* yesButton = nullptr;
  ControlLibrary::IButtonVO* noButton = nullptr;
  ControlLibrary::IStringVO* questionText = nullptr;
  ControlLibrary::IImageVO* shade = nullptr;
  // The buttons' click sound; buttons never give sound handles back, so the dialog does.
  ControlLibrary::ISound* clickSound = nullptr;
};

}  // namespace Doduderor
