// One square of the puzzle field: its picture, the digit it shows, a second text that
// carries a digit flying in from the numbers column, and the cell's bookkeeping (solution,
// which line directions hold its digit, the green mark).
#pragma once

#include <cstdint>
#include <string>

#include "game/IFieldMgr.h"
#include "kernel/controls/IImageVO.h"
#include "kernel/controls/IStringVO.h"
#include "kernel/controls/Observers.h"
#include "kernel/controls/VOTypes.h"
#include "kernel/effects/IEffectSystem.h"

namespace Doduderor {

class CellVO : public ControlLibrary::MouseMessageObserver, public EffectLibrary::EffectMessageObserver {
 public:
  static constexpr int kFlightMs = 380;

  CellVO(IFieldMgr* owner, std::uint16_t column, std::uint16_t row);
  ~CellVO() override;
  CellVO(const CellVO&) = delete;
  CellVO& operator=(const CellVO&) = delete;

  void SetBaseImage(const std::string& name);
  void SetPosition(int x, int y);
  // State pictures; false shows the base image again. Each clears the mark, except that
  // SetSelectable stores its argument in it.
  void SetHighlighted(bool on);
  void SetSelectable(bool on);
  void SetWrong(bool on);
  // New solution digit; the shown digit and both fixed flags are cleared.
  void SetSolution(const std::string& digit);
  std::string GetSolution() const { return mSolution; }
  // The shown digit, possibly empty.
  std::string GetShownText() const;
  // The shown digit, or " " for an empty cell (one character of a line's pattern).
  std::string GetText() const;
  // Puts the digit here for one direction, flying it in from `from`. False when that
  // direction (or both) already holds the cell.
  bool PlaceDigit(const std::string& digit, bool horizontal, ControlLibrary::VOPoint from);
  // Marks the cell as held by one direction without changing what it shows (a crossing line
  // that a placement completes).
  void SetFixed(bool horizontal) { (horizontal ? mHorizontalFixed : mVerticalFixed) = 1; }
  // Releases the cell from one direction; the digit goes when no direction holds it.
  void ClearDirection(bool horizontal);
  // Showing empties the shown digit first.
  void SetVisible(bool on);

  std::uint16_t GetColumn() const { return mColumn; }
  std::uint16_t GetRow() const { return mRow; }
  bool IsHorizontalFixed() const { return mHorizontalFixed != 0; }
  bool IsVerticalFixed() const { return mVerticalFixed != 0; }
  bool IsFixed(bool horizontal) const { return horizontal ? IsHorizontalFixed() : IsVerticalFixed(); }
  bool IsMarked() const { return mMark != 0; }
  int GetX() const { return mX; }
  int GetY() const { return mY; }
  ControlLibrary::IImageVO* GetPicture() const { return mPicture; }
  ControlLibrary::IStringVO* GetDigitText() const { return mDigitText; }
  ControlLibrary::IStringVO* GetFlyingText() const { return mFlyingText; }
  // The picture name shown now.
  const std::string& GetImageName() const { return mShownImage; }

  // MouseMessageObserver: any press on the cell's controls selects a line through it.
  void OnMouseDown(std::uint32_t id, int button) override;
  // EffectMessageObserver: the flight ended, the digit shows in the cell.
  void OnEffectFinished(std::uint32_t id) override;

 private:
  void ShowImage(const std::string& name);

  std::string mBaseImage;
  ControlLibrary::IImageVO* mPicture = nullptr;
  int mX = 0;
  int mY = 0;
  IFieldMgr* mOwner = nullptr;
  std::uint16_t mColumn = 0;
  std::uint16_t mRow = 0;
  std::string mSolution = " ";
  ControlLibrary::IStringVO* mDigitText = nullptr;
  ControlLibrary::IStringVO* mFlyingText = nullptr;
  std::uint8_t mVerticalFixed = 0;
  std::uint8_t mHorizontalFixed = 0;
  std::uint8_t mMark = 0;
  EffectLibrary::IState2MoveEffect* mMoveEffect = nullptr;
  std::string mShownImage;
};

}  // namespace Doduderor
