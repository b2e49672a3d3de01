// The numbers of the current level, one button per number, and the three display modes
// that choose which of them the column shows for the selected line. Clicking a number
// asks the field manager to place it into the selected line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kernel/controls/Handles.h"
#include "kernel/controls/IButtonVO.h"
#include "kernel/controls/Observers.h"

namespace Doduderor {

struct NumberItem {
  ControlLibrary::IButtonVO* button = nullptr;  // its text is the number
  bool inPlay = false;                          // holds a number of the current level
  bool used = false;                            // placed in the field; the button is disabled
};

// Whether `number` fits `pattern`: same length, and equal wherever the pattern is not ' '.
bool NumberFitsPattern(const std::string& number, const std::string& pattern);

class NumberMgr : public ControlLibrary::MouseMessageObserver {
 public:
  // Display modes: every number of the line's length, those not used, those that fit.
  enum : std::uint32_t { kModeAll = 0, kModeUnused = 1, kModeFitting = 2 };

  // The one manager, built on first use.
  static NumberMgr* Instance();
  // Deletes the manager with its items, buttons, font and sounds, given back to the factory
  // they came from (which must still live); the next Instance() starts afresh.
  static void DestroyInstance();

  // Builds the three mode buttons and the slide sound, and places them.
  void CreateModeButtons();
  // Forgets the level's numbers; items and buttons stay for reuse.
  void Clear();
  // Inserts a number, keeping the numbers ordered by length and then by value.
  void AddNumber(const std::string& number);
  // Gives every number its button and puts all of them, hidden, into the column.
  void Build();
  void SetActive(bool on);
  // Fills the column with the candidates for a line's pattern in the current mode.
  void ShowCandidates(const std::string& pattern);
  // Places the one number that fits the pattern (or the first of several equal ones).
  void FastInsert(const std::string& pattern);
  // Marks the first free (resp. used) item of the level with exactly that text; false when
  // there is none.
  bool SetUsed(const std::string& number);
  bool SetUnused(const std::string& number);
  // An item of the level with exactly that text is free.
  bool HasFree(const std::string& number) const;

  void OnMouseClick(std::uint32_t id, int button) override;

  const std::vector<std::string>& Numbers() const { return mNumbers; }
  const std::vector<NumberItem*>& Items() const { return mItems; }
  std::uint32_t GetMode() const { return mMode; }
  const std::string& GetPattern() const { return mPattern; }
  ControlLibrary::IButtonVO* ModeButton(int mode) const { return mModeButtons[mode]; }

 private:
  NumberMgr() = default;
  ~NumberMgr() override;
  NumberItem* AcquireItem();
  void LoadButtonHandles();
  // Marks the item used and asks the field to place it; undone when refused.
  bool TryPlace(NumberItem* item);
  void SelectMode(std::uint32_t mode);

  std::vector<std::string> mNumbers;
  std::vector<NumberItem*> mItems;
  ControlLibrary::IButtonVO* mModeButtons[3] = {nullptr, nullptr, nullptr};
  std::uint32_t mMode = kModeFitting;
  std::string mPattern;
  ControlLibrary::ISound* mSlideSound = nullptr;
  // The font and click sound every button of the manager uses, loaded on first need.
  ControlLibrary::IFont* mFont = nullptr;
  ControlLibrary::ISound* mClickSound = nullptr;
};

}  // namespace Doduderor
