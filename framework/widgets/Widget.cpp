// Widgets: visibility, colours, geometry, focus keys and the text-drawing conveniences.
#include "framework/widgets/Widget.h"

#include <algorithm>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/Font.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/Image.h"
#include "framework/widgets/WidgetManager.h"

namespace Orvo {

const Color Widget::sDefaultColor(0, 0, 0, 255);

Widget::~Widget() {
  if (mParent != nullptr) mParent->RemoveWidget(this);
}

void Widget::SetVisible(bool visible) {
  if (mVisible == visible) return;
  mVisible = visible;
  if (visible) {
    MarkDirty();
  } else {
    InvalidateFully();
  }
  if (mWidgetManager != nullptr) mWidgetManager->RecheckMouse();
}

void Widget::SetColors(const int colors[][4], int numColors) {
  mColors.clear();
  for (int i = 0; i < numColors; ++i) mColors.emplace_back(colors[i][0], colors[i][1], colors[i][2], colors[i][3]);
  MarkDirty();
}

void Widget::SetColors(const int colors[][3], int numColors) {
  mColors.clear();
  for (int i = 0; i < numColors; ++i) mColors.emplace_back(colors[i][0], colors[i][1], colors[i][2]);
  MarkDirty();
}

void Widget::SetColor(int index, const Color& color) {
  if (index < 0) return;
  if (static_cast<std::size_t>(index) >= mColors.size()) mColors.resize(static_cast<std::size_t>(index) + 1);
  mColors[static_cast<std::size_t>(index)] = color;
  MarkDirty();
}

const Color& Widget::GetColor(int index, const Color& fallback) {
  if (index >= 0 && static_cast<std::size_t>(index) < mColors.size()) return mColors[static_cast<std::size_t>(index)];
  return fallback;
}

const Color& Widget::GetColor(int index) { return GetColor(index, sDefaultColor); }

void Widget::SetDisabled(bool disabled) {
  if (mDisabled == disabled) return;
  mDisabled = disabled;
  if (disabled && mWidgetManager != nullptr) mWidgetManager->DropWidgetReferences(this);
  MarkDirty();
  if (!disabled && mWidgetManager != nullptr &&
      Contains(mWidgetManager->mLastMouseX, mWidgetManager->mLastMouseY))
    mWidgetManager->RecheckMouse();
}

void Widget::SetHandCursor(bool hand) {
  if (mWidgetManager != nullptr) mWidgetManager->SetAppCursor(hand ? CURSOR_HAND : CURSOR_POINTER);
}

void Widget::ResizeRect(const Rect& rect) { Resize(rect.mX, rect.mY, rect.mWidth, rect.mHeight); }

void Widget::Resize(int x, int y, int width, int height) {
  if (mX == x && mY == y && mWidth == width && mHeight == height) return;
  InvalidateFully();
  mX = x;
  mY = y;
  mWidth = width;
  mHeight = height;
  MarkDirty();
  if (mWidgetManager != nullptr) mWidgetManager->RecheckMouse();
}

void Widget::Move(int x, int y) { Resize(x, y, mWidth, mHeight); }

void Widget::KeyDown(int key) {
  if (key != KEYCODE_TAB || mWidgetManager == nullptr) return;
  Widget* target = mWidgetManager->IsKeyDown(KEYCODE_SHIFT) ? mTabPrev : mTabNext;
  if (target != nullptr) mWidgetManager->SetFocus(target);
}

void Widget::MouseDown(int x, int y, int clickCount) {
  // The signed count is mapped onto the button codes the rest of the widget layer uses.
  if (clickCount == 3) {
    MouseDownButton(x, y, MOUSE_BUTTON_MIDDLE, 1);
  } else if (clickCount < 0) {
    MouseDownButton(x, y, MOUSE_BUTTON_RIGHT, -clickCount);
  } else {
    MouseDownButton(x, y, MOUSE_BUTTON_LEFT, clickCount);
  }
}

Rect Widget::DrawCenteredLine(Graphics* g, int y, const std::string& text) {
  Font* font = g->GetFont();
  if (font == nullptr) return Rect();
  const int width = font->StringWidth(text);
  const int x = (mWidth - width) / 2;
  g->DrawString(text, x, y);
  return Rect(x, y - font->GetAscent(), width, font->GetHeight());
}

Rect Widget::DrawCenteredLine(Graphics* g, int y, const std::string& text, const Color& color,
                              const Color& shadowColor, const Point& shadowOffset) {
  Font* font = g->GetFont();
  if (font == nullptr) return Rect();
  const int width = font->StringWidth(text);
  const int x = (mWidth - width) / 2;
  g->SetColor(shadowColor);
  g->DrawString(text, x + shadowOffset.mX, y + shadowOffset.mY);
  g->SetColor(color);
  g->DrawString(text, x, y);
  const int top = y - font->GetAscent();
  const int left = std::min(x, x + shadowOffset.mX);
  const int right = std::max(x, x + shadowOffset.mX) + width;
  const int upper = std::min(top, top + shadowOffset.mY);
  const int lower = std::max(top, top + shadowOffset.mY) + font->GetHeight();
  return Rect(left, upper, right - left, lower - upper);
}

int Widget::DrawTextAt(Graphics* g, const std::string& text, int x, int y, int width, int justification, bool draw,
                       int offset, int length) {
  const bool wasColored = g->writeColoredString;
  g->writeColoredString = true;
  const int result = g->WriteString(text, x, y, width, justification, draw, offset, length, -1);
  g->writeColoredString = wasColored;
  return result;
}

int Widget::DrawWrappedText(Graphics* g, const Rect& rect, const std::string& text, int lineSpacing,
                            int justification) {
  const bool wasColored = g->writeColoredString;
  g->writeColoredString = true;
  const int result = g->WriteWordWrapped(rect, text, lineSpacing, justification);
  g->writeColoredString = wasColored;
  return result;
}

int Widget::MeasureWrappedText(Graphics* g, int width, const std::string& text, int lineSpacing) {
  return g->GetWordWrappedHeight(width, text, lineSpacing);
}

int Widget::CountDigits(int number) {
  // Negative numbers count the digits of their magnitude.
  long long n = number < 0 ? -static_cast<long long>(number) : number;
  int digits = 1;
  while (n >= 10) {
    n /= 10;
    ++digits;
  }
  return digits;
}

void Widget::DrawNumberFromStrip(Graphics* g, int number, int x, int y, Image* strip, int spacing) {
  if (strip == nullptr || number < 0) return;
  const int digitWidth = strip->GetWidth() / 10;
  const int digits = CountDigits(number);
  int divisor = 1;
  for (int i = 1; i < digits; ++i) divisor *= 10;
  int offset = 0;
  for (int i = 0; i < digits; ++i) {
    const int digit = (number / divisor) % 10;
    divisor /= 10;
    Graphics clipped(*g);
    clipped.ClipRect(x + offset, y, digitWidth, strip->GetHeight());
    clipped.DrawImage(strip, x + offset - digit * digitWidth, y);
    offset += digitWidth + spacing;
  }
}

bool Widget::Contains(int x, int y) { return x >= mX && x < mX + mWidth && y >= mY && y < mY + mHeight; }

Rect Widget::GetInnerRect() {
  return Rect(mX + mInsets.mLeft, mY + mInsets.mTop, mWidth - mInsets.mLeft - mInsets.mRight,
              mHeight - mInsets.mTop - mInsets.mBottom);
}

}  // namespace Orvo
