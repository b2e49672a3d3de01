// Integer and double rectangles (x, y, width, height; right and bottom edges exclusive),
// edge insets, and an integer point.
#pragma once

namespace Orvo {

class Rect {
 public:
  int mX = 0;
  int mY = 0;
  int mWidth = 0;
  int mHeight = 0;

  Rect() = default;
  Rect(int x, int y, int w, int h) : mX(x), mY(y), mWidth(w), mHeight(h) {}

  // The larger left and top, the smaller right and bottom. A negative width or height gives
  // the all-zero rectangle; rectangles that only touch give width or height 0 at the touching edge.
  Rect Intersection(const Rect& other) const;
  bool Contains(int x, int y) const { return x >= mX && y >= mY && x < mX + mWidth && y < mY + mHeight; }

  bool operator==(const Rect& o) const {
    return mX == o.mX && mY == o.mY && mWidth == o.mWidth && mHeight == o.mHeight;
  }
  bool operator!=(const Rect& o) const { return !(*this == o); }
};

class FRect {
 public:
  double mX = 0;
  double mY = 0;
  double mWidth = 0;
  double mHeight = 0;

  FRect() = default;
  FRect(double x, double y, double w, double h) : mX(x), mY(y), mWidth(w), mHeight(h) {}

  FRect Intersection(const FRect& other) const;

  bool operator==(const FRect& o) const {
    return mX == o.mX && mY == o.mY && mWidth == o.mWidth && mHeight == o.mHeight;
  }
};

class Insets {
 public:
  int mLeft = 0;
  int mTop = 0;
  int mRight = 0;
  int mBottom = 0;

  Insets() = default;
  Insets(int l, int t, int r, int b) : mLeft(l), mTop(t), mRight(r), mBottom(b) {}
};

struct Point {
  int mX = 0;
  int mY = 0;
};

}  // namespace Orvo
