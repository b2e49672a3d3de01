// The abstract font: four metrics and the operations Graphics and the widgets call to
// measure and draw text.
#pragma once

#include <string>

#include "framework/graphics/Color.h"
#include "framework/graphics/Rect.h"

namespace Orvo {

class Graphics;

class Font {
 public:
  int mAscent = 0;
  int mAscentPadding = 0;
  int mHeight = 0;
  int mLineSpacingOffset = 0;

  Font() = default;
  Font(const Font& other) = default;
  Font& operator=(const Font&) = delete;
  virtual ~Font() = default;

  virtual int GetAscent() { return mAscent; }
  virtual int GetAscentPadding() { return mAscentPadding; }
  virtual int GetDescent() { return mHeight - mAscent; }
  virtual int GetHeight() { return mHeight; }
  virtual int GetLineSpacingOffset() { return mLineSpacingOffset; }
  virtual int GetLineSpacing() { return mHeight + mLineSpacingOffset; }
  virtual int StringWidth(const std::string& text) { return 0; }
  virtual int CharWidth(char c) { return StringWidth(std::string(1, c)); }
  virtual int CharWidthKern(char c, char prevChar) { return CharWidth(c); }
  // y is the baseline.
  virtual void DrawString(Graphics* g, int x, int y, const std::string& text, const Color& color,
                          const Rect& clipRect) {}
  // A new copy owned by the caller.
  virtual Font* Duplicate() = 0;
};

}  // namespace Orvo
