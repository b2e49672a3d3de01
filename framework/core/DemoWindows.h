// The demo player's two windows, "Jump To Time" and "Marker List", as modal widgets over
// the game: while one is open the program's updates stand still and the window alone gets
// the live input (the recording still drives everything else once it closes).
#pragma once

#include <string>
#include <vector>

#include "framework/widgets/Widget.h"

namespace Orvo {

class EditWidget;
class Font;

// A framed box with a title and push buttons, closed by a button, Escape or Enter.
class DemoWindow : public Widget {
 public:
  enum { ID_OK = 1, ID_CANCEL = 2 };

  DemoWindow(const std::string& title, int width, int height);
  ~DemoWindow() override;
  DemoWindow(const DemoWindow&) = delete;
  DemoWindow& operator=(const DemoWindow&) = delete;

  bool IsDone() const { return mDone; }
  int GetResult() const { return mResult; }
  void Close(int result);
  // Where a button is, in window coordinates (false when there is no such button).
  bool FindButton(int id, int* x, int* y) const;

  void Draw(Graphics* g) override;
  void MouseDownButton(int x, int y, int button, int clickCount) override;
  void MouseUpButton(int x, int y, int button, int clickCount) override;
  void KeyDown(int key) override;

 protected:
  struct Button {
    int id;
    std::string label;
    int x, y, width, height;
  };
  static constexpr int kTitleHeight = 18;
  virtual void Command(int id) { Close(id); }
  Font* GetFont();

  std::string mTitle;
  std::vector<Button> mButtons;
  int mPressed = -1;
  bool mDone = false;
  int mResult = ID_CANCEL;

 private:
  Font* mFont = nullptr;  // owned
};

// A time to jump to, typed as seconds, m:ss or h:mm:ss, counted back from the demo's end.
class JumpToTimeWindow : public DemoWindow {
 public:
  explicit JumpToTimeWindow(const std::string& text);
  ~JumpToTimeWindow() override;
  EditWidget* GetEdit() const { return mEdit; }
  std::string GetText() const;
  void Resize(int x, int y, int width, int height) override;
  void KeyChar(char c) override;
  void KeyDown(int key) override;

 private:
  EditWidget* mEdit;  // a child
};

// The demo's markers still ahead; a double click on one jumps there.
class MarkerListWindow : public DemoWindow {
 public:
  struct Entry {
    std::string text;
    int time;
  };
  MarkerListWindow(std::vector<Entry> entries, int height);
  const std::vector<Entry>& GetEntries() const { return mEntries; }
  int GetChosenTime() const { return mChosenTime; }
  // Where an entry is shown, in window coordinates.
  bool FindEntry(std::size_t index, int* x, int* y);

  void Draw(Graphics* g) override;
  void MouseDownButton(int x, int y, int button, int clickCount) override;
  void MouseWheel(int delta) override;

 private:
  int LineHeight();
  int ListTop() const { return kTitleHeight + 6; }
  int VisibleLines();

  std::vector<Entry> mEntries;
  int mSelected = -1;
  int mFirst = 0;
  int mChosenTime = -1;
};

}  // namespace Orvo
