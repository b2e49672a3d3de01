// Text field: wrapping, typing, scrolling and drawing.
#include "framework/widgets/EditWidget.h"

#include <algorithm>
#include <climits>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/ImageAppLink.h"
#include "framework/graphics/SysFont.h"
#include "framework/widgets/WidgetManager.h"

namespace Orvo {

namespace {
constexpr int kPadding = 3;
constexpr int kMinThumb = 8;
const Color kBarFace(212, 208, 200);
const Color kBarTrack(245, 244, 240);
const Color kBarEdge(128, 128, 128);
const Color kArrow(0, 0, 0);
const Color kArrowDisabled(161, 161, 146);
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
  TextChanged();
}

Font* EditWidget::EnsureFont() {
  if (mFont == nullptr) mFont = new SysFont(imageapp::ProcessApp(), "Tahoma", 8);
  return mFont;
}

void EditWidget::SetText(const std::string& text) {
  mText = text.size() > mMaxLength ? text.substr(0, mMaxLength) : text;
  mAllSelected = false;
  mScrollLine = 0;
  TextChanged();
}

void EditWidget::TextChanged() {
  mLinesWidth = -1;
  MarkDirty();
}

const std::vector<std::string>& EditWidget::WrappedLines() {
  Font* font = EnsureFont();
  const int width = std::max(TextWidth(), 8);
  if (mLinesWidth == width) return mLines;
  mLines.clear();
  mLinesWidth = width;
  // The width of a character after another, asked of the font once per pair: the width of a
  // line is the sum over its characters, and a report of megabytes has few distinct pairs.
  // The table is made only when a line is measured, so a one-line box never makes it.
  constexpr int kUnknown = INT_MIN;
  std::vector<int> widths;
  auto charWidth = [&](char c, char previous) {
    if (widths.empty()) widths.assign(256 * 256, kUnknown);
    int& w = widths[static_cast<unsigned char>(previous) * 256 + static_cast<unsigned char>(c)];
    if (w == kUnknown) w = font->CharWidthKern(c, previous);
    return w;
  };
  std::size_t start = 0;
  while (start <= mText.size()) {
    std::size_t end = mText.find('\n', start);
    if (end == std::string::npos) end = mText.size();
    std::size_t paraEnd = end;
    if (paraEnd > start && mText[paraEnd - 1] == '\r') --paraEnd;
    if (!mMultiLine) {
      mLines.push_back(mText.substr(start, paraEnd - start));
      break;
    }
    // Wrap at the last blank that fits, or inside a word longer than the line.
    std::size_t line = start;
    for (;;) {
      long long used = 0;
      char previous = 0;
      std::size_t fit = line;
      while (fit < paraEnd) {
        used += charWidth(mText[fit], previous);
        if (used > width) break;
        previous = mText[fit++];
      }
      if (fit == paraEnd || paraEnd - line <= 1) {
        mLines.push_back(mText.substr(line, paraEnd - line));
        break;
      }
      fit = std::max(fit, line + 1);
      std::size_t blank = fit;
      while (blank > line && mText[blank] != ' ') --blank;
      if (blank > line) {
        mLines.push_back(mText.substr(line, blank - line));
        line = blank + 1;
      } else {
        mLines.push_back(mText.substr(line, fit - line));
        line = fit;
      }
    }
    start = end + 1;
  }
  return mLines;
}

int EditWidget::TextWidth() const {
  return mWidth - 2 * kPadding - (mScrollBar ? kScrollBarWidth : 0);
}

int EditWidget::VisibleLines() {
  const int lineHeight = std::max(EnsureFont()->GetHeight(), 1);
  return std::max((mHeight - 2 * kPadding) / lineHeight, 1);
}

int EditWidget::GetMaxScrollLine() {
  return std::max(static_cast<int>(WrappedLines().size()) - VisibleLines(), 0);
}

void EditWidget::ScrollTo(int line) {
  line = std::clamp(line, 0, GetMaxScrollLine());
  if (line == mScrollLine) return;
  mScrollLine = line;
  MarkDirty();
}

EditWidget::BarLayout EditWidget::Bar() {
  BarLayout bar;
  const int edge = mBorder ? 1 : 0;
  bar.width = kScrollBarWidth;
  bar.x = mWidth - edge - bar.width;
  bar.top = edge;
  bar.bottom = std::max(mHeight - edge, bar.top);
  const int arrow = std::min(bar.width, (bar.bottom - bar.top) / 2);
  bar.trackTop = bar.top + arrow;
  bar.trackBottom = bar.bottom - arrow;
  const int lines = static_cast<int>(WrappedLines().size());
  const int visible = VisibleLines();
  const int last = std::max(lines - visible, 0);
  const int track = bar.trackBottom - bar.trackTop;
  if (last > 0 && track > 0) {
    bar.thumbHeight = std::clamp(track * visible / lines, std::min(kMinThumb, track), track);
    bar.thumbTop = bar.trackTop + (track - bar.thumbHeight) * std::clamp(mScrollLine, 0, last) / last;
  }
  return bar;
}

void EditWidget::DrawBar(Graphics* g, const BarLayout& bar) {
  g->SetColor(kBarTrack);
  g->FillRect(bar.x, bar.top, bar.width, bar.bottom - bar.top);
  // A raised box: face, light top and left, dark bottom and right.
  auto box = [g](int x, int y, int w, int h) {
    if (w <= 0 || h <= 0) return;
    g->SetColor(kBarFace);
    g->FillRect(x, y, w, h);
    g->SetColor(Color(255, 255, 255));
    g->FillRect(x, y, w, 1);
    g->FillRect(x, y, 1, h);
    g->SetColor(kBarEdge);
    g->FillRect(x, y + h - 1, w, 1);
    g->FillRect(x + w - 1, y, 1, h);
  };
  const bool scrolls = bar.thumbHeight > 0;
  const int arrow = bar.trackTop - bar.top;
  box(bar.x, bar.top, bar.width, arrow);
  box(bar.x, bar.trackBottom, bar.width, arrow);
  if (scrolls) box(bar.x, bar.thumbTop, bar.width, bar.thumbHeight);
  // The arrows: small triangles, row by row, pointing up and down.
  g->SetColor(scrolls ? kArrow : kArrowDisabled);
  const int size = std::min(bar.width, arrow) / 4;
  const int cx = bar.x + bar.width / 2;
  for (int row = 0; row < size; ++row) {
    const int upY = bar.top + (arrow - size) / 2 + row;
    const int downY = bar.trackBottom + (arrow + size) / 2 - 1 - row;
    g->FillRect(cx - row - 1, upY, 2 * row + 2, 1);
    g->FillRect(cx - row - 1, downY, 2 * row + 2, 1);
  }
}

void EditWidget::Draw(Graphics* g) {
  g->SetColor(GetColor(COLOR_BKG));
  g->FillRect(0, 0, mWidth, mHeight);
  if (mBorder) {
    g->SetColor(GetColor(COLOR_OUTLINE));
    g->DrawRect(0, 0, mWidth - 1, mHeight - 1);
  }
  if (mScrollBar) DrawBar(g, Bar());
  Font* font = EnsureFont();
  const std::vector<std::string>& lines = WrappedLines();
  const int lineHeight = std::max(font->GetHeight(), 1);
  g->SetFont(font);
  g->SetColor(GetColor(COLOR_TEXT));
  g->ClipRect(kPadding, kPadding, std::max(TextWidth(), 0), mHeight - 2 * kPadding);
  // Whole lines only: a line the box has no room for waits for the scroll that shows it
  // entirely (the first one is drawn in any case).
  const std::size_t first = static_cast<std::size_t>(std::clamp(mScrollLine, 0, static_cast<int>(lines.size()) - 1));
  int top = kPadding;
  for (std::size_t i = first; i < lines.size(); ++i) {
    if (i > first && top + lineHeight > mHeight - kPadding) break;
    // The caret follows the last line of an editable box that has the focus.
    const bool caret = i + 1 == lines.size() && mHasFocus && !mReadOnly;
    g->DrawString(caret ? lines[i] + "|" : lines[i], kPadding, top + font->GetAscent());
    top += lineHeight;
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
  } else if (u < 32 && u != '\t' && u != '\b') {
    return;
  }
  if (mAllSelected) mText.clear();
  else if (u == '\b' && !mText.empty()) mText.pop_back();
  mAllSelected = false;
  if (u != '\b' && mText.size() < mMaxLength) mText += c;
  TextChanged();
  // The end of the text, where typing and erasing go, stays in view at the bottom: erased
  // lines do not leave the view below the end of the text.
  const int lines = static_cast<int>(WrappedLines().size());
  mScrollLine = std::max(lines - VisibleLines(), 0);
}

void EditWidget::MouseWheel(int delta) { ScrollTo(mScrollLine - delta * 3); }

void EditWidget::KeyDown(int key) {
  const bool ctrl = mWidgetManager != nullptr && mWidgetManager->IsKeyDown(KEYCODE_CONTROL);
  const int page = std::max(VisibleLines() - 1, 1);
  switch (key) {
    case KEYCODE_UP: ScrollTo(mScrollLine - 1); break;
    case KEYCODE_DOWN: ScrollTo(mScrollLine + 1); break;
    case KEYCODE_PAGE_UP: ScrollTo(mScrollLine - page); break;
    case KEYCODE_PAGE_DOWN: ScrollTo(mScrollLine + page); break;
    case KEYCODE_HOME:
      if (ctrl) ScrollTo(0);
      break;
    case KEYCODE_END:
      if (ctrl) ScrollTo(GetMaxScrollLine());
      break;
    default: Widget::KeyDown(key); break;
  }
}

void EditWidget::MouseDown(int x, int y, int clickCount) {
  Widget::MouseDown(x, y, clickCount);
  if (AcceptsFocus() && mWidgetManager != nullptr) mWidgetManager->SetFocus(this);
}

int EditWidget::BarPartAt(int x, int y) {
  const BarLayout bar = Bar();
  if (x < bar.x || x >= bar.x + bar.width || y < bar.top || y >= bar.bottom) return kNoPart;
  if (y < bar.trackTop) return kUpArrow;
  if (y >= bar.trackBottom) return kDownArrow;
  if (bar.thumbHeight <= 0) return kNoPart;
  if (y < bar.thumbTop) return kTrackAbove;
  if (y >= bar.thumbTop + bar.thumbHeight) return kTrackBelow;
  return kThumb;
}

void EditWidget::ScrollByPart(int part) {
  const int lines = part == kUpArrow || part == kDownArrow ? 1 : std::max(VisibleLines() - 1, 1);
  ScrollTo(mScrollLine + (part == kUpArrow || part == kTrackAbove ? -lines : lines));
}

void EditWidget::MouseDownButton(int x, int y, int button, int clickCount) {
  mThumbGrab = -1;
  mHeldPart = kNoPart;
  if (!mScrollBar || button != MOUSE_BUTTON_LEFT) return;
  const int part = BarPartAt(x, y);
  if (part == kThumb) {
    mThumbGrab = y - Bar().thumbTop;
  } else if (part != kNoPart) {
    mHeldPart = part;
    mHeldWaitMs = 500;
    ScrollByPart(part);
  }
}

void EditWidget::MouseDrag(int x, int y) {
  if (mThumbGrab < 0) return;
  const BarLayout bar = Bar();
  const int room = bar.trackBottom - bar.trackTop - bar.thumbHeight;
  if (room <= 0) return;
  // The line whose thumb position lies nearest to where the thumb is dragged.
  const int offset = std::clamp(y - mThumbGrab - bar.trackTop, 0, room);
  ScrollTo(static_cast<int>((static_cast<long long>(offset) * GetMaxScrollLine() + room / 2) / room));
}

void EditWidget::MouseUpButton(int x, int y, int button, int clickCount) {
  if (button != MOUSE_BUTTON_LEFT) return;
  mThumbGrab = -1;
  mHeldPart = kNoPart;
}

void EditWidget::Update() {
  Widget::Update();
  if (mHeldPart == kNoPart) return;
  if (!mIsDown || mWidgetManager == nullptr) {
    mHeldPart = kNoPart;
    return;
  }
  // As a desktop's scroll bars do: half a second, then a step every 50 ms while the pointer
  // stays on the part held (on the track, until the thumb reaches the pointer).
  constexpr int kRepeatMs = 50;
  const OrvoAppBase* app = mWidgetManager->mApp;
  mHeldWaitMs -= app != nullptr && app->mUpdatePeriod > 0 ? app->mUpdatePeriod : 10;
  for (; mHeldWaitMs <= 0; mHeldWaitMs += kRepeatMs) {
    const Point at = GetAbsolutePosition();
    if (BarPartAt(mWidgetManager->mLastMouseX - at.mX, mWidgetManager->mLastMouseY - at.mY) == mHeldPart)
      ScrollByPart(mHeldPart);
  }
}

}  // namespace Orvo
