// The options dialog: the music volume in steps of 20 and the full-screen choice, which
// takes effect at the next start of the program.
#pragma once

#include "game/BaseDialog.h"

namespace Doduderor {

class OptionsDialog : public BaseDialog, public ControlLibrary::KeybdSysMessageObserver {
 public:
  explicit OptionsDialog(ControlLibrary::DialogMessageObserver* owner);
  ~OptionsDialog() override;

  void LayoutControls() override;
  void OnMouseClick(std::uint32_t id, int button) override;
  // Refreshes the volume controls and the full-screen label on every show.
  void OnDialogShowHide(std::uint32_t dialogId, bool visible) override;
  void OnKeyUp(int key) override { CloseOnEscape(key); }
  bool WantsKeys() override { return DialogWantsKeys(); }

  // Plus and minus enabled by the stored volume; the label shows it with " %".
  void UpdateVolume();

  ControlLibrary::IButtonVO* GetCloseButton() const { return closeButton; }
  ControlLibrary::IButtonVO* GetPlusButton() const { return plusButton; }
  ControlLibrary::IButtonVO* GetMinusButton() const { return minusButton; }
  ControlLibrary::IButtonVO* GetFullScreenButton() const { return fullScreenButton; }
  ControlLibrary::IStringVO* GetCaption() const { return caption; }
  ControlLibrary::IStringVO* GetVolumeLabel() const { return volumeLabel; }

 private:
  void UpdateFullScreenLabel();

  ControlLibrary::IButtonVO* closeButton = nullptr;
  ControlLibrary::IButtonVO* plusButton = nullptr;
  ControlLibrary::IButtonVO* minusButton = nullptr;
  ControlLibrary::IButtonVO* fullScreenButton = nullptr;
  ControlLibrary::IStringVO* caption = nullptr;
  ControlLibrary::IStringVO* volumeLabel = nullptr;
};

}  // namespace Doduderor
