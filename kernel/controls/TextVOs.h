// The edit box (one line of typed text with a blinking caret) and the text box
// (word-wrapped paragraphs shown a page at a time).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "kernel/controls/BaseVOBridge.h"
#include "kernel/controls/ITextVOs.h"
#include "kernel/time/ITimeSystem.h"

namespace ControlLibrary {

class EditBoxVO_impl : public VisibleObject_impl, public TimeLibrary::TimeObjectMessageObserver {
 public:
  explicit EditBoxVO_impl(std::uint32_t id);
  ~EditBoxVO_impl() override;
  void Draw() override;
  void SetFocus(bool focus) override;
  void OnKeyChar(char c) override;
  void OnKeyDown(int key) override;
  // Caret blink, on the timing thread.
  void OnTimerTick(std::uint32_t id) override;

  void AddEditObserver(IEditBoxMsgObserver* observer);
  void SetFont(IFont* font);
  void SetText(const std::string& text);
  std::string GetText() const { return mText; }
  void SetTextOffset(std::int16_t x, std::int16_t y) { mTextOffset = {x, y}; }
  void SetTextColor(const VOColor& color);
  void SetMaxLength(std::uint16_t length) { mMaxLength = length; }
  void SetAlternateLook(bool alternate);
  bool SetImages(const std::string normal[3], const std::string alternate[3]);
  void SetImageRects(const VORect rects[3]);
  void SetNoBackground(bool none) { mNoBackground = none; }
  bool IsCaretShown() const { return mCaretShown; }

 private:
  void TellTextChanged();

  std::string mText;
  IFont* mFont = nullptr;
  VOColor mTextColor{0, 0, 0};
  VOPoint mTextOffset;
  std::uint16_t mMaxLength = 0xFFFF;
  bool mAlternate = false;
  int mImages[3] = {-1, -1, -1};
  int mAltImages[3] = {-1, -1, -1};
  std::vector<IEditBoxMsgObserver*> mObservers;
  VORect mRects[3];
  TimeLibrary::ITimeObject* mCaretTimer = nullptr;
  std::atomic<bool> mCaretShown{false};
  bool mNoBackground = false;
};

class TextBoxVO_impl : public VisibleObject_impl {
 public:
  struct Paragraph {
    std::string text;
    std::uint32_t alignment = 0;
    IFont* font = nullptr;
    VOColor color;
  };
  struct Line {
    std::string text;
    int x = 0;
    int y = 0;
    IFont* font = nullptr;
    VOColor color;
  };

  explicit TextBoxVO_impl(std::uint32_t id) : VisibleObject_impl(id) {}
  ~TextBoxVO_impl() override;
  void Draw() override;
  void SetSize(const VOSize& size) override;
  void AddLine(const std::string& text, IFont* font, std::uint32_t alignment, const VOColor& color);
  void SetFirstLine(std::uint16_t page) { mPage = page; }
  void Clear();
  bool ScrollDown();
  bool ScrollUp();
  bool CanScrollDown() const;
  bool CanScrollUp() const { return mPage != 0; }
  const std::vector<Line>& GetLines() const { return mLines; }

 private:
  void Layout();
  void LayoutParagraph(const Paragraph& p);
  void EmitLine(const Paragraph& p, std::size_t from, std::size_t to);

  std::uint16_t mPage = 0;
  std::vector<Line> mLines;
  std::vector<Paragraph> mParagraphs;
};

class EditBoxVO_bridge : public BaseVO_bridge<IEditBoxVO, EditBoxVO_impl> {
 public:
  explicit EditBoxVO_bridge(std::uint32_t id) : BaseVO_bridge(new EditBoxVO_impl(id)) {}
  void AddEditObserver(IEditBoxMsgObserver* observer) override { mImpl->AddEditObserver(observer); }
  void SetFont(IFont* font) override { mImpl->SetFont(font); }
  void SetText(const std::string& text) override { mImpl->SetText(text); }
  std::string GetText() override { return mImpl->GetText(); }
  void SetTextOffset(std::int16_t x, std::int16_t y) override { mImpl->SetTextOffset(x, y); }
  void SetTextColor(const VOColor& color) override { mImpl->SetTextColor(color); }
  void SetMaxLength(std::uint16_t length) override { mImpl->SetMaxLength(length); }
  void SetAlternateLook(bool alternate) override { mImpl->SetAlternateLook(alternate); }
  bool SetImages(const std::string normal[3], const std::string alternate[3]) override {
    return mImpl->SetImages(normal, alternate);
  }
  void SetImageRects(const VORect rects[3]) override { mImpl->SetImageRects(rects); }
  void SetNoBackground(bool none) override { mImpl->SetNoBackground(none); }
};

class TextBoxVO_bridge : public BaseVO_bridge<ITextBoxVO, TextBoxVO_impl> {
 public:
  explicit TextBoxVO_bridge(std::uint32_t id) : BaseVO_bridge(new TextBoxVO_impl(id)) {}
  void AddLine(const std::string& text, IFont* font, std::uint32_t alignment, const VOColor& color) override {
    mImpl->AddLine(text, font, alignment, color);
  }
  void SetFirstLine(std::uint16_t page) override { mImpl->SetFirstLine(page); }
  void Clear() override { mImpl->Clear(); }
  bool ScrollDown() override { return mImpl->ScrollDown(); }
  bool ScrollUp() override { return mImpl->ScrollUp(); }
  bool CanScrollDown() override { return mImpl->CanScrollDown(); }
  bool CanScrollUp() override { return mImpl->CanScrollUp(); }
};

}  // namespace ControlLibrary
