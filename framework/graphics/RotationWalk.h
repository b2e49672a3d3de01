// The geometry of a rotated blit shared by the software image and the display surfaces: the
// bounding box of the turned source rectangle cut to the clip, and for each destination row
// the span of columns whose bilinear 2 x 2 neighbourhood lies inside the source, with the
// source position of its first column in 16.16 fixed point and the step per column.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "framework/graphics/Rect.h"

namespace Orvo {

// One destination row of a rotated blit.
struct RotatedSpan {
  int destY = 0;
  int destX = 0;   // first column drawn
  int count = 0;   // columns drawn
  std::int64_t u = 0, v = 0;    // source position of the first column, 16.16, relative to the source rectangle
  std::int64_t du = 0, dv = 0;  // step per column
};

// Narrows the columns [first, last] of a row so that every sample's 2 x 2 neighbourhood lies
// inside 0..size-1; false when the row draws nothing.
inline bool NarrowRotatedAxis(std::int64_t start, std::int64_t step, int size, int& first, int& last) {
  const std::int64_t one = 65536;
  if (step > 0) {
    if ((start >> 16) >= size - 1) return false;
    // The first column whose sample is not left of the source: ceil(-start / step).
    std::int64_t f = start < 0 ? (-start + step - 1) / step : 0;
    if (f > first) first = static_cast<int>(std::min<std::int64_t>(f, last + 1));
    std::int64_t l = ((size * one - start) - 0x17FFF) / step;
    if (l < last) last = static_cast<int>(std::max<std::int64_t>(l, -1));
  } else if (step < 0) {
    if (start < 0) return false;
    std::int64_t f = ((size * one - start) - 0x27FFF) / step;
    if (f >= 0 && f > first) first = static_cast<int>(std::min<std::int64_t>(f, last + 1));
    std::int64_t l = (0x7FFF - start) / step;
    if (l < last) last = static_cast<int>(std::max<std::int64_t>(l, -1));
  } else {
    if (start < 0 || start >= (size - 1) * one) return false;
  }
  return first <= last;
}

// Calls span(const RotatedSpan&) for every destination row of the source rectangle `sr`
// (only its size matters) turned by `angle` about (centerX, centerY) and placed at (x, y),
// inside `clip` (already cut to the destination image). Coordinates must be drawable.
// False when the turned rectangle misses the clip altogether.
template <typename Span>
bool WalkRotated(const Rect& sr, float x, float y, double angle, float centerX, float centerY, const Rect& clip,
                 Span span) {
  double c = std::cos(angle);
  double s = std::sin(angle);
  double minX = 10000000, minY = 10000000, maxX = -10000000, maxY = -10000000;
  const double cornersX[4] = {0, double(sr.mWidth), 0, double(sr.mWidth)};
  const double cornersY[4] = {0, 0, double(sr.mHeight), double(sr.mHeight)};
  for (int i = 0; i < 4; ++i) {
    double px = cornersX[i] - centerX;
    double py = cornersY[i] - centerY;
    double X = x + centerX + c * px + s * py;
    double Y = y + centerY - s * px + c * py;
    minX = std::min(minX, X);
    maxX = std::max(maxX, X);
    minY = std::min(minY, Y);
    maxY = std::max(maxY, Y);
  }
  FRect box = FRect(minX, minY, maxX - minX, maxY - minY)
                  .Intersection(FRect(clip.mX, clip.mY, clip.mWidth, clip.mHeight));
  if (box.mWidth <= 0 || box.mHeight <= 0) return false;
  int X0 = static_cast<int>(box.mX);
  int Y0 = static_cast<int>(box.mY);
  int lastCol = static_cast<int>(box.mWidth - 1.0);
  RotatedSpan row;
  row.du = static_cast<std::int64_t>(c * 65536);
  row.dv = static_cast<std::int64_t>(s * 65536);
  for (int r = 0; r < box.mHeight; ++r) {
    row.destY = Y0 + r;
    float px = static_cast<float>(X0) - centerX - x;
    float py = static_cast<float>(row.destY) - centerY - y;
    std::int64_t u = static_cast<std::int64_t>((c * px - s * py + centerX) * 65536);
    std::int64_t v = static_cast<std::int64_t>((s * px + c * py + centerY) * 65536);
    int first = 0;
    int last = lastCol;
    if (!NarrowRotatedAxis(u, row.du, sr.mWidth, first, last)) continue;
    if (!NarrowRotatedAxis(v, row.dv, sr.mHeight, first, last)) continue;
    row.destX = X0 + first;
    row.count = last - first + 1;
    row.u = u + first * row.du;
    row.v = v + first * row.dv;
    span(row);
  }
  return true;
}

}  // namespace Orvo
