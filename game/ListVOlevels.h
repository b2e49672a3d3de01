// The list of levels inside the level selection: one row per ordinary map, filtered by
// difficulty and scrolled ten rows a page, with the preview and title of the chosen map.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kernel/controls/IButtonVO.h"
#include "kernel/controls/IImageVO.h"
#include "kernel/controls/IStringVO.h"
#include "kernel/controls/Observers.h"

namespace ControlLibrary {
class IDialogVO;
class ISound;
class IFont;
}  // namespace ControlLibrary

namespace Doduderor {

class ListVOlevels : public ControlLibrary::MouseMessageObserver {
 public:
  static constexpr int kRowsPerPage = 10;

  struct RowItem {
    ControlLibrary::IButtonVO* button = nullptr;
    std::uint16_t mapIndex = 0;
    std::uint8_t inUse = 0;
  };

  // The one list of the process, made on the first call.
  static ListVOlevels& Instance();

  // Makes one row per non-tutorial map and puts the list's controls into the dialog.
  void Attach(ControlLibrary::IDialogVO* dialog, ControlLibrary::IButtonVO* playButton);
  void SetShown(bool visible);
  // Shows the page of the tab's matches that starts at the offset.
  void Refresh(int tab, std::uint16_t offset);
  void OnMouseClick(std::uint32_t id, int button) override;
  RowItem* AcquireRow();

  // Filter letter of a tab: "a" (all), "e", "m", "h".
  static const char* TabFilter(int tab);
  // "images/maps/" + (index + 1) + ".png".
  static std::string PreviewName(std::uint16_t mapIndex);

  const std::vector<RowItem*>& GetRows() const { return rows; }
  ControlLibrary::IButtonVO* GetUpButton() const { return upButton; }
  ControlLibrary::IButtonVO* GetDownButton() const { return downButton; }
  ControlLibrary::IImageVO* GetPreview() const { return preview; }
  ControlLibrary::IStringVO* GetTitle() const { return title; }
  std::uint16_t GetOffset() const { return offset; }
  int GetTab() const { return tab; }

  // Gives the list's sound and font handles back to the factory.
  void ReleaseHandles();

  // Gives back the handles and forgets the list and its controls (the factory releases the
  // controls themselves), so that the next Instance call builds a new list on the current
  // control factory. The level selection calls it when it goes; tests that run several
  // factories in one process call it between them.
  static void ResetForNewFactory();

 private:
  ListVOlevels();
  void ShowPreview(std::uint16_t mapIndex);

  ControlLibrary::IImageVO* preview = nullptr;
  ControlLibrary::IStringVO* title = nullptr;
  std::vector<std::unique_ptr<RowItem>> pool;
  std::vector<RowItem*> rows;
  ControlLibrary::IButtonVO* upButton = nullptr;
  ControlLibrary::IButtonVO* downButton = nullptr;
  ControlLibrary::IButtonVO* playButton = nullptr;
  std::uint16_t offset = 0;
  int tab = 0;
  ControlLibrary::ISound* clickSound = nullptr;
  ControlLibrary::IFont* rowFont = nullptr;
};

}  // namespace Doduderor
