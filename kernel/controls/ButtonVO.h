// The push button and the check box: state images or fills, state fonts and caption
// colours, three sounds, and clicks reported through the mouse observers.
#pragma once

#include <cstdint>
#include <string>

#include "kernel/controls/BaseVOBridge.h"
#include "kernel/controls/IButtonVO.h"

namespace ControlLibrary {

// What the two clickable kinds share: images, rectangles, colours, fonts, sounds, caption.
class ClickableVO_impl : public VisibleObject_impl {
 public:
  explicit ClickableVO_impl(std::uint32_t id) : VisibleObject_impl(id) {}
  ~ClickableVO_impl() override;
  void SetSounds(ISound* hover, ISound* press, ISound* release);
  void SetStateColors(const VOColor colors[5]);
  void SetStateFonts(IFont* const fonts[4]);
  // True when the last lookup succeeded.
  bool LoadImages(const std::string names[4]);
  void SetStateRects(const VORect rects[4]);
  void SetStateTextColors(const VOColor colors[5]);
  void SetText(const std::string& text) { mText = text; }
  std::string GetText() const { return mText; }
  void SetTextOffset(int x, int y) { mTextOffset = {x, y}; }
  void SetTextOnly(bool textOnly) { mTextOnly = textOnly; }

 protected:
  static void PlayOnce(ISound* sound);

  int mImages[4] = {-1, -1, -1, -1};
  ISound* mHoverSound = nullptr;
  ISound* mPressSound = nullptr;
  ISound* mReleaseSound = nullptr;
  VORect mRects[4];
  VOColor mFills[5];
  VOColor mTextColors[5];
  IFont* mFonts[4] = {};
  std::string mText;
  VOPoint mTextOffset;
  bool mTextOnly = false;
};

class ButtonVO_impl : public ClickableVO_impl {
 public:
  explicit ButtonVO_impl(std::uint32_t id);
  void Update(std::vector<VORect>& fillList) override;
  void Draw() override;
  void OnMouseEnter() override;
  void OnMouseLeave() override;
  void OnMouseDown(int x, int y, int button, int clicks) override;
  void OnMouseUp(int x, int y, int button, int clicks) override;
  void PerformClick();
};

class CheckBoxVO_impl : public ClickableVO_impl {
 public:
  explicit CheckBoxVO_impl(std::uint32_t id);
  void Draw() override;
  void OnMouseEnter() override;
  void OnMouseDown(int x, int y, int button, int clicks) override;
  void OnMouseUp(int x, int y, int button, int clicks) override;
  void PerformClick();
  void SetBoxSize(int width, int height) { mBoxSize = {width, height}; }
  void SetChecked(bool checked);
  bool IsChecked() const { return mChecked; }

 private:
  VOSize mBoxSize{20, 20};
  bool mChecked = false;
};

class ButtonVO_bridge : public BaseVO_bridge<IButtonVO, ButtonVO_impl> {
 public:
  explicit ButtonVO_bridge(std::uint32_t id) : BaseVO_bridge(new ButtonVO_impl(id)) {}
  void SetSounds(ISound* hover, ISound* press, ISound* release) override { mImpl->SetSounds(hover, press, release); }
  void SetStateColors(const VOColor colors[5]) override { mImpl->SetStateColors(colors); }
  void SetStateFonts(IFont* const fonts[4]) override { mImpl->SetStateFonts(fonts); }
  void SetImages(const std::string names[4]) override {
    mImpl->LoadImages(names);
    mImpl->MarkChanged(false);
  }
  void SetStateRects(const VORect rects[4]) override { mImpl->SetStateRects(rects); }
  void SetStateTextColors(const VOColor colors[5]) override {
    mImpl->SetStateTextColors(colors);
    mImpl->MarkChanged(false);
  }
  void SetText(const std::string& text) override {
    mImpl->SetText(text);
    mImpl->MarkChanged(false);
  }
  void SetTextOffset(int x, int y) override { mImpl->SetTextOffset(x, y); }
  void SetTextOnly(bool textOnly) override { mImpl->SetTextOnly(textOnly); }
  std::string GetText() override { return mImpl->GetText(); }
  void PerformClick() override { mImpl->PerformClick(); }
};

class CheckBoxVO_bridge : public BaseVO_bridge<ICheckBoxVO, CheckBoxVO_impl> {
 public:
  explicit CheckBoxVO_bridge(std::uint32_t id) : BaseVO_bridge(new CheckBoxVO_impl(id)) {}
  void SetSounds(ISound* hover, ISound* press, ISound* release) override { mImpl->SetSounds(hover, press, release); }
  void SetStateColors(const VOColor colors[5]) override { mImpl->SetStateColors(colors); }
  void SetStateFonts(IFont* const fonts[4]) override { mImpl->SetStateFonts(fonts); }
  bool SetImages(const std::string names[4]) override { return mImpl->LoadImages(names); }
  void SetStateRects(const VORect rects[4]) override { mImpl->SetStateRects(rects); }
  void SetStateTextColors(const VOColor colors[5]) override { mImpl->SetStateTextColors(colors); }
  void SetBoxSize(int width, int height) override { mImpl->SetBoxSize(width, height); }
  void SetText(const std::string& text) override { mImpl->SetText(text); }
  void SetTextOffset(int x, int y) override { mImpl->SetTextOffset(x, y); }
  void SetTextOnly(bool textOnly) override { mImpl->SetTextOnly(textOnly); }
  void PerformClick() override { mImpl->PerformClick(); }
  void SetChecked(bool checked) override { mImpl->SetChecked(checked); }
  bool IsChecked() override { return mImpl->IsChecked(); }
};

}  // namespace ControlLibrary
