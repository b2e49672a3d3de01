// A text field: one line or many, editable or read-only, drawn in a system font. Typing
// adds at the end, backspace takes the last character away, Enter starts a new line (or,
// on one line, tells the listener). Text that does not fit wraps; the wheel scrolls it, and
// so may a vertical scroll bar along the right edge and the scrolling keys.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/widgets/Widget.h"

namespace Orvo {

class Font;

class EditWidget : public Widget {
 public:
  enum { COLOR_TEXT, COLOR_BKG, COLOR_OUTLINE };

  EditWidget(bool multiLine, bool readOnly);
  ~EditWidget() override;
  EditWidget(const EditWidget&) = delete;
  EditWidget& operator=(const EditWidget&) = delete;

  void SetText(const std::string& text);
  const std::string& GetText() const { return mText; }
  // Takes ownership of the font.
  void SetFont(Font* font);
  // The next character typed replaces the whole text, as after selecting all of it.
  void SelectAll() { mAllSelected = true; }
  bool IsAllSelected() const { return mAllSelected; }

  // Characters kept at most (longer input is ignored).
  std::size_t mMaxLength = 8192;
  const bool mMultiLine;
  bool mReadOnly;
  bool mBorder = true;
  // A vertical scroll bar inside the right edge: its arrows move a line, the track beside
  // the thumb a page, and the thumb drags. A box with one takes the wheel whenever the mouse
  // is over it, and a click gives it the keys that scroll it (Up, Down, Page Up, Page Down,
  // Ctrl+Home, Ctrl+End), read-only or not.
  bool mScrollBar = false;
  static constexpr int kScrollBarWidth = 16;
  // Called on Enter in a one-line field.
  std::function<void()> mOnEnter;

  // The lines as drawn at the current width (wrapped again only when the text, the font or
  // the width has changed), and the first one shown.
  const std::vector<std::string>& WrappedLines();
  int GetScrollLine() const { return mScrollLine; }
  // Whole lines the box shows at once, and the first line shown with the end of the text in view.
  int VisibleLines();
  int GetMaxScrollLine();
  // Shows the text from the given line on, kept between the top and the end of the text.
  void ScrollTo(int line);

  void Draw(Graphics* g) override;
  void KeyChar(char c) override;
  void MouseWheel(int delta) override;
  void MouseDown(int x, int y, int clickCount) override;
  void MouseDownButton(int x, int y, int button, int clickCount) override;
  void MouseDrag(int x, int y) override;
  void MouseUpButton(int x, int y, int button, int clickCount) override;
  // An arrow or the track of the bar held down scrolls on after a short wait.
  void Update() override;
  void KeyDown(int key) override;
  bool AcceptsFocus() override { return !mReadOnly || mScrollBar; }
  bool TakesWheelUnderMouse() override { return mScrollBar; }

 private:
  // Where the scroll bar's parts are, in the box's coordinates.
  struct BarLayout {
    int x = 0, width = 0;          // the bar's column
    int top = 0, bottom = 0;       // the whole bar, arrows included (bottom exclusive)
    int trackTop = 0, trackBottom = 0;
    int thumbTop = 0, thumbHeight = 0;  // no thumb when nothing scrolls
  };
  Font* EnsureFont();
  int TextWidth() const;
  BarLayout Bar();
  void DrawBar(Graphics* g, const BarLayout& bar);
  void TextChanged();

  std::string mText;
  Font* mFont = nullptr;  // owned
  bool mAllSelected = false;
  int mScrollLine = 0;
  std::vector<std::string> mLines;  // WrappedLines()
  int mLinesWidth = -1;             // the width they were wrapped at (-1: not wrapped since a change)
  int mThumbGrab = -1;  // while the thumb is dragged: where in it the press was
  enum { kNoPart, kUpArrow, kDownArrow, kTrackAbove, kTrackBelow, kThumb };
  int BarPartAt(int x, int y);  // the part of the bar at a point of the box
  void ScrollByPart(int part);   // a line for an arrow, a page for the track
  int mHeldPart = kNoPart;       // the arrow or track held down
  int mHeldWaitMs = 0;           // until it scrolls again
};

}  // namespace Orvo
