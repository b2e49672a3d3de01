// The walk of a one-pixel line (Bresenham with a sub-pixel start) shared by the line
// drawers of every image kind; the caller's `plot` writes each pixel.
#pragma once

#include <algorithm>
#include <cmath>

namespace Orvo {

// Bresenham with a sub-pixel start; `plot` writes one pixel at (x, y).
template <typename Plot>
inline void WalkLine(double x1, double y1, double x2, double y2, Plot plot) {
  bool xMajor = std::fabs(x2 - x1) >= std::fabs(y2 - y1);
  double ma1 = xMajor ? x1 : y1, mi1 = xMajor ? y1 : x1;
  double ma2 = xMajor ? x2 : y2, mi2 = xMajor ? y2 : x2;
  if (ma2 < ma1) {
    std::swap(ma1, ma2);
    std::swap(mi1, mi2);
  }
  int step = mi2 >= mi1 ? 1 : -1;
  double bigD = ma2 - ma1;
  double smallD = std::fabs(mi2 - mi1);
  int incStraight = static_cast<int>(2 * smallD);
  int incDiag = static_cast<int>(2 * (smallD - bigD));
  double frac = mi1 - std::trunc(mi1);
  int decision = static_cast<int>(static_cast<int>(2 * smallD - bigD) + frac * 2 * smallD);
  int major = static_cast<int>(ma1);
  int minor = static_cast<int>(mi1);
  int minorLo = std::min(static_cast<int>(mi1), static_cast<int>(mi2));
  int minorHi = std::max(static_cast<int>(mi1), static_cast<int>(mi2));
  auto put = [&](int ma, int mi) { xMajor ? plot(ma, mi) : plot(mi, ma); };
  put(major, minor);
  for (major = static_cast<int>(ma1 + 1.0); major <= ma2; ++major) {
    if (decision >= 1) {
      minor += step;
      decision += incDiag;
      if (minor < minorLo || minor > minorHi) break;
    } else {
      decision += incStraight;
    }
    put(major, minor);
  }
}

}  // namespace Orvo
