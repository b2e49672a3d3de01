// Asks for a new player's name, adds the player to the profiles and makes it current;
// a name already taken shows the error dialog.
#pragma once

#include <memory>
#include <string>

#include "game/BaseDialog.h"
#include "game/ErrorDialog.h"

namespace Doduderor {

class NameBoxUntilEditBoxLands;

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
  // The name typed so far, and whether the name box has the keyboard focus.
  std::string GetName() const;
  bool NameBoxHasFocus() const;
  ErrorDialog* GetErrorDialog() const { return errorDialog.get(); }

 private:
  ControlLibrary::IButtonVO* createButton = nullptr;
  ControlLibrary::IButtonVO* cancelButton = nullptr;
  ControlLibrary::IStringVO* prompt = nullptr;
  std::unique_ptr<NameBoxUntilEditBoxLands> editBox;
  std::unique_ptr<ErrorDialog> errorDialog;
};

}  // namespace Doduderor
