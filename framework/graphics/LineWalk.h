// The walk of a one-pixel line (Bresenham with a sub-pixel start) shared by the line
// drawers of every image kind; the caller's `plot` writes each pixel. End points are made
// safe first (PrepareLineEnds).
#pragma once

#include <algorithm>
#include <cmath>

#include "framework/graphics/DrawCoords.h"

namespace Orvo {

// Makes a line's end points safe to walk: false (draw nothing) for a NaN or infinite end;
// a line reaching past the drawable range is cut to the box [left, right] x [top, bottom]
// first (false when it misses the box). Lines within the range are left exactly as given.
inline bool PrepareLineEnds(double& x1, double& y1, double& x2, double& y2, double left, double top, double right,
                            double bottom) {
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return false;
  if (DrawableCoords(x1, y1, x2, y2)) return true;
  // Liang-Barsky: the part of the line from t0 to t1 lies inside the box.
  const double dx = x2 - x1, dy = y2 - y1;
  double t0 = 0, t1 = 1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x1 - left, right - x1, y1 - top, bottom - y1};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0)
      t0 = std::max(t0, t);
    else
      t1 = std::min(t1, t);
  }
  if (t0 > t1) return false;
  const double ox = x1, oy = y1;
  x1 = ox + t0 * dx;
  y1 = oy + t0 * dy;
  x2 = ox + t1 * dx;
  y2 = oy + t1 * dy;
  return DrawableCoords(x1, y1, x2, y2);
}

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
