// The visible column of candidate numbers beside the field: a page of at most 17 number
// buttons between an up and a down arrow. The buttons belong to the numbers manager; the
// list only orders, shows, hides and places them.
#pragma once

#include <cstdint>
#include <vector>

#include "kernel/controls/Handles.h"
#include "kernel/controls/IButtonVO.h"
#include "kernel/controls/Observers.h"

namespace Doduderor {

struct NumberItem;

class ListVO : public ControlLibrary::MouseMessageObserver {
 public:
  static constexpr int kPageRows = 17;
  static constexpr int kRowX = 912;
  static constexpr int kFirstRowY = 115;
  static constexpr int kRowStep = 35;

  // The one list, built with its arrows on first use.
  static ListVO& Instance();
  // Deletes the list, giving its arrows and sound back to the factory they came from (which
  // must still live); the next Instance() builds new ones.
  static void DestroyInstance();

  ListVO(const ListVO&) = delete;
  ListVO& operator=(const ListVO&) = delete;

  // Hides every row's button and forgets the rows.
  void Clear();
  // Appends a row; nothing is shown or placed.
  void AddRow(NumberItem* item);
  // Shows rows 0 to 16 and sets the arrows for the first page.
  void ShowFirstPage();
  // The arrows scroll by one row; other senders are ignored.
  void OnMouseClick(std::uint32_t id, int button) override;

  const std::vector<NumberItem*>& Rows() const { return mRows; }

  ControlLibrary::IButtonVO* upButton = nullptr;
  ControlLibrary::IButtonVO* downButton = nullptr;
  std::uint16_t firstShown = 0;

 private:
  ListVO();
  ~ListVO() override;
  void HideAllRows();
  void ShowPageFrom(std::size_t first);
  void ScrollDown();
  void ScrollUp();

  std::vector<NumberItem*> mRows;
  ControlLibrary::ISound* mClickSound = nullptr;  // played by the arrows
};

}  // namespace Doduderor
