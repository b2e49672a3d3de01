// The field manager: grids built from maps, digits dealt at level start, the selected line,
// placing numbers against the digits already shown and the crossing lines, clearing lines,
// and the end of a level.
#include "game/FieldMgr.h"

#include <algorithm>

#include "game/GameModule.h"
#include "game/NumberMgr.h"
#include "kernel/common/Helpers.h"
#include "kernel/controls/IFactory.h"

namespace Doduderor {

namespace {

const char kCellImage[] = "images/cell.png";
constexpr int kFieldCentreX = 410;
constexpr int kFieldCentreY = 395;

}  // namespace

// ---- FieldGrid ----

CellVO* FieldGrid::CellAt(std::uint16_t column, std::uint16_t row) const {
  for (const auto& cells : columns) {
    for (CellVO* cell : cells) {
      if (cell->GetColumn() == column && cell->GetRow() == row) return cell;
    }
  }
  return nullptr;
}

bool FieldGrid::IsMarked(std::uint16_t column, std::uint16_t row) const {
  const CellVO* cell = CellAt(column, row);
  return cell != nullptr && cell->IsMarked();
}

void FieldGrid::ResetImages() {
  for (const auto& cells : columns) {
    for (CellVO* cell : cells) cell->SetBaseImage(kCellImage);
  }
}

void FieldGrid::SetCellsVisible(bool on) {
  for (const auto& cells : columns) {
    for (CellVO* cell : cells) cell->SetVisible(on);
  }
}

bool FieldGrid::IsComplete() const {
  for (const auto& cells : columns) {
    for (const CellVO* cell : cells) {
      if (cell->GetShownText().empty()) return false;
    }
  }
  return true;
}

// ---- Construction, panel and activation ----

namespace {

FieldMgr* gFieldMgr = nullptr;

}  // namespace

FieldMgr* FieldMgr::Instance() {
  if (gFieldMgr == nullptr) gFieldMgr = new FieldMgr;
  return gFieldMgr;
}

void FieldMgr::DestroyInstance() {
  FieldMgr* going = gFieldMgr;
  gFieldMgr = nullptr;
  delete going;
}

FieldMgr::~FieldMgr() {
  FreeHistory(mHead);
  // Each cell gives back its own controls and flight.
  for (const CachedGrid& cached : mGridCache) {
    for (const auto& cells : cached.grid->columns) {
      for (CellVO* cell : cells) delete cell;
    }
    delete cached.grid;
  }
  ControlLibrary::IFactory* factory = ControlLibrary::GetControlFactory();
  if (factory == nullptr) return;
  for (ControlLibrary::IButtonVO* button : {mHelpButton, mNextButton, mPreviousButton, mClearButton})
    factory->DeleteVO(button);
  factory->ReleaseSound(mHelpSound);
  factory->ReleaseSound(mClickSound);
}

void FieldMgr::SetButtonEnabled(ControlLibrary::IButtonVO* button, bool enabled) {
  if (button != nullptr) button->SetEnabled(enabled);
}

void FieldMgr::SetActive(bool on) {
  mActive = on ? 1 : 0;
  if (mGrid != nullptr) mGrid->SetCellsVisible(on);
  SetButtonEnabled(mHelpButton, true);
  for (ControlLibrary::IButtonVO* button : {mHelpButton, mNextButton, mPreviousButton, mClearButton}) {
    if (button != nullptr) button->SetVisible(on);
  }
}

// A modal dialog disables every shown object under it, the cells' pictures among them, and
// the field never disables them itself; a digit that lands while a dialog is open shows an
// enabled text, so the pictures are the ones asked.
bool FieldMgr::TakesInput() const {
  if (mActive == 0 || mGrid == nullptr) return false;
  for (const auto& cells : mGrid->columns) {
    for (const CellVO* cell : cells) {
      ControlLibrary::IImageVO* picture = cell->GetPicture();
      if (picture == nullptr || !picture->IsEnabled()) return false;
    }
  }
  return true;
}

// ---- Level start ----

void FieldMgr::StartLevel() { StartLevelOnMap(GetCurrentPlayer(GetPlayerList())->mapIndex); }

void FieldMgr::StartLevelOnMap(std::uint16_t mapIndex) {
  if (mGrid == nullptr || mapIndex != mMapIndex) {
    mMapIndex = mapIndex;
    auto cached = std::find_if(mGridCache.begin(), mGridCache.end(),
                               [&](const CachedGrid& c) { return c.mapIndex == mapIndex; });
    if (cached != mGridCache.end()) {
      mGrid = cached->grid;
    } else {
      mGrid = BuildGrid(this, MapList::Instance().At(mapIndex));
      mGridCache.push_back({mGrid, mapIndex});
    }
  }
  // A selection left from the previous level would point at cells of another deal (or of
  // another map's grid): every level starts with nothing selected.
  mSelection.clear();
  mGrid->ResetImages();
  AssignRandomDigits();
  ResetHistory();

  NumberMgr* numbers = NumberMgr::Instance();
  numbers->Clear();
  std::vector<std::string> lineNumbers;
  CollectLineNumbers(lineNumbers);
  for (const std::string& number : lineNumbers) numbers->AddNumber(number);

  SetButtonEnabled(mHelpButton, true);
  mFinished = 0;
  mReplaying = 0;
  UpdateHistoryButtons();
  UpdateClearButton();
}

FieldGrid* FieldMgr::BuildGrid(IFieldMgr* owner, const MapRecord& map) {
  auto* grid = new FieldGrid;
  grid->map = &map;
  const auto x0 = static_cast<std::int16_t>(kFieldCentreX - (map.width * kCellStep) / 2);
  const auto y0 = static_cast<std::int16_t>(kFieldCentreY - (map.height * kCellStep) / 2);
  for (std::uint16_t c = 0; c < map.width; ++c) {
    std::vector<CellVO*> cells;
    for (std::uint16_t r = 0; r < map.height; ++r) {
      if (map.At(c, r) == '0') continue;
      auto* cell = new CellVO(owner, c, r);
      cell->SetBaseImage(kCellImage);
      cell->SetPosition(x0 + kCellStep * c, y0 + kCellStep * r);
      cells.push_back(cell);
    }
    if (!cells.empty()) grid->columns.push_back(std::move(cells));
  }
  return grid;
}

void FieldMgr::AssignRandomDigits() {
  if (mGrid == nullptr) return;
  for (const auto& cells : mGrid->columns) {
    for (CellVO* cell : cells) cell->SetSolution(std::to_string(CommonLibrary::RandomInRange(1, 9)));
  }
}

void FieldMgr::CollectLineNumbers(std::vector<std::string>& out) const {
  if (mGrid == nullptr || mGrid->map == nullptr) return;
  const MapRecord& map = *mGrid->map;
  std::string running;
  auto flush = [&] {
    if (running.size() > 1) out.push_back(running);
    running.clear();
  };
  auto visit = [&](std::uint16_t c, std::uint16_t r) {
    if (map.At(c, r) == '0') {
      flush();
    } else if (const CellVO* cell = mGrid->CellAt(c, r)) {
      running += cell->GetSolution();
    }
  };
  for (std::uint16_t c = 0; c < map.width; ++c) {
    for (std::uint16_t r = 0; r < map.height; ++r) visit(c, r);
    flush();
  }
  for (std::uint16_t r = 0; r < map.height; ++r) {
    for (std::uint16_t c = 0; c < map.width; ++c) visit(c, r);
    flush();
  }
}

// ---- Lines ----

void FieldMgr::LineAt(bool horizontal, std::uint16_t column, std::uint16_t row, std::vector<CellVO*>& out) const {
  out.clear();
  if (mGrid == nullptr || mGrid->map == nullptr) return;
  const MapRecord& map = *mGrid->map;
  if (map.At(column, row) == '0') return;
  // Positions along the line: columns of the row, or rows of the column.
  std::uint16_t pos = horizontal ? column : row;
  auto at = [&](std::uint16_t p) { return horizontal ? map.At(p, row) : map.At(column, p); };
  const std::size_t end = horizontal ? (row < map.rows.size() ? map.rows[row].size() : 0) : map.rows.size();
  while (pos > 0 && at(static_cast<std::uint16_t>(pos - 1)) != '0') --pos;
  for (std::size_t p = pos; p < end && at(static_cast<std::uint16_t>(p)) != '0'; ++p) {
    CellVO* cell = horizontal ? mGrid->CellAt(static_cast<std::uint16_t>(p), row)
                              : mGrid->CellAt(column, static_cast<std::uint16_t>(p));
    if (cell == nullptr) {
      out.clear();
      return;
    }
    out.push_back(cell);
  }
  if (out.size() == 1) out.clear();
}

void FieldMgr::HorizontalLineAt(std::uint16_t column, std::uint16_t row, std::vector<CellVO*>& out) const {
  LineAt(true, column, row, out);
}

void FieldMgr::VerticalLineAt(std::uint16_t column, std::uint16_t row, std::vector<CellVO*>& out) const {
  LineAt(false, column, row, out);
}

bool FieldMgr::IsLineEmpty(const std::vector<CellVO*>& cells) {
  return std::all_of(cells.begin(), cells.end(), [](const CellVO* c) { return c->GetShownText().empty(); });
}

std::string FieldMgr::LineSolution(const std::vector<CellVO*>& cells) {
  std::string solution;
  for (const CellVO* cell : cells) solution += cell->GetSolution();
  return solution;
}

std::string FieldMgr::LinePattern(const std::vector<CellVO*>& cells) {
  std::string pattern;
  for (const CellVO* cell : cells) pattern += cell->GetText();
  return pattern;
}

namespace {

std::string JoinShown(const std::vector<CellVO*>& cells) {
  std::string joined;
  for (const CellVO* cell : cells) joined += cell->GetShownText();
  return joined;
}

}  // namespace

// ---- Selecting ----

void FieldMgr::OnCellClicked(bool horizontal, std::uint16_t column, std::uint16_t row) {
  if (!TakesInput()) return;
  SelectLine(horizontal, column, row, false);
}

void FieldMgr::SelectLine(bool horizontal, std::uint16_t column, std::uint16_t row, bool triedOther) {
  SetButtonEnabled(mClearButton, false);
  if (mGame != nullptr && mGame->IsTutorialShown()) {
    if (mGame->IsPaused()) {
      mGame->AdvanceTutorial();
    } else if (mGrid == nullptr || !mGrid->IsMarked(column, row) || !mGame->OnTutorialLineSelected(horizontal)) {
      return;
    }
  }
  if (mGrid != nullptr) mGrid->ResetImages();
  LineAt(horizontal, column, row, mSelection);
  if (mSelection.empty()) {
    // A cell in no line of two or more in either direction selects nothing.
    if (!triedOther) SelectLine(!horizontal, column, row, true);
    return;
  }
  for (CellVO* cell : mSelection) cell->SetHighlighted(true);
  mOrientation = horizontal ? kHorizontal : kVertical;
  NumberMgr::Instance()->ShowCandidates(LinePattern(mSelection));
  UpdateClearButton();
}

// ---- Placing ----

bool FieldMgr::PlaceNumber(const std::string& number, ControlLibrary::VOPoint from) {
  if (mFinished != 0) return false;
  for (CellVO* cell : mSelection) cell->SetHighlighted(true);

  bool advanceAtEnd = false;
  if (mGame != nullptr && mGame->IsTutorialShown()) {
    if (mGame->IsPaused()) {
      mGame->AdvanceTutorial();
    } else if (mGame->IsTutorialPlacementStep()) {
      advanceAtEnd = true;
    } else {
      return false;
    }
  }

  bool placed = false;
  if (!mSelection.empty()) {
    const bool horizontal = mOrientation == kHorizontal;
    // A number of another length than the line cannot go in.
    if (number.size() != mSelection.size()) return false;
    for (std::size_t i = 0; i < mSelection.size(); ++i) {
      const std::string shown = mSelection[i]->GetShownText();
      if (!shown.empty() && shown != number.substr(i, 1)) return false;
      if (mSelection[i]->IsFixed(horizontal)) return false;
    }

    // Crossing lines that this placement completes take their numbers from the column.
    NumberMgr* numbers = NumberMgr::Instance();
    std::vector<FieldLine> completed;
    std::vector<CellVO*> crossing;
    for (std::size_t i = 0; i < mSelection.size(); ++i) {
      CellVO* selected = mSelection[i];
      LineAt(!horizontal, selected->GetColumn(), selected->GetRow(), crossing);
      if (crossing.empty() || !selected->GetShownText().empty()) continue;
      FieldLine line;
      bool complete = true;
      for (CellVO* cell : crossing) {
        const std::string shown = cell->GetShownText();
        if (!shown.empty()) {
          line.number += shown;
        } else if (cell == selected) {
          line.number += number[i];
        } else {
          complete = false;
          break;
        }
      }
      if (!complete) continue;
      if (!numbers->SetUsed(line.number)) {
        for (const FieldLine& taken : completed) {
          numbers->SetUnused(taken.number);
          for (CellVO* cell : taken.cells) cell->ClearDirection(!horizontal);
        }
        for (CellVO* cell : crossing) cell->SetWrong(true);
        UpdateClearButton();
        return false;
      }
      line.cells = crossing;
      completed.push_back(std::move(line));
    }
    const std::uint8_t crossingOrientation = horizontal ? kVertical : kHorizontal;
    for (const FieldLine& line : completed) {
      for (CellVO* cell : line.cells) {
        cell->SetSelectable(true);
        cell->SetFixed(!horizontal);
      }
      RecordMove(0, line.cells, crossingOrientation, line.number);
    }

    for (std::size_t i = 0; i < mSelection.size(); ++i) mSelection[i]->PlaceDigit(number.substr(i, 1), horizontal, from);
    if (mReplaying == 0) RecordMove(0, mSelection, mOrientation, number);

    if (mGrid != nullptr && mGrid->IsComplete()) {
      SetFinished();
      if (mGame != nullptr) mGame->OnLevelComplete();
    }
    placed = true;
  }
  if (advanceAtEnd && mGame != nullptr) mGame->AdvanceTutorialAfterPlacement();
  UpdateClearButton();
  return placed;
}

// ---- Clearing ----

void FieldMgr::ClearOrFastInsert(bool record) {
  if (mSelection.empty()) return;
  const bool horizontal = mOrientation == kHorizontal;
  const bool heldAcross = std::all_of(mSelection.begin(), mSelection.end(),
                                      [&](const CellVO* c) { return c->IsFixed(!horizontal); });
  if (heldAcross) return;

  const std::string joined = JoinShown(mSelection);
  NumberMgr* numbers = NumberMgr::Instance();
  if (joined.size() == mSelection.size()) {
    if (numbers->SetUnused(joined)) {
      if (record) RecordMove(1, mSelection, mOrientation, joined);
      for (CellVO* cell : mSelection) {
        cell->ClearDirection(horizontal);
        cell->SetWrong(true);
      }
      numbers->ShowCandidates(LinePattern(mSelection));
    }
  } else {
    numbers->FastInsert(LinePattern(mSelection));
  }
  UpdateClearButton();
}

void FieldMgr::OnKeyDown(int key) {
  if (key == kKeySpace && mFinished == 0) ClearOrFastInsert(true);
}

// ---- Tutorial marking, end of level, buttons ----

void FieldMgr::MarkTutorialLine(bool horizontal) {
  mSelection.clear();
  LineAt(horizontal, 5, 5, mSelection);
  for (CellVO* cell : mSelection) cell->SetSelectable(true);
  mSelection.clear();
}

void FieldMgr::MarkTutorialHorizontal() { MarkTutorialLine(true); }
void FieldMgr::MarkTutorialVertical() { MarkTutorialLine(false); }

void FieldMgr::SetFinished() {
  mFinished = 1;
  for (ControlLibrary::IButtonVO* button : {mHelpButton, mNextButton, mPreviousButton, mClearButton}) {
    SetButtonEnabled(button, false);
  }
}

void FieldMgr::UpdateClearButton() {
  SetButtonEnabled(mClearButton, JoinShown(mSelection).size() == mSelection.size() && mFinished == 0);
}

}  // namespace Doduderor
