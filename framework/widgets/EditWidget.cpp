// Text field: wrapping, typing and drawing.
#include "framework/widgets/EditWidget.h"

#include <algorithm>

#include "framework/graphics/Graphics.h"
#include "framework/graphics/ImageAppLink.h"
#include "framework/graphics/SysFont.h"
#include "framework/widgets/WidgetManager.h"

namespace Orvo {

namespace {
constexpr int kPadding = 3;
}

EditWidget::EditWidget(bool multiLine, bool readOnly) : mMultiLine(multiLine), mReadOnly(readOnly) {
  mWantsFocus = !readOnly;
  SetColor(COLOR_TEXT, Color(0, 0, 0));
  SetColor(COLOR_BKG, readOnly ? Color(236, 233, 216) : Color(255, 255, 255));
  SetColor(COLOR_OUTLINE, Color(127, 157, 185));
}

EditWidget::~EditWidget() { delete mFont; }

void EditWidget::SetFont(Font* font) {
  delete mFont;
  mFont = font;
  MarkDirty();
}

Font* EditWidget::EnsureFont() {
  if (mFont == nullptr) mFont = new SysFont(imageapp::ProcessApp(), "Tahoma", 8);
  return mFont;
}

void EditWidget::SetText(const std::string& text) {
  mText = text.size() > mMaxLength ? text.substr(0, mMaxLength) : text;
  mAllSelected = false;
  mScrollLine = 0;
  MarkDirty();
}

std::vector<std::string> EditWidget::WrappedLines() {
  Font* font = EnsureFont();
  const int width = std::max(mWidth - 2 * kPadding, 8);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= mText.size()) {
    std::size_t end = mText.find('\n', start);
    if (end == std::string::npos) end = mText.size();
    std::string para = mText.substr(start, end - start);
    if (!para.empty() && para.back() == '\r') para.pop_back();
    if (!mMultiLine) {
      lines.push_back(para);
      break;
    }
    // Wrap at the last blank that fits, or inside a word longer than the line.
    while (font->StringWidth(para) > width && para.size() > 1) {
      std::size_t fit = 1;
      while (fit < para.size() && font->StringWidth(para.substr(0, fit + 1)) <= width) ++fit;
      const std::size_t blank = para.rfind(' ', fit);
      const std::size_t cut = (blank != std::string::npos && blank > 0) ? blank : fit;
      lines.push_back(para.substr(0, cut));
      para.erase(0, blank == cut ? cut + 1 : cut);
    }
    lines.push_back(para);
    start = end + 1;
  }
  return lines;
}

int EditWidget::VisibleLines() {
  const int lineHeight = std::max(EnsureFont()->GetHeight(), 1);
  return std::max((mHeight - 2 * kPadding) / lineHeight, 1);
}

void EditWidget::Draw(Graphics* g) {
  g->SetColor(GetColor(COLOR_BKG));
  g->FillRect(0, 0, mWidth, mHeight);
  if (mBorder) {
    g->SetColor(GetColor(COLOR_OUTLINE));
    g->DrawRect(0, 0, mWidth - 1, mHeight - 1);
  }
  Font* font = EnsureFont();
  std::vector<std::string> lines = WrappedLines();
  if (mHasFocus && !mReadOnly) lines.back() += "|";
  const int lineHeight = std::max(font->GetHeight(), 1);
  g->SetFont(font);
  g->SetColor(GetColor(COLOR_TEXT));
  g->ClipRect(kPadding, kPadding, mWidth - 2 * kPadding, mHeight - 2 * kPadding);
  int y = kPadding + font->GetAscent();
  for (std::size_t i = static_cast<std::size_t>(std::max(mScrollLine, 0)); i < lines.size(); ++i) {
    if (y - font->GetAscent() >= mHeight) break;
    g->DrawString(lines[i], kPadding, y);
    y += lineHeight;
  }
}

void EditWidget::KeyChar(char c) {
  if (mReadOnly) return;
  const auto u = static_cast<unsigned char>(c);
  if (u == '\r' || u == '\n') {
    if (!mMultiLine) {
      if (mOnEnter) mOnEnter();
      return;
    }
    c = '\n';
  } else if (u == '\b') {
    if (mAllSelected) mText.clear();
    else if (!mText.empty()) mText.pop_back();
    mAllSelected = false;
    MarkDirty();
    return;
  } else if (u < 32 && u != '\t') {
    return;
  }
  if (mAllSelected) mText.clear();
  mAllSelected = false;
  if (mText.size() >= mMaxLength) return;
  mText += c;
  // The end of the text, where typing goes, stays in view.
  const int lines = static_cast<int>(WrappedLines().size());
  mScrollLine = std::max(lines - VisibleLines(), 0);
  MarkDirty();
}

void EditWidget::MouseWheel(int delta) {
  const int lines = static_cast<int>(WrappedLines().size());
  const int last = std::max(lines - VisibleLines(), 0);
  mScrollLine = std::clamp(mScrollLine - delta * 3, 0, last);
  MarkDirty();
}

void EditWidget::MouseDown(int x, int y, int clickCount) {
  Widget::MouseDown(x, y, clickCount);
  if (!mReadOnly && mWidgetManager != nullptr) mWidgetManager->SetFocus(this);
}

}  // namespace Orvo
