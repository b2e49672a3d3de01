// A cell of the field: its picture and two digit texts, made through the control factory,
// and the rules for which line direction holds the digit it shows.
#include "game/CellVO.h"

#include "kernel/controls/IFactory.h"

namespace Doduderor {

namespace {

const char kDigitFont[] = "fonts/a_BosaNova20.txt";
const char kHighlightImage[] = "images/cell_h.png";
const char kMarkedImage[] = "images/cell_g.png";
const char kWrongImage[] = "images/cell_r.png";
constexpr std::uint16_t kPictureLayer = 500;
constexpr std::uint16_t kTextLayer = 550;
// Amber: a digit in flight crosses the dark field, where black would vanish.
constexpr ControlLibrary::VOColor kFlyingDigitColor{255, 200, 80};
// The factory reports the left button as -1; as a 16-bit value that is 0xFFFF.
constexpr std::uint16_t kLeftButton16 = 0xFFFF;

}  // namespace

CellVO::CellVO(IFieldMgr* owner, std::uint16_t column, std::uint16_t row)
    : mOwner(owner), mColumn(column), mRow(row) {
  ControlLibrary::IFactory* factory = ControlLibrary::GetControlFactory();
  if (factory == nullptr) return;
  mPicture = factory->CreateImageVO();
  mDigitText = factory->CreateStringVO();
  mFlyingText = factory->CreateStringVO();
  ControlLibrary::IFont* font = factory->CreateFont();
  if (font != nullptr) font->Load(kDigitFont);

  if (mPicture != nullptr) {
    mPicture->SetLayer(kPictureLayer);
    mPicture->SetAlignment(ControlLibrary::kAlignLeftTop, ControlLibrary::kAlignLeftTop);
    mPicture->AddMouseObserver(this);
  }
  const struct {
    ControlLibrary::IStringVO* text;
    ControlLibrary::VOColor color;
  } texts[] = {{mDigitText, {255, 255, 255}}, {mFlyingText, kFlyingDigitColor}};
  for (const auto& t : texts) {
    if (t.text == nullptr) continue;
    t.text->SetFont(font);
    t.text->SetLayer(kTextLayer);
    t.text->SetColor(t.color);
    t.text->SetAlignment(ControlLibrary::kAlignCenter, ControlLibrary::kAlignCenter);
    t.text->AddMouseObserver(this);
  }
  // The texts hold their own references to the font.
  if (font != nullptr) factory->Release(font);

  if (EffectLibrary::IEffectSystem* effects = EffectLibrary::GetEffectSystem(); effects != nullptr && mFlyingText != nullptr) {
    mMoveEffect = effects->CreateState2MoveEffect(this, mFlyingText, kFlightMs);
  }
}

CellVO::~CellVO() {
  if (mMoveEffect != nullptr) {
    if (EffectLibrary::IEffectSystem* effects = EffectLibrary::GetEffectSystem()) effects->DestroyEffect(mMoveEffect);
  }
  if (ControlLibrary::IFactory* factory = ControlLibrary::GetControlFactory()) {
    if (mPicture != nullptr) factory->DeleteVO(mPicture);
    if (mDigitText != nullptr) factory->DeleteVO(mDigitText);
    if (mFlyingText != nullptr) factory->DeleteVO(mFlyingText);
  }
}

void CellVO::ShowImage(const std::string& name) {
  mShownImage = name;
  if (mPicture != nullptr) mPicture->SetImage(name, true);
}

void CellVO::SetBaseImage(const std::string& name) {
  mBaseImage = name;
  ShowImage(name);
  mMark = 0;
}

void CellVO::SetPosition(int x, int y) {
  mX = x;
  mY = y;
  if (mPicture != nullptr) mPicture->SetPosition(x, y);
  if (mDigitText != nullptr) mDigitText->SetPosition(x + 17, y + 15);
  if (mFlyingText != nullptr) mFlyingText->SetPosition(x + 15, y + 15);
  if (mMoveEffect != nullptr) mMoveEffect->SetEndPoint(x + 15, y + 15);
}

void CellVO::SetHighlighted(bool on) {
  ShowImage(on ? kHighlightImage : mBaseImage);
  mMark = 0;
}

void CellVO::SetSelectable(bool on) {
  ShowImage(on ? kMarkedImage : mBaseImage);
  mMark = on ? 1 : 0;
}

void CellVO::SetWrong(bool on) {
  ShowImage(on ? kWrongImage : mBaseImage);
  mMark = 0;
}

void CellVO::SetSolution(const std::string& digit) {
  mSolution = digit;
  if (mDigitText != nullptr) mDigitText->SetText(std::string());
  mHorizontalFixed = 0;
  mVerticalFixed = 0;
}

std::string CellVO::GetShownText() const { return mDigitText != nullptr ? mDigitText->GetText() : std::string(); }

std::string CellVO::GetText() const {
  std::string shown = GetShownText();
  return shown.empty() ? std::string(" ") : shown;
}

bool CellVO::PlaceDigit(const std::string& digit, bool horizontal, ControlLibrary::VOPoint from) {
  if (mHorizontalFixed != 0 && mVerticalFixed != 0) return false;
  std::uint8_t& flag = horizontal ? mHorizontalFixed : mVerticalFixed;
  if (flag != 0) return false;
  flag = 1;

  if (mMoveEffect != nullptr) mMoveEffect->SetStartPoint(from.x, from.y);
  if (mFlyingText != nullptr) {
    mFlyingText->SetPosition(from);
    mFlyingText->SetText(digit);
  }
  const bool arrives = mDigitText != nullptr && mDigitText->GetText().empty();
  if (arrives) {
    // Shown when the flight ends.
    mDigitText->SetVisible(false);
    mDigitText->SetText(digit);
  }
  // Without a flight (no effect left, or nowhere to fly) the digit shows at once.
  const bool flying = mMoveEffect != nullptr && mMoveEffect->Start(false, 0);
  if (arrives && !flying) mDigitText->SetVisible(true);
  return true;
}

void CellVO::ClearDirection(bool horizontal) {
  (horizontal ? mHorizontalFixed : mVerticalFixed) = 0;
  if (mHorizontalFixed == 0 && mVerticalFixed == 0 && mDigitText != nullptr) mDigitText->SetText(std::string());
}

void CellVO::SetVisible(bool on) {
  // A digit still on its way would otherwise show up over whatever the screen shows next;
  // once the flight is stopped no end of it is reported.
  if (!on && mMoveEffect != nullptr) mMoveEffect->Stop();
  if (on && mDigitText != nullptr) mDigitText->SetText(std::string());
  if (mPicture != nullptr) mPicture->SetVisible(on);
  if (mDigitText != nullptr) mDigitText->SetVisible(on);
}

void CellVO::OnMouseDown(std::uint32_t id, int button) {
  if (mOwner == nullptr) return;
  mOwner->OnCellClicked(static_cast<std::uint16_t>(button) == kLeftButton16, mColumn, mRow);
}

void CellVO::OnEffectFinished(std::uint32_t id) {
  if (mMoveEffect != nullptr && id == mMoveEffect->GetId() && mDigitText != nullptr) mDigitText->SetVisible(true);
}

}  // namespace Doduderor
