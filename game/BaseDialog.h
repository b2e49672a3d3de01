// The base of every dialog of the game: one dialog object of the control factory that
// carries the background and parents the dialog's controls, with the dialog itself as the
// mouse observer of those controls and as an observer of its own dialog object.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kernel/controls/IButtonVO.h"
#include "kernel/controls/IStringVO.h"
#include "kernel/controls/Observers.h"
#include "kernel/controls/VOTypes.h"

namespace ControlLibrary {
class IDialogVO;
class IFont;
class ISound;
}  // namespace ControlLibrary

namespace Doduderor {

class BaseDialog : public ControlLibrary::MouseMessageObserver, public ControlLibrary::DialogMessageObserver {
 public:
  // The owner (may be null) is told of every show and hide of the dialog.
  explicit BaseDialog(ControlLibrary::DialogMessageObserver* owner);
  ~BaseDialog() override;
  BaseDialog(const BaseDialog&) = delete;
  BaseDialog& operator=(const BaseDialog&) = delete;

  // Lays the controls out, then shows or hides the dialog object.
  virtual void Show(bool visible);
  // Places every control from the size of the dialog object; runs on every show.
  virtual void LayoutControls() = 0;

  ControlLibrary::IDialogVO* GetDialog() const { return dialog; }
  bool IsShown() const;

 protected:
  // Shared handlers that derived dialogs route their callbacks to.
  // Escape (27) hides the dialog; every other key is ignored.
  void CloseOnEscape(int key);
  // Visible and enabled (not held down by another modal dialog).
  bool DialogWantsKeys() const;
  // A click on the dialog's first control hides the dialog.
  void CloseOnButton(std::uint32_t senderId, int button);

  // Half the width and height of the dialog object, as 16-bit values, and its height.
  struct Centre {
    int cx;
    int cy;
    int height;
  };
  Centre GetCentre() const;

  // Building blocks for the controls of a dialog.
  static ControlLibrary::IFont* LoadFont(const std::string& name);
  static ControlLibrary::ISound* LoadSound(const std::string& name);
  // Hands back the constructor's own reference once the controls hold theirs.
  static void DropFont(ControlLibrary::IFont* font);
  // The same for a sound the dialog's buttons play.
  static void DropSound(ControlLibrary::ISound* sound);

  // A centre-anchored button, child of the dialog, with this dialog as its mouse observer,
  // the click sound on mouse down, the font for every state and the given text colours.
  ControlLibrary::IButtonVO* MakeButton(ControlLibrary::IFont* font, ControlLibrary::ISound* click,
                                        const ControlLibrary::VOColor textColors[5], int width, int height,
                                        const std::string& text, std::uint16_t layer = 300);
  // The same button face on "images/btn_def.png" (normal, hover, pressed, disabled).
  static void UseDefaultFace(ControlLibrary::IButtonVO* button);
  // A centre-anchored text, child of the dialog.
  ControlLibrary::IStringVO* MakeText(ControlLibrary::IFont* font, const ControlLibrary::VOColor& color,
                                      const std::string& text, std::uint16_t layer = 100);
  // Adds a control to the dialog object; the first control added is the one
  // CloseOnButton answers to.
  void AddChild(ControlLibrary::IVisibleObject* child);

  ControlLibrary::IDialogVO* dialog = nullptr;

 private:
  std::uint32_t firstChildId = 0;
  bool hasFirstChild = false;
  std::vector<ControlLibrary::IVisibleObject*> children;
};

// Text colours shared by most dialog buttons: black, pink when hovered, grey when pressed.
extern const ControlLibrary::VOColor kButtonTextColors[5];
// The same with black for the disabled state.
extern const ControlLibrary::VOColor kButtonTextColorsBlackDisabled[5];

}  // namespace Doduderor
