// The profiles dialog: up to four player names (the current one in black), "New",
// "Delete" and "Close". With no player it opens the new-player dialog at once.
#pragma once

#include <memory>

#include "game/BaseDialog.h"
#include "game/NewPlayerDialog.h"

namespace Doduderor {

class ProfilesDialog : public BaseDialog, public ControlLibrary::KeybdMessageObserver {
 public:
  static constexpr int kNameCount = 4;

  // The start screen passes itself and sets the dialog object's size (380 x 450).
  explicit ProfilesDialog(ControlLibrary::DialogMessageObserver* owner);
  ~ProfilesDialog() override;

  void LayoutControls() override;
  void OnMouseClick(std::uint32_t id, int button) override { OnMouse(id, button); }
  void OnMouse(std::uint32_t id, int button);
  // Rebuilds the names on this dialog's show and on the new-player dialog's hide.
  void OnDialogShowHide(std::uint32_t dialogId, bool visible) override;
  void RebuildNames();
  void RecolourNames();

  ControlLibrary::IButtonVO* GetNewButton() const { return newButton; }
  ControlLibrary::IButtonVO* GetDeleteButton() const { return deleteButton; }
  ControlLibrary::IButtonVO* GetCloseButton() const { return closeButton; }
  ControlLibrary::IButtonVO* GetNameButton(int i) const { return nameButtons[i]; }
  NewPlayerDialog* GetNewPlayerDialog() const { return newPlayerDialog.get(); }

 private:
  ControlLibrary::IButtonVO* newButton = nullptr;
  ControlLibrary::IButtonVO* deleteButton = nullptr;
  ControlLibrary::IButtonVO* closeButton = nullptr;
  ControlLibrary::IButtonVO* nameButtons[kNameCount] = {};
  std::unique_ptr<NewPlayerDialog> newPlayerDialog;
  ControlLibrary::VOColor nameColors[5];
};

}  // namespace Doduderor
