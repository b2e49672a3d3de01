// The new-player dialog's error message (a name already taken, players that could not be
// saved) with an "Ok" button.
#pragma once

#include "game/BaseDialog.h"

namespace Doduderor {

class ErrorDialog : public BaseDialog {
 public:
  explicit ErrorDialog(ControlLibrary::DialogMessageObserver* owner);
  ~ErrorDialog() override;

  void LayoutControls() override;
  void OnMouseClick(std::uint32_t id, int button) override;

  ControlLibrary::IButtonVO* GetOkButton() const { return okButton; }
  ControlLibrary::IStringVO* GetMessage() const { return message; }

 private:
  ControlLibrary::IButtonVO* okButton = nullptr;
  ControlLibrary::IStringVO* message = nullptr;
};

}  // namespace Doduderor
