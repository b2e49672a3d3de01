// Push buttons: listener callbacks, the hover fade, and the plain or picture look.
#include "framework/widgets/ButtonWidget.h"

#include "framework/graphics/Font.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/Image.h"
#include "framework/graphics/ImageAppLink.h"
#include "framework/graphics/SysFont.h"
#include "framework/widgets/WidgetManager.h"

namespace Orvo {

ButtonWidget::ButtonWidget(int id, ButtonListener* listener) : mId(id), mListener(listener) {
  mHasAlpha = true;
  static const int kColors[6][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {255, 255, 255}, {132, 132, 132}, {212, 212, 212}};
  SetColors(kColors, 6);
}

ButtonWidget::~ButtonWidget() { delete mFont; }

void ButtonWidget::SetFont(Font* font) {
  delete mFont;
  mFont = font != nullptr ? font->Duplicate() : nullptr;
}

bool ButtonWidget::IsButtonDown() { return mIsDown && mIsOver && !mDisabled; }

void ButtonWidget::DrawButtonImage(Graphics* g, Image* image, const Rect& srcRect, int x, int y) {
  if (srcRect.mWidth == 0) {
    if (image != nullptr) g->DrawImage(image, x, y);
  } else if (mImage != nullptr) {
    g->DrawImage(mImage, x, y, srcRect);
  }
}

void ButtonWidget::SetDisabled(bool disabled) {
  Widget::SetDisabled(disabled);
  if (HaveDisabledImage()) MarkDirty();
}

Font* ButtonWidget::EnsureFont(int size, int script) {
  if (mFont == nullptr) mFont = new SysFont(imageapp::ProcessApp(), "Arial Unicode MS", size, script);
  return mFont;
}

void ButtonWidget::HoverChanged() {
  if (!mIsDown && !HaveHoverImage() && GetColor(COLOR_LABEL) == GetColor(COLOR_LABEL_HILITE)) return;
  MarkDirty();
}

void ButtonWidget::MouseEnter() {
  if (mHoverFadeInSpeed == 0 && mHoverAlpha > 0) mHoverAlpha = 0;
  HoverChanged();
  if (mListener != nullptr) mListener->ButtonHoverStart(mId);
}

void ButtonWidget::MouseLeave() {
  if (mHoverFadeOutSpeed == 0 && mHoverAlpha > 0) {
    mHoverAlpha = 0;
  } else if (mHoverFadeOutSpeed > 0 && mHoverAlpha == 0) {
    mHoverAlpha = 1;
  }
  HoverChanged();
  if (mListener != nullptr) mListener->ButtonHoverEnd(mId);
}

void ButtonWidget::MouseMove(int x, int y) {
  if (mListener != nullptr) mListener->ButtonHoverMove(mId, x, y);
}

void ButtonWidget::MouseDownButton(int x, int y, int button, int clickCount) {
  if (mListener != nullptr) mListener->ButtonPressed(mId, clickCount);
  MarkDirty();
}

void ButtonWidget::MouseUpButton(int x, int y, int button, int clickCount) {
  const bool appHasFocus = mWidgetManager == nullptr || mWidgetManager->mHasFocus;
  if (mIsOver && appHasFocus && mListener != nullptr) mListener->ButtonReleased(mId);
  MarkDirty();
}

void ButtonWidget::Update() {
  Widget::Update();
  if (mIsDown && mIsOver && mListener != nullptr) mListener->ButtonHeldTick(mId);
  if (mIsOver && mHoverFadeInSpeed > 0 && mHoverAlpha < 1) {
    mHoverAlpha += mHoverFadeInSpeed;
    if (mHoverAlpha > 1) mHoverAlpha = 1;
    MarkDirty();
  } else if (!mIsDown && !mIsOver && mHoverAlpha > 0) {
    if (mHoverFadeOutSpeed > 0) {
      mHoverAlpha -= mHoverFadeOutSpeed;
      if (mHoverAlpha < 0) mHoverAlpha = 0;
    } else {
      mHoverAlpha = 0;
    }
    MarkDirty();
  }
}

void ButtonWidget::Draw(Graphics* g) {
  if (mNoDraw) return;
  if (mFont == nullptr && !mLabel.empty()) EnsureFont(10, 0);
  const bool pressed = IsButtonDown() != mInverted;

  const int labelWidth = mFont != nullptr ? mFont->StringWidth(mLabel) : 0;
  const int ascent = mFont != nullptr ? mFont->GetAscent() : 0;
  int labelX = 0;
  if (mLabelAlign == BUTTON_LABEL_CENTER) {
    labelX = (mWidth - labelWidth) / 2;
  } else if (mLabelAlign == BUTTON_LABEL_RIGHT) {
    labelX = mWidth - labelWidth;
  }
  const int labelY = (mHeight - ascent / 6 - 1 + ascent) / 2;
  g->SetFont(mFont);
  const int w = mWidth, h = mHeight;

  if (mImage == nullptr && mPressedImage == nullptr) {
    if (!mNoFrame) {
      g->SetColor(GetColor(COLOR_BKG));
      g->FillRect(0, 0, w, h);
      // The bevel: light above and left with dark below and right, swapped while pressed.
      g->SetColor(GetColor(pressed ? COLOR_DARK_OUTLINE : COLOR_LIGHT_OUTLINE));
      g->FillRect(0, 0, w - 1, 1);
      g->FillRect(0, 0, 1, h - 1);
      g->SetColor(GetColor(pressed ? COLOR_LIGHT_OUTLINE : COLOR_DARK_OUTLINE));
      g->FillRect(0, h - 1, w, 1);
      g->FillRect(w - 1, 0, 1, h);
      g->SetColor(GetColor(COLOR_MEDIUM_OUTLINE));
      if (pressed) {
        g->FillRect(1, 1, w - 3, 1);
        g->FillRect(1, 1, 1, h - 3);
      } else {
        g->FillRect(1, h - 2, w - 2, 1);
        g->FillRect(w - 2, 1, 1, h - 2);
      }
    }
    const int shift = pressed ? 1 : 0;
    g->SetColor(GetColor(mIsOver ? COLOR_LABEL_HILITE : COLOR_LABEL));
    g->DrawString(mLabel, labelX + shift, labelY + shift);
    return;
  }

  if (pressed) {
    if (HavePressedImage()) {
      DrawButtonImage(g, mPressedImage, mPressedRect, 0, 0);
    } else if (HaveHoverImage()) {
      DrawButtonImage(g, mHoverImage, mHoverRect, 1, 1);
    } else {
      DrawButtonImage(g, mImage, mNormalRect, 1, 1);
    }
    g->SetColor(GetColor(COLOR_LABEL_HILITE));
    g->DrawString(mLabel, labelX + 1, labelY + 1);
    return;
  }

  if (mDisabled && HaveDisabledImage()) {
    DrawButtonImage(g, mDisabledImage, mDisabledRect, 0, 0);
  } else if (mHoverAlpha > 0 && HaveHoverImage()) {
    if (mHoverAlpha < 1) DrawButtonImage(g, mImage, mNormalRect, 0, 0);
    g->PushState();
    g->SetColorizeImages(true);
    g->SetColor(Color(255, 255, 255, static_cast<int>(mHoverAlpha * 255)));
    DrawButtonImage(g, mHoverImage, mHoverRect, 0, 0);
    g->PopState();
  } else if ((mIsOver || mIsDown) && HaveHoverImage()) {
    DrawButtonImage(g, mHoverImage, mHoverRect, 0, 0);
  } else if (HaveNormalImage()) {
    DrawButtonImage(g, mImage, mNormalRect, 0, 0);
  }
  g->SetColor(GetColor(mIsOver ? COLOR_LABEL_HILITE : COLOR_LABEL));
  g->DrawString(mLabel, labelX, labelY);
}

}  // namespace Orvo
