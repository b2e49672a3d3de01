// A text field: one line or many, editable or read-only, drawn in a system font. Typing
// adds at the end, backspace takes the last character away, Enter starts a new line (or,
// on one line, tells the listener). Text that does not fit wraps, and the wheel scrolls it.
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
  bool mMultiLine;
  bool mReadOnly;
  bool mBorder = true;
  // Called on Enter in a one-line field.
  std::function<void()> mOnEnter;

  // The lines as drawn at the current width, and the first one shown.
  std::vector<std::string> WrappedLines();
  int GetScrollLine() const { return mScrollLine; }

  void Draw(Graphics* g) override;
  void KeyChar(char c) override;
  void MouseWheel(int delta) override;
  void MouseDown(int x, int y, int clickCount) override;
  bool AcceptsFocus() override { return !mReadOnly; }

 private:
  Font* EnsureFont();
  int VisibleLines();

  std::string mText;
  Font* mFont = nullptr;  // owned
  bool mAllSelected = false;
  int mScrollLine = 0;
};

}  // namespace Orvo
