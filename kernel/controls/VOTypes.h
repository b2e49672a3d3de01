// Small value types shared by visual objects, the control factory and the game: points,
// sizes, rectangles and three-byte colours.
#pragma once

#include <cstdint>

namespace ControlLibrary {

struct VOPoint {
  int x = 0;
  int y = 0;
  bool operator==(const VOPoint& o) const { return x == o.x && y == o.y; }
  bool operator!=(const VOPoint& o) const { return !(*this == o); }
};

struct VOSize {
  int width = 0;
  int height = 0;
  bool operator==(const VOSize& o) const { return width == o.width && height == o.height; }
  bool operator!=(const VOSize& o) const { return !(*this == o); }
};

// Position and size; right and bottom edges exclusive.
struct VORect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const VORect& o) const {
    return x == o.x && y == o.y && width == o.width && height == o.height;
  }
  bool operator!=(const VORect& o) const { return !(*this == o); }
};

// Red, green, blue; drawn opaque.
struct VOColor {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  bool operator==(const VOColor& o) const { return r == o.r && g == o.g && b == o.b; }
  bool operator!=(const VOColor& o) const { return !(*this == o); }
};

// Mouse buttons as reported to mouse observers.
enum : int { kMouseLeft = -1, kMouseMiddle = 0, kMouseRight = 1 };

// Alignment codes: which point of a visual object its position names.
enum : std::uint32_t { kAlignLeftTop = 0, kAlignCenter = 1, kAlignRightBottom = 2 };

}  // namespace ControlLibrary
