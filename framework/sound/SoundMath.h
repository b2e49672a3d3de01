// Doubles into the integers the sound libraries take: truncated toward zero as a cast would,
// but held to a range first, so NaN and values no integer holds never reach the conversion.
#pragma once

#include <cmath>
#include <cstdint>

namespace Orvo {

// `value` truncated toward zero and held to [low, high]; NaN gives `ifNaN`.
inline std::int64_t TruncateInRange(double value, std::int64_t low, std::int64_t high, std::int64_t ifNaN) {
  if (std::isnan(value)) return ifNaN;
  double t = std::trunc(value);
  if (t <= static_cast<double>(low)) return low;
  if (t >= static_cast<double>(high)) return high;
  return static_cast<std::int64_t>(t);
}

}  // namespace Orvo
