// The colour value every drawing call passes around: four ints red, green, blue, alpha.
// White is the "no tint" colour of all image drawing.
#pragma once

#include <cstdint>

namespace Orvo {

class Color {
 public:
  int mRed = 0;
  int mGreen = 0;
  int mBlue = 0;
  int mAlpha = 255;

  static const Color Black;
  static const Color White;

  Color() = default;
  // Packed 0xAARRGGBB; an alpha byte of 0 is read as opaque, so 0x00RRGGBB is opaque.
  explicit Color(int argb);
  // constexpr, so that Black and White are built at compile time and hold their values
  // even for code that runs while other files are still being initialised.
  constexpr Color(int r, int g, int b) : mRed(r), mGreen(g), mBlue(b), mAlpha(255) {}
  constexpr Color(int r, int g, int b, int a) : mRed(r), mGreen(g), mBlue(b), mAlpha(a) {}
  explicit Color(const int* rgb) : mRed(rgb[0]), mGreen(rgb[1]), mBlue(rgb[2]), mAlpha(255) {}

  int GetRed() const { return mRed; }
  int GetGreen() const { return mGreen; }
  int GetBlue() const { return mBlue; }
  int GetAlpha() const { return mAlpha; }

  // Packs to 0xAARRGGBB without masking: a component outside 0..255 spills into its neighbour.
  int ToInt() const;

  bool operator==(const Color& o) const {
    return mRed == o.mRed && mGreen == o.mGreen && mBlue == o.mBlue && mAlpha == o.mAlpha;
  }
  bool operator!=(const Color& o) const { return !(*this == o); }
};

}  // namespace Orvo
