// The more-games dialog: three other titles with pictures and links, and a link to the
// maker's site. Links open in the system's browser.
#pragma once

#include "game/BaseDialog.h"

namespace ControlLibrary {
class IImageVO;
class ILinkVO;
}  // namespace ControlLibrary

namespace Doduderor {

class MoreGamesDialog : public BaseDialog, public ControlLibrary::KeybdSysMessageObserver {
 public:
  explicit MoreGamesDialog(ControlLibrary::DialogMessageObserver* owner);
  ~MoreGamesDialog() override;

  void LayoutControls() override;
  void OnMouseClick(std::uint32_t id, int button) override { CloseOnButton(id, button); }
  void OnKeyUp(int key) override { CloseOnEscape(key); }
  bool WantsKeys() override { return DialogWantsKeys(); }

  ControlLibrary::IButtonVO* GetCloseButton() const { return closeButton; }
  ControlLibrary::ILinkVO* GetLink(int i) const { return links[i]; }
  ControlLibrary::IImageVO* GetPicture(int i) const { return pictures[i]; }

 private:
  ControlLibrary::IButtonVO* closeButton = nullptr;
  ControlLibrary::IImageVO* pictures[3] = {};
  ControlLibrary::ILinkVO* links[4] = {};
  ControlLibrary::IStringVO* caption = nullptr;
};

}  // namespace Doduderor
