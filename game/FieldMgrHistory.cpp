// The field manager's move history (previous / next), the help that fills one empty
// vertical line with its solution, and the panel of help, previous, next and clear buttons.
#include <algorithm>
#include <string>

#include "game/FieldMgr.h"
#include "game/NumberMgr.h"
#include "kernel/controls/IFactory.h"

namespace Doduderor {

namespace {

// The centre of the 1024 x 768 screen, where the help's digits fly from.
constexpr ControlLibrary::VOPoint kHelpFlightStart{512, 384};

struct PanelButtonLook {
  const char* image;
  ControlLibrary::VORect rects[4];  // normal, hover, pressed, disabled
  int width, height;
  int x, y;
};
// In the order help, previous, next, clear.
const PanelButtonLook kPanelLooks[4] = {
    {"images/buttons.png", {{14, 200, 70, 100}, {105, 200, 70, 100}, {186, 201, 70, 100}, {186, 201, 70, 100}}, 70, 100, 760, 717},
    {"images/buttons.png", {{9, 381, 70, 54}, {100, 381, 70, 54}, {181, 382, 70, 54}, {181, 382, 70, 54}}, 70, 54, 605, 740},
    {"images/buttons.png", {{9, 312, 70, 54}, {100, 312, 70, 54}, {181, 313, 70, 54}, {181, 313, 70, 54}}, 70, 54, 680, 740},
    {"images/btn_clear.png", {{0, 0, 45, 50}, {0, 50, 45, 50}, {0, 100, 45, 50}, {0, 100, 45, 50}}, 45, 50, 530, 740},
};

}  // namespace

// ---- History ----

void FieldMgr::FreeHistory(HistoryNode* node) {
  while (node != nullptr) {
    HistoryNode* newer = node->newer;
    delete node;
    node = newer;
  }
}

void FieldMgr::ResetHistory() {
  FreeHistory(mHead);
  mHead = new HistoryNode;
  mCurrent = mHead;
}

void FieldMgr::RecordMove(std::uint32_t kind, const std::vector<CellVO*>& cells, std::uint8_t orientation,
                          const std::string& number) {
  auto* node = new HistoryNode;
  node->kind = kind;
  node->cells = cells;
  node->number = number;
  node->orientation = orientation;
  if (mCurrent != nullptr) {
    FreeHistory(mCurrent->newer);
    mCurrent->newer = node;
    node->older = mCurrent;
    mCurrent = node;
  } else {
    mCurrent = node;
    mHead = node;
  }
  UpdateHistoryButtons();
}

void FieldMgr::Previous() {
  HistoryNode* node = mCurrent;
  if (node == nullptr) return;
  mSelection = node->cells;
  mOrientation = node->orientation;
  if (mGrid != nullptr) mGrid->ResetImages();
  if (node->kind == 0) {
    ClearOrFastInsert(false);
  } else {
    mReplaying = 1;
    NumberMgr::Instance()->FastInsert(node->number);
    mReplaying = 0;
  }
  // The replayed step may have recorded moves of its own; stepping back goes from the node
  // that was taken back.
  if (node->older != nullptr) mCurrent = node->older;
  UpdateHistoryButtons();
}

void FieldMgr::Next() {
  if (mCurrent == nullptr || mCurrent->newer == nullptr) return;
  mCurrent = mCurrent->newer;
  mSelection = mCurrent->cells;
  mOrientation = mCurrent->orientation;
  if (mGrid != nullptr) mGrid->ResetImages();
  if (mCurrent->kind != 0) {
    ClearOrFastInsert(false);
  } else {
    mReplaying = 1;
    NumberMgr::Instance()->FastInsert(mCurrent->number);
    mReplaying = 0;
  }
  UpdateHistoryButtons();
}

void FieldMgr::UpdateHistoryButtons() {
  SetButtonEnabled(mNextButton, mCurrent != nullptr && mCurrent->newer != nullptr);
  SetButtonEnabled(mPreviousButton, mCurrent != nullptr && mCurrent->older != nullptr);
}

// ---- Help ----

bool FieldMgr::Help() {
  // The player's selection comes back when the help finds nothing to fill.
  const std::vector<CellVO*> selected = mSelection;
  const std::uint8_t selectedOrientation = mOrientation;
  if (mGrid != nullptr) mGrid->ResetImages();
  mSelection.clear();
  if (mGrid != nullptr && mGrid->map != nullptr) {
    const MapRecord& map = *mGrid->map;
    NumberMgr* numbers = NumberMgr::Instance();
    std::vector<CellVO*> line;
    for (std::uint16_t c = 0; c < map.width; ++c) {
      for (std::uint16_t r = 0; r < map.height; ++r) {
        VerticalLineAt(c, r, line);
        // Each line once, from its top cell.
        if (line.empty() || line.front()->GetRow() != r || !IsLineEmpty(line)) continue;
        const std::string solution = LineSolution(line);
        // A line that shows this number by mistake may hold the column's only free copy;
        // it gives it back first, so that the column accounts for every placed line.
        if (!FreeNumberHeldWrongly(solution, line)) continue;
        mSelection = line;
        mOrientation = kVertical;
        if (!PlaceNumber(solution, kHelpFlightStart)) continue;
        // A crossing line that the placement completed may have taken that copy.
        if (!numbers->SetUsed(solution) && mFinished == 0 && FreeNumberHeldWrongly(solution, line)) {
          numbers->SetUsed(solution);
        }
        mSelection = line;
        mOrientation = kVertical;
        numbers->ShowCandidates(LinePattern(mSelection));
        return true;
      }
    }
  }
  if (mGrid != nullptr) mGrid->ResetImages();
  mSelection = selected;
  mOrientation = selectedOrientation;
  for (CellVO* cell : mSelection) cell->SetHighlighted(true);
  return false;
}

bool FieldMgr::FreeNumberHeldWrongly(const std::string& number, const std::vector<CellVO*>& keep) {
  NumberMgr* numbers = NumberMgr::Instance();
  if (numbers->HasFree(number)) return true;
  if (mGrid == nullptr) return false;
  std::vector<CellVO*> line;
  for (const auto& cells : mGrid->columns) {
    for (CellVO* cell : cells) {
      for (const bool horizontal : {false, true}) {
        LineAt(horizontal, cell->GetColumn(), cell->GetRow(), line);
        if (line.empty() || line.front() != cell || line == keep) continue;
        const bool placed = std::all_of(line.begin(), line.end(), [&](const CellVO* c) { return c->IsFixed(horizontal); });
        if (!placed || LinePattern(line) != number || LineSolution(line) == number) continue;
        // Cleared as the player's clear would: the number goes back, the move is recorded.
        mSelection = line;
        mOrientation = horizontal ? kHorizontal : kVertical;
        ClearOrFastInsert(true);
        if (numbers->HasFree(number)) return true;
      }
    }
  }
  return false;
}

// ---- Panel ----

void FieldMgr::BuildPanel(IGameMgr* game) {
  mGame = game;
  ControlLibrary::IFactory* factory = ControlLibrary::GetControlFactory();
  if (factory == nullptr) return;
  factory->AddKeybdSysObserver(this);

  ControlLibrary::IFont* font = factory->CreateFont();
  if (font != nullptr) font->Load("fonts/a_BosaNova14.txt");
  mClickSound = factory->CreateSound();
  if (mClickSound != nullptr) mClickSound->Load("sounds/click.wav");
  ControlLibrary::IButtonVO** buttons[4] = {&mHelpButton, &mPreviousButton, &mNextButton, &mClearButton};
  for (int i = 0; i < 4; ++i) {
    ControlLibrary::IButtonVO* button = factory->CreateButtonVO();
    *buttons[i] = button;
    if (button == nullptr) continue;
    button->SetAlignment(ControlLibrary::kAlignCenter, ControlLibrary::kAlignCenter);
    button->SetLayer(650);
    button->SetSounds(nullptr, mClickSound, nullptr);
    button->SetTextOffset(0, -5);
    button->AddMouseObserver(this);
    const std::string images[4] = {kPanelLooks[i].image, "", "", ""};
    button->SetImages(images);
    button->SetStateRects(kPanelLooks[i].rects);
    button->SetSize(kPanelLooks[i].width, kPanelLooks[i].height);
  }
  mHelpSound = factory->CreateSound();
  if (mHelpSound != nullptr) mHelpSound->Load("sounds/help.wav");
  // The panel's buttons carry no caption, so the font is only loaded, not kept.
  if (font != nullptr) factory->Release(font);
  LayoutPanel();
}

void FieldMgr::LayoutPanel() {
  ControlLibrary::IButtonVO* buttons[4] = {mHelpButton, mPreviousButton, mNextButton, mClearButton};
  for (int i = 0; i < 4; ++i) {
    if (buttons[i] != nullptr) buttons[i]->SetPosition(kPanelLooks[i].x, kPanelLooks[i].y);
  }
}

void FieldMgr::OnMouseClick(std::uint32_t id, int button) {
  auto is = [id](ControlLibrary::IButtonVO* b) { return b != nullptr && b->GetId() == id; };
  if (is(mHelpButton)) {
    // Used up only when it filled a line.
    if (Help()) {
      if (mHelpSound != nullptr) mHelpSound->Play(false);
      SetButtonEnabled(mHelpButton, false);
    }
  } else if (is(mPreviousButton)) {
    Previous();
  } else if (is(mNextButton)) {
    Next();
  } else if (is(mClearButton)) {
    ClearOrFastInsert(true);
  }
}

}  // namespace Doduderor
