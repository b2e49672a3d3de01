// The display's colour layout, which the software conversions between ARGB and display
// pixels read. The display back-end derives from it and fills the fields when it starts.
#pragma once

#include <cstdint>

namespace Orvo {

class NativeDisplay {
 public:
  int mRGBBits = 0;
  std::uint32_t mRedMask = 0;
  std::uint32_t mGreenMask = 0;
  std::uint32_t mBlueMask = 0;
  int mRedBits = 0;
  int mGreenBits = 0;
  int mBlueBits = 0;
  int mRedShift = 0;
  int mGreenShift = 0;
  int mBlueShift = 0;

  NativeDisplay() = default;
  virtual ~NativeDisplay() = default;
};

}  // namespace Orvo
