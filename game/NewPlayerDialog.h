// Asks for a new player's name, adds the player to the profiles and makes it current;
// a name already taken shows the error dialog.
#pragma once

#include <memory>

#include "game/BaseDialog.h"
#include "game/ErrorDialog.h"

namespace ControlLibrary {
class IEditBoxVO;
}

namespace Doduderor {

class NewPlayerDialog : public BaseDialog,
                        public ControlLibrary::IEditBoxMsgObserver,
                        public ControlLibrary::KeybdMessageObserver {
 public:
  // The profiles dialog passes itself; it rebuilds its names when this dialog hides.
  explicit NewPlayerDialog(ControlLibrary::DialogMessageObserver* owner);
  ~NewPlayerDialog() override;

  void LayoutControls() override;
  void OnMouseClick(std::uint32_t id, int button) override { OnMouse(id, button); }
  void OnMouse(std::uint32_t id, int button);
  // On this dialog's show and on the error dialog's hide: an empty box with the focus.
  void OnDialogShowHide(std::uint32_t dialogId, bool visible) override;
  // The edit box's text changed: "Create" enabled exactly when it is not empty.
  void OnTextChanged(std::uint32_t id) override { OnEditEvent(); }
  void OnEditEvent();
  // Enter in the box presses "Create".
  void OnKeyDown(std::uint32_t id, int key) override;

  ControlLibrary::IButtonVO* GetCreateButton() const { return createButton; }
  ControlLibrary::IButtonVO* GetCancelButton() const { return cancelButton; }
  ControlLibrary::IStringVO* GetPrompt() const { return prompt; }
  ControlLibrary::IEditBoxVO* GetEditBox() const { return editBox; }
  ErrorDialog* GetErrorDialog() const { return errorDialog.get(); }

 private:
  ControlLibrary::IButtonVO* createButton = nullptr;
  ControlLibrary::IButtonVO* cancelButton = nullptr;
  ControlLibrary::IStringVO* prompt = nullptr;
  ControlLibrary::IEditBoxVO* editBox = nullptr;
  std::unique_ptr<ErrorDialog> errorDialog;
};

}  // namespace Doduderor
