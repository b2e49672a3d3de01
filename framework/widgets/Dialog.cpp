// Dialogs and their buttons: construction by button mode, button layout, dragging, drawing
// and the reports to the application's DialogListener.
#include "framework/widgets/Dialog.h"

#include <algorithm>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/Image.h"
#include "framework/graphics/SysFont.h"
#include "framework/widgets/DialogButton.h"
#include "framework/widgets/WidgetManager.h"

namespace Orvo {

// Built at compile time (constinit), so that they already hold their texts for code that
// runs while other files are still being initialised. clang 14 (the fuzz build) cannot run
// libstdc++ 12's string constructor at compile time; there they are initialised as usual.
#if defined(__clang__) && __clang_major__ < 15
#define DIALOG_STRING_INIT
#else
#define DIALOG_STRING_INIT constinit
#endif
DIALOG_STRING_INIT std::string DIALOG_YES_STRING = "YES";
DIALOG_STRING_INIT std::string DIALOG_NO_STRING = "NO";
DIALOG_STRING_INIT std::string DIALOG_OK_STRING = "OK";
DIALOG_STRING_INIT std::string DIALOG_CANCEL_STRING = "CANCEL";
#undef DIALOG_STRING_INIT

namespace {

// min first, then max: when the range is empty the lower bound (left or top edge) wins.
int ClampLowWins(int value, int low, int high) { return std::max(low, std::min(value, high)); }

}  // namespace

DialogButton::DialogButton(Image* componentImage, int id, ButtonListener* listener)
    : ButtonWidget(id, listener), mComponentImage(componentImage) {
  mHandCursorOnHover = true;
  static const int kColors[6][3] = {{255, 255, 255}, {255, 255, 255}, {0, 0, 0},
                                    {255, 255, 255}, {132, 132, 132}, {212, 212, 212}};
  SetColors(kColors, 6);
}

void DialogButton::Draw(Graphics* g) {
  if (mNoDraw) return;
  if (mComponentImage == nullptr) {
    ButtonWidget::Draw(g);
    return;
  }
  EnsureFont(12, 1);
  const bool down = IsButtonDown();
  int tx = 0, ty = 0;
  const Rect whole(0, 0, mWidth, mHeight);
  if (mNormalRect.mWidth != 0) {
    if (mDisabled && mDisabledRect.mWidth > 0 && mDisabledRect.mHeight > 0) {
      g->DrawImageBox(mDisabledRect, whole, mComponentImage);
    } else if (down) {
      g->DrawImageBox(mPressedRect, whole, mComponentImage);
    } else if (mHoverAlpha > 0) {
      if (mHoverAlpha < 1) g->DrawImageBox(mNormalRect, whole, mComponentImage);
      g->PushState();
      g->SetColorizeImages(true);
      g->SetColor(Color(255, 255, 255, static_cast<int>(mHoverAlpha * 255)));
      g->DrawImageBox(mHoverRect, whole, mComponentImage);
      g->PopState();
    } else {
      g->DrawImageBox(mIsOver ? mHoverRect : mNormalRect, whole, mComponentImage);
    }
    if (down) {
      tx = mPressedOffsetX;
      ty = mPressedOffsetY;
      g->Translate(tx, ty);
    }
  } else {
    if (down) {
      tx = mPressedOffsetX;
      ty = mPressedOffsetY;
      g->Translate(tx, ty);
    }
    g->DrawImageBox(whole, mComponentImage);
  }
  g->SetFont(mFont);
  g->SetColor(GetColor(mIsOver ? COLOR_LABEL_HILITE : COLOR_LABEL));
  const int ascent = mFont->GetAscent();
  const int x = mLabelOffsetX + (mWidth - mFont->StringWidth(mLabel)) / 2;
  const int y = mLabelOffsetY + (ascent + mHeight - ascent / 6 - mFont->GetAscentPadding() - 1) / 2;
  g->DrawString(mLabel, x, y);
  g->Translate(-tx, -ty);
}

Dialog::Dialog(Image* componentImage, Image* buttonComponentImage, int id, bool isModal, const std::string& header,
               const std::string& lines, const std::string& footer, int buttonMode)
    : mDialogListener(gOrvoAppBase),
      mComponentImage(componentImage),
      mHeader(header),
      mFooter(footer),
      mLines(lines),
      mButtonMode(buttonMode),
      mButtonHeight(buttonComponentImage != nullptr ? buttonComponentImage->GetHeight() : 24),
      mDialogId(id),
      mIsModal(isModal) {
  mHasTransparencies = true;
  mHasAlpha = true;
  mPriority = 1;

  if (buttonMode == BUTTONS_YES_NO || buttonMode == BUTTONS_OK_CANCEL) {
    mYesButton = new DialogButton(buttonComponentImage, ID_YES, this);
    mNoButton = new DialogButton(buttonComponentImage, ID_NO, this);
    mYesButton->mLabel = buttonMode == BUTTONS_YES_NO ? DIALOG_YES_STRING : DIALOG_OK_STRING;
    mNoButton->mLabel = buttonMode == BUTTONS_YES_NO ? DIALOG_NO_STRING : DIALOG_CANCEL_STRING;
  } else if (buttonMode == BUTTONS_FOOTER) {
    mYesButton = new DialogButton(buttonComponentImage, ID_FOOTER, this);
    mYesButton->mLabel = footer;
  }

  static const int kColors[7][3] = {{255, 255, 255}, {255, 255, 0},  {255, 255, 255}, {255, 255, 255},
                                    {255, 255, 255}, {80, 80, 80},   {255, 255, 255}};
  SetColors(kColors, 7);
  // The button label colours reach the buttons through SetColor; plain buttons get black labels.
  const Color label = buttonComponentImage != nullptr ? Color(255, 255, 255) : Color(0, 0, 0);
  SetColor(COLOR_BUTTON_TEXT, label);
  SetColor(COLOR_BUTTON_TEXT_HILITE, label);
}

Dialog::~Dialog() {
  for (DialogButton* button : {mYesButton, mNoButton}) {
    if (button != nullptr && button->mParent != nullptr) button->mParent->RemoveWidget(button);
    delete button;
  }
  delete mHeaderFont;
  delete mLinesFont;
}

void Dialog::SetButtonFont(Font* font) {
  if (mYesButton != nullptr) mYesButton->SetFont(font);
  if (mNoButton != nullptr) mNoButton->SetFont(font);
}

void Dialog::SetHeaderFont(Font* font) {
  delete mHeaderFont;
  mHeaderFont = font != nullptr ? font->Duplicate() : nullptr;
}

void Dialog::SetLinesFont(Font* font) {
  delete mLinesFont;
  mLinesFont = font != nullptr ? font->Duplicate() : nullptr;
}

void Dialog::EnsureFonts() {
  if (mHeaderFont == nullptr) mHeaderFont = new SysFont(gOrvoAppBase, "Arial Unicode MS", 14);
  if (mLinesFont == nullptr) mLinesFont = new SysFont(gOrvoAppBase, "Arial Unicode MS", 12);
}

void Dialog::AttachedToManager(WidgetManager* manager) {
  Widget::AttachedToManager(manager);
  if (mYesButton != nullptr) manager->AddWidget(mYesButton);
  if (mNoButton != nullptr) manager->AddWidget(mNoButton);
}

void Dialog::DetachedFromManager(WidgetManager* manager) {
  Widget::DetachedFromManager(manager);
  if (mYesButton != nullptr) manager->RemoveWidget(mYesButton);
  if (mNoButton != nullptr) manager->RemoveWidget(mNoButton);
}

void Dialog::Update() { Widget::Update(); }

void Dialog::ZOrderChanged() {
  if (mWidgetManager == nullptr) return;
  if (mYesButton != nullptr) mWidgetManager->MoveInFront(mYesButton, this);
  if (mNoButton != nullptr) mWidgetManager->MoveInFront(mNoButton, this);
}

void Dialog::SetColor(int index, const Color& color) {
  Widget::SetColor(index, color);
  const int buttonIndex = index == COLOR_BUTTON_TEXT ? ButtonWidget::COLOR_LABEL
                          : index == COLOR_BUTTON_TEXT_HILITE ? ButtonWidget::COLOR_LABEL_HILITE
                                                              : -1;
  if (buttonIndex < 0) return;
  if (mYesButton != nullptr) mYesButton->SetColor(buttonIndex, color);
  if (mNoButton != nullptr) mNoButton->SetColor(buttonIndex, color);
}

void Dialog::Resize(int x, int y, int width, int height) {
  Widget::Resize(x, y, width, height);
  const Insets& bg = mBackgroundInsets;
  const Insets& ct = mContentInsets;
  const int top = y + height - ct.mBottom - bg.mBottom - mButtonHeight;
  if (mYesButton != nullptr && mNoButton != nullptr) {
    const int buttonWidth =
        (width - 2 * mButtonSidePadding - ct.mRight - bg.mRight - bg.mLeft - ct.mLeft - mButtonSpacing) / 2;
    mYesButton->Resize(x + bg.mLeft + ct.mLeft + mButtonSidePadding, top, buttonWidth, mButtonHeight);
    mNoButton->Resize(mYesButton->mX + buttonWidth + mButtonSpacing, top, buttonWidth, mButtonHeight);
  } else if (mYesButton != nullptr) {
    mYesButton->Resize(x + bg.mLeft + ct.mLeft, top, width - ct.mRight - bg.mRight - bg.mLeft - ct.mLeft,
                       mButtonHeight);
  }
}

void Dialog::Draw(Graphics* g) {
  EnsureFonts();
  const int w = mWidth, h = mHeight;
  if (mComponentImage == nullptr) {
    g->SetColor(GetColor(COLOR_OUTLINE));
    g->DrawRect(12, 12, w - 25, h - 25);
    g->SetColor(GetColor(COLOR_BKG));
    g->FillRect(13, 13, w - 26, h - 26);
    g->SetColor(Color(0, 0, 0, 128));
    g->FillRect(w - 12, 24, 12, h - 36);
    g->FillRect(24, h - 12, w - 24, 12);
  } else {
    g->DrawImageBox(Rect(mBackgroundInsets.mLeft, mBackgroundInsets.mTop,
                         w - mBackgroundInsets.mRight - mBackgroundInsets.mLeft,
                         h - mBackgroundInsets.mBottom - mBackgroundInsets.mTop),
                    mComponentImage);
  }

  int y = mContentInsets.mTop + mBackgroundInsets.mTop;
  if (!mHeader.empty()) {
    y += mHeaderFont->GetAscent() - mHeaderFont->GetAscentPadding();
    g->SetFont(mHeaderFont);
    g->SetColor(GetColor(COLOR_HEADER));
    DrawCenteredLine(g, y, mHeader);
    y += mHeaderFont->GetHeight() - mHeaderFont->GetAscent() + mSpaceAfterHeader;
  }
  g->SetFont(mLinesFont);
  g->SetColor(GetColor(COLOR_LINES));
  const Rect linesRect(mBackgroundInsets.mLeft + mContentInsets.mLeft + 2, y,
                       w - mContentInsets.mRight - mBackgroundInsets.mLeft - mContentInsets.mLeft -
                           mBackgroundInsets.mRight - 4,
                       0);
  y += DrawWrappedText(g, linesRect, mLines, mLinesFont->GetLineSpacing() + mExtraLineSpacing, mLinesAlign);
  if (!mFooter.empty() && mButtonMode != BUTTONS_FOOTER) {
    g->SetFont(mHeaderFont);
    g->SetColor(GetColor(COLOR_FOOTER));
    DrawCenteredLine(g, y + mHeaderFont->GetLineSpacing() + 8, mFooter);
  }
}

int Dialog::GetPreferredHeight(int width) {
  EnsureFonts();
  int height = mBackgroundInsets.mTop + mContentInsets.mTop + mContentInsets.mBottom + mBackgroundInsets.mBottom;
  bool somethingBefore = false;
  if (!mHeader.empty()) {
    height += mHeaderFont->GetHeight() - mHeaderFont->GetAscentPadding();
    somethingBefore = true;
  }
  if (!mLines.empty()) {
    if (somethingBefore) height += mSpaceAfterHeader;
    Graphics g;
    g.SetFont(mLinesFont);
    height += g.GetWordWrappedHeight(
        width - mContentInsets.mRight - mContentInsets.mLeft - mBackgroundInsets.mRight - mBackgroundInsets.mLeft - 4,
        mLines, mLinesFont->GetLineSpacing() + mExtraLineSpacing);
    somethingBefore = true;
  }
  if (!mFooter.empty() && mButtonMode != BUTTONS_FOOTER) {
    if (somethingBefore) height += 8;
    height += mHeaderFont->GetLineSpacing();
    somethingBefore = true;
  }
  if (mYesButton != nullptr) {
    if (somethingBefore) height += 8;
    height += mButtonHeight + 8;
  }
  return height;
}

int Dialog::WaitForResult(bool autoClose) {
  OrvoAppBase* app = mWidgetManager != nullptr ? mWidgetManager->mApp : gOrvoAppBase;
  if (app == nullptr) return mResult;
  while (mWidgetManager != nullptr && mResult == NO_RESULT) {
    bool updated = false;
    if (!app->StepLoop(&updated)) break;
  }
  const int result = mResult;
  if (autoClose) app->CloseDialog(mDialogId);
  return result;
}

void Dialog::MouseDownButton(int x, int y, int button, int clickCount) {
  if (clickCount != 1) return;
  mDragging = true;
  mDragOffsetX = x;
  mDragOffsetY = y;
  if (mWidgetManager != nullptr) mWidgetManager->SetAppCursor(CURSOR_DRAGGING);
}

void Dialog::MouseUpButton(int x, int y, int button, int clickCount) {
  if (!mDragging) return;
  mDragging = false;
  if (mWidgetManager != nullptr) mWidgetManager->SetAppCursor(CURSOR_POINTER);
}

void Dialog::MouseDrag(int x, int y) {
  if (!mDragging) return;
  const int managerWidth = mWidgetManager != nullptr ? mWidgetManager->mWidth : 0;
  const int managerHeight = mWidgetManager != nullptr ? mWidgetManager->mHeight : 0;
  const int newX = ClampLowWins(mX - mDragOffsetX + x, -8, managerWidth - mWidth + 8);
  const int newY = ClampLowWins(mY - mDragOffsetY + y, -8, managerHeight - mHeight + 8);
  mDragOffsetX = ClampLowWins(mX - newX + x, 8, mWidth - 9);
  mDragOffsetY = ClampLowWins(mY - newY + y, 8, mHeight - 9);
  Move(newX, newY);
}

void Dialog::ButtonPressed(int id) {
  if ((id == ID_YES || id == ID_NO) && mDialogListener != nullptr) mDialogListener->DialogButtonPressed(mDialogId, id);
}

void Dialog::ButtonReleased(int id) {
  if (id != ID_YES && id != ID_NO) return;
  mResult = id;
  if (mDialogListener != nullptr) mDialogListener->DialogButtonReleased(mDialogId, id);
}

}  // namespace Orvo
