// The puzzle field: grids of cells built from maps, digits dealt at level start, the lines
// and their numbers, the selected line, placing and clearing numbers with the crossing-line
// rules, the move history (previous / next) and the panel of help, previous, next, clear.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/CellVO.h"
#include "game/IFieldMgr.h"
#include "game/MapList.h"
#include "game/Player.h"
#include "kernel/controls/Handles.h"
#include "kernel/controls/IButtonVO.h"
#include "kernel/controls/Observers.h"
#include "kernel/controls/VOTypes.h"
#include "kernel/effects/IEffectSystem.h"

namespace Doduderor {

class IGameMgr;

// The cells of one map: only columns holding a cell are stored, so cells are always found
// by the column and row each carries.
struct FieldGrid {
  std::vector<std::vector<CellVO*>> columns;
  const MapRecord* map = nullptr;

  CellVO* CellAt(std::uint16_t column, std::uint16_t row) const;
  bool IsMarked(std::uint16_t column, std::uint16_t row) const;
  void ResetImages();
  void SetCellsVisible(bool on);
  // Every cell shows a digit.
  bool IsComplete() const;
};

// One move: a line filled (kind 0) or cleared (any other kind).
struct HistoryNode {
  std::uint32_t kind = 0;
  std::vector<CellVO*> cells;
  std::string number;  // the whole number the move put into the line or took out of it
  std::uint8_t orientation = 1;
  HistoryNode* newer = nullptr;
  HistoryNode* older = nullptr;
};

// A line met while placing: its number and its cells in order.
struct FieldLine {
  std::string number;
  std::vector<CellVO*> cells;
};

class FieldMgr : public EffectLibrary::EffectMessageObserver,
                 public IFieldMgr,
                 public ControlLibrary::KeybdSysMessageObserver,
                 public ControlLibrary::MouseMessageObserver {
 public:
  static constexpr std::uint8_t kHorizontal = 1;
  static constexpr std::uint8_t kVertical = 0;
  static constexpr int kCellStep = 35;
  static constexpr int kKeySpace = 32;

  // The one manager, built on first use.
  static FieldMgr* Instance();
  // Deletes the manager with its grids, history and panel, giving its controls and sounds
  // back to the factory, which must still be the one they came from; the next Instance()
  // starts afresh. The game screen calls it when it gives back its own controls.
  static void DestroyInstance();

  ~FieldMgr() override;
  FieldMgr(const FieldMgr&) = delete;
  FieldMgr& operator=(const FieldMgr&) = delete;

  // Once, by the game screen: keeps `game`, takes the keys, builds and places the panel.
  void BuildPanel(IGameMgr* game);
  void LayoutPanel();
  void SetActive(bool on);
  // Starts the current player's map.
  void StartLevel();
  // Starts the map at `mapIndex` (the level start behind StartLevel).
  void StartLevelOnMap(std::uint16_t mapIndex);

  // IFieldMgr: selects the line through the pressed cell.
  void OnCellClicked(bool horizontal, std::uint16_t column, std::uint16_t row) override;
  // Tries to put `number` into the selected line; the digits fly in from `from`.
  bool PlaceNumber(const std::string& number, ControlLibrary::VOPoint from);
  // Clears the selected full line, or asks the column for a fast insert when it is not full.
  void ClearOrFastInsert(bool record);

  void OnKeyDown(int key) override;
  bool WantsKeys() override { return TakesInput(); }
  // Keys and clicks reach the field only while it is shown and no modal dialog holds it.
  bool TakesInput() const;
  void OnMouseClick(std::uint32_t id, int button) override;

  void MarkTutorialHorizontal();
  void MarkTutorialVertical();
  void SetFinished();
  void UpdateClearButton();
  void UpdateHistoryButtons();

  // History.
  // Records a move with the number it put in or took out, given whole: a crossing line is
  // recorded before the digit that completed it shows, so its cells cannot tell the number.
  void RecordMove(std::uint32_t kind, const std::vector<CellVO*>& cells, std::uint8_t orientation,
                  const std::string& number);
  void Previous();
  void Next();
  // Fills the first vertical line that shows no digit with its solution; false when no
  // line could be filled.
  bool Help();
  static void FreeHistory(HistoryNode* node);

  // Grid and lines.
  FieldGrid* BuildGrid(IFieldMgr* owner, const MapRecord& map);
  void HorizontalLineAt(std::uint16_t column, std::uint16_t row, std::vector<CellVO*>& out) const;
  void VerticalLineAt(std::uint16_t column, std::uint16_t row, std::vector<CellVO*>& out) const;
  void AssignRandomDigits();
  void CollectLineNumbers(std::vector<std::string>& out) const;
  static bool IsLineEmpty(const std::vector<CellVO*>& cells);
  static std::string LineSolution(const std::vector<CellVO*>& cells);
  // The cells' texts joined, " " for an empty cell.
  static std::string LinePattern(const std::vector<CellVO*>& cells);

  // State read by the game screen and by tests.
  FieldGrid* GetGrid() const { return mGrid; }
  std::uint16_t GetMapIndex() const { return mMapIndex; }
  const std::vector<CellVO*>& GetSelection() const { return mSelection; }
  std::uint8_t GetOrientation() const { return mOrientation; }
  bool IsFinished() const { return mFinished != 0; }
  bool IsReplaying() const { return mReplaying != 0; }
  HistoryNode* GetCurrentNode() const { return mCurrent; }
  HistoryNode* GetHeadNode() const { return mHead; }
  std::size_t CachedGridCount() const { return mGridCache.size(); }
  ControlLibrary::IButtonVO* HelpButton() const { return mHelpButton; }
  ControlLibrary::IButtonVO* NextButton() const { return mNextButton; }
  ControlLibrary::IButtonVO* PreviousButton() const { return mPreviousButton; }
  ControlLibrary::IButtonVO* ClearButton() const { return mClearButton; }

 private:
  struct CachedGrid {
    FieldGrid* grid = nullptr;
    std::uint16_t mapIndex = 0;
  };

  FieldMgr() = default;
  void SelectLine(bool horizontal, std::uint16_t column, std::uint16_t row, bool triedOther);
  void LineAt(bool horizontal, std::uint16_t column, std::uint16_t row, std::vector<CellVO*>& out) const;
  void MarkTutorialLine(bool horizontal);
  void ResetHistory();
  // Makes sure the column has a free copy of `number`, clearing a placed line (not `keep`)
  // that shows it although its own solution differs; false when none can be freed.
  bool FreeNumberHeldWrongly(const std::string& number, const std::vector<CellVO*>& keep);
  static void SetButtonEnabled(ControlLibrary::IButtonVO* button, bool enabled);

  std::uint8_t mActive = 0;
  std::vector<CellVO*> mSelection;
  std::uint8_t mOrientation = kHorizontal;
  FieldGrid* mGrid = nullptr;
  std::vector<CachedGrid> mGridCache;
  std::uint16_t mMapIndex = kNoMapIndex;
  IGameMgr* mGame = nullptr;
  std::uint8_t mFinished = 0;
  ControlLibrary::IButtonVO* mHelpButton = nullptr;
  ControlLibrary::IButtonVO* mNextButton = nullptr;
  ControlLibrary::IButtonVO* mPreviousButton = nullptr;
  ControlLibrary::IButtonVO* mClearButton = nullptr;
  HistoryNode* mCurrent = nullptr;
  HistoryNode* mHead = nullptr;
  std::uint8_t mReplaying = 0;
  ControlLibrary::ISound* mHelpSound = nullptr;
  ControlLibrary::ISound* mClickSound = nullptr;  // played by the panel's buttons
};

}  // namespace Doduderor
