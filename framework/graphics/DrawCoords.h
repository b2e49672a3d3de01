// Float coordinates as the drawing operations accept them. A position, centre or offset must
// be finite and within 2^27 pixels of the origin, far beyond any image, so that the pixel
// arithmetic after it (ints, 16.16 fixed point, line walks) cannot overflow; a draw given
// anything else is refused and draws nothing.
#pragma once

#include <algorithm>
#include <climits>
#include <cmath>

#include "framework/graphics/Matrix3.h"

namespace Orvo {

inline constexpr double kMaxDrawCoord = 134217728.0;

// False for NaN, infinities and values past the limit.
inline bool DrawableCoord(double v) { return std::fabs(v) <= kMaxDrawCoord; }

template <typename... T>
inline bool DrawableCoords(T... v) {
  return (DrawableCoord(static_cast<double>(v)) && ...);
}

// Truncation toward zero that never overflows: values past the limit (and NaN) become the
// limit on their side, far outside every image and clip rectangle.
inline int TruncToPixel(double v) {
  if (DrawableCoord(v)) return static_cast<int>(v);
  return v > 0 ? static_cast<int>(kMaxDrawCoord) : -static_cast<int>(kMaxDrawCoord);
}

// The columns [first, end) of a span of `width` pixels from column x that lie in 0..limit - 1,
// worked out without overflow for any ints; false when none do.
inline bool SpanColumns(int x, int width, int limit, int& first, int& end) {
  const long long from = std::max<long long>(x, 0);
  const long long to = std::min<long long>(static_cast<long long>(x) + std::max(width, 0), limit);
  if (from >= to) return false;
  first = static_cast<int>(from);
  end = static_cast<int>(to);
  return true;
}

// A transform whose every entry is finite.
inline bool FiniteMatrix(const Matrix3& matrix) {
  for (const auto& row : matrix.m)
    for (float v : row)
      if (!std::isfinite(v)) return false;
  return true;
}

}  // namespace Orvo
