// The factory's handle objects behind IFont, ISound, ICursor and IToolTip. They work
// through the factory's tables and drawing operations.
#pragma once

#include <cstdint>
#include <string>

#include "kernel/controls/Handles.h"

namespace ControlLibrary {

class Font_impl : public IFont {
 public:
  ~Font_impl() override;
  bool Load(const std::string& name) override;
  int GetHeight() override;
  int GetTextWidth(const std::string& text) override;
  int GetFontId() const { return mFontId; }

 private:
  int mFontId = -1;
};

class Sound_impl : public ISound {
 public:
  explicit Sound_impl(std::uint32_t handleId) : mHandleId(handleId) {}
  ~Sound_impl() override;
  std::uint32_t GetId() override { return mHandleId; }
  int Load(const std::string& name) override;
  void Play(bool loop) override;
  void Stop() override;
  bool IsPlaying() override;
  void SetVolume(double volume) override;
  int GetSoundId() const { return mSoundId; }

 private:
  std::uint32_t mHandleId;
  int mSoundId = -1;
  double mVolume = 1.0;
};

class Cursor_impl : public ICursor {
 public:
  ~Cursor_impl() override;
  bool SetImage(const std::string& name) override;
  void SetRect(const VORect& rect) override { mSource = rect; }
  void SetDrawPosition(int x, int y);
  // The source size, else the image's size; 16 for a side that is still 0.
  VOSize GetCursorSize();
  void Draw();
  int GetImageId() const { return mImageId; }
  VORect GetTarget() const { return mTarget; }

 private:
  int mImageId = -1;
  VORect mSource;
  VORect mTarget;
};

class ToolTip_impl : public IToolTip {
 public:
  ~ToolTip_impl() override;
  void SetText(const std::string& text) override { mText = text; }
  void SetFont(IFont* font) override;
  void SetTextColor(const VOColor& color) override { mTextColor = color; }
  void Set(const std::string& text, IFont* font, const VOColor& color) override;
  void SetBackColor(const VOColor& color) override { mBackColor = color; }
  void Reserved(std::int32_t, std::int32_t, std::int32_t) override {}
  void SetSize(int width, int height) override {
    mRect.width = width;
    mRect.height = height;
  }
  void SetNoBackground(bool none) override { mNoBackground = none; }
  void SetDrawPosition(int x, int y) {
    mRect.x = x;
    mRect.y = y;
  }
  VORect GetRect() const { return mRect; }
  void Draw();

 private:
  std::string mText;
  IFont* mFont = nullptr;
  VOColor mTextColor{0, 0, 0};
  VOColor mBackColor{248, 208, 87};
  VORect mRect;
  bool mNoBackground = false;
};

}  // namespace ControlLibrary
