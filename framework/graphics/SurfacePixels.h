// The locked pixels of a display surface as the surface drawers see them: reading and
// writing by depth, conversion to and from ARGB, the final blend of a premultiplied colour
// with a coverage, and additive sums through the display's clamp tables. Internal to the
// graphics library.
#pragma once

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "framework/graphics/Color.h"
#include "framework/graphics/DDInterface.h"
#include "platform/DirectDraw.h"

namespace Orvo::surface {

using u32 = std::uint32_t;
using u16 = std::uint16_t;

inline bool IsWhite(const Color& c) { return c == Color::White; }

// A colour's channels clamped to 0..255, indexable red, green, blue.
struct Channels {
  u32 v[3];
  u32 alpha;
  explicit Channels(const Color& c)
      : v{static_cast<u32>(std::clamp(c.mRed, 0, 255)), static_cast<u32>(std::clamp(c.mGreen, 0, 255)),
          static_cast<u32>(std::clamp(c.mBlue, 0, 255))},
        alpha(static_cast<u32>(std::clamp(c.mAlpha, 0, 255))) {}
  u32 operator[](int i) const { return v[i]; }
};

// The locked surface as the drawers see it.
struct Surface {
  std::uint8_t* bits = nullptr;
  int pitch = 0;
  int bitCount = 0;
  int width = 0;
  int height = 0;
  u32 mask[3] = {};
  int shift[3] = {};
  int size[3] = {};

  explicit Surface(const plat::DDSURFACEDESC& d)
      : bits(static_cast<std::uint8_t*>(d.lpSurface)),
        pitch(d.lPitch),
        bitCount(static_cast<int>(d.ddpfPixelFormat.dwRGBBitCount)),
        width(static_cast<int>(d.dwWidth)),
        height(static_cast<int>(d.dwHeight)) {
    mask[0] = d.ddpfPixelFormat.dwRBitMask;
    mask[1] = d.ddpfPixelFormat.dwGBitMask;
    mask[2] = d.ddpfPixelFormat.dwBBitMask;
    for (int i = 0; i < 3; ++i) {
      shift[i] = MaskShift(mask[i]);
      size[i] = MaskWidth(mask[i]);
    }
  }
  bool Is565() const { return bitCount == 16 && mask[1] == 0x07E0; }
  bool Is555() const { return bitCount == 16 && mask[1] == 0x03E0; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  u32 Get(int x, int y) const {
    const std::uint8_t* row = bits + static_cast<std::ptrdiff_t>(y) * pitch;
    if (bitCount == 16) return reinterpret_cast<const u16*>(row)[x];
    return reinterpret_cast<const u32*>(row)[x];
  }
  void Put(int x, int y, u32 v) const {
    std::uint8_t* row = bits + static_cast<std::ptrdiff_t>(y) * pitch;
    if (bitCount == 16)
      reinterpret_cast<u16*>(row)[x] = static_cast<u16>(v);
    else
      reinterpret_cast<u32*>(row)[x] = v;
  }
  // ARGB to the surface's layout, keeping the top bits of each channel.
  u32 FromARGB(u32 p) const {
    return ((p >> (24 - size[0])) << shift[0] & mask[0]) | ((p >> (16 - size[1])) << shift[1] & mask[1]) |
           ((p >> (8 - size[2])) << shift[2] & mask[2]);
  }
  // Surface value to opaque ARGB; the low bits of each channel are 0.
  u32 ToARGB(u32 v) const {
    u32 r = ((v >> shift[0]) << (8 - size[0])) & 0xFF;
    u32 g = ((v >> shift[1]) << (8 - size[1])) & 0xFF;
    u32 b = ((v >> shift[2]) << (8 - size[2])) & 0xFF;
    return 0xFF000000u | r << 16 | g << 8 | b;
  }
};

// Final blend of a premultiplied surface-layout colour p with coverage w (0..256).
inline u32 BlendCoverage(const Surface& s, u32 d, u32 p, u32 w) {
  if (s.bitCount == 32 && s.mask[0] == 0xFF0000 && s.mask[1] == 0xFF00 && s.mask[2] == 0xFF) {
    return ((((d & 0x00FF00FFu) * (256 - w)) >> 8) & 0x00FF00FFu) + ((((d & 0x0000FF00u) * (256 - w)) >> 8) & 0x0000FF00u) + p;
  }
  if (s.Is565() || s.Is555()) {
    const u32 spread = s.Is565() ? 0x07E0F81Fu : 0x03E07C1Fu;
    u32 ds = ((d << 16) | d) & spread;
    u32 ps = ((p << 16) | p) & spread;
    u32 r = ((((ds * ((256 - w) >> 3)) >> 5) & spread) + ps) & spread;
    return ((r >> 16) | r) & 0xFFFF;
  }
  u32 out = 0;
  for (int i = 0; i < 3; ++i) {
    u32 m = s.mask[i];
    u32 c = ((d & m) * (256 - w) >> 8 & m) + (p & m);
    out |= std::min(c, m) & m;
  }
  return out;
}

// The display's additive clamp table of channel i.
inline const int* AddTable(const DDInterface* display, int i) {
  if (display == nullptr) return nullptr;
  return i == 0 ? display->mRedAddTable : i == 1 ? display->mGreenAddTable : display->mBlueAddTable;
}

inline u32 AddThroughTables(const Surface& s, const DDInterface* display, u32 d, u32 add) {
  u32 out = 0;
  for (int i = 0; i < 3; ++i) {
    const int* table = AddTable(display, i);
    u32 m = s.mask[i];
    u32 sum = ((d & m) >> s.shift[i]) + ((add & m) >> s.shift[i]);
    u32 n = m >> s.shift[i];
    u32 v = table != nullptr ? static_cast<u32>(table[sum]) : std::min(sum, n);
    out |= (v << s.shift[i]) & m;
  }
  return out;
}

// The pixel layouts the surface drawers expand their pixel loops for, so that no format
// test runs inside a loop: X8R8G8B8, 5-6-5, 5-5-5, and any other 16- or 32-bit layout
// handled by its masks.
enum class Layout { k8888, k565, k555, kOther16, kOther32 };

inline Layout LayoutOf(const Surface& s) {
  if (s.bitCount == 32)
    return s.mask[0] == 0xFF0000 && s.mask[1] == 0xFF00 && s.mask[2] == 0xFF ? Layout::k8888 : Layout::kOther32;
  return s.Is565() ? Layout::k565 : (s.Is555() ? Layout::k555 : Layout::kOther16);
}

template <Layout L>
struct LayoutPixels {
  static constexpr bool kWide = L == Layout::k8888 || L == Layout::kOther32;
  using Pixel = std::conditional_t<kWide, u32, u16>;
  static u32 Get(const Surface& s, int x, int y) {
    return reinterpret_cast<const Pixel*>(s.bits + static_cast<std::ptrdiff_t>(y) * s.pitch)[x];
  }
  static void Put(const Surface& s, int x, int y, u32 v) {
    reinterpret_cast<Pixel*>(s.bits + static_cast<std::ptrdiff_t>(y) * s.pitch)[x] = static_cast<Pixel>(v);
  }
  // BlendCoverage for this layout.
  static u32 Cover(const Surface& s, u32 d, u32 p, u32 w) {
    if constexpr (L == Layout::k8888) {
      return ((((d & 0x00FF00FFu) * (256 - w)) >> 8) & 0x00FF00FFu) + ((((d & 0x0000FF00u) * (256 - w)) >> 8) & 0x0000FF00u) + p;
    } else if constexpr (L == Layout::k565 || L == Layout::k555) {
      constexpr u32 spread = L == Layout::k565 ? 0x07E0F81Fu : 0x03E07C1Fu;
      const u32 ds = ((d << 16) | d) & spread;
      const u32 ps = ((p << 16) | p) & spread;
      const u32 r = ((((ds * ((256 - w) >> 3)) >> 5) & spread) + ps) & spread;
      return ((r >> 16) | r) & 0xFFFF;
    } else {
      return BlendCoverage(s, d, p, w);
    }
  }
};

// Calls fn(LayoutPixels<L>{}) for the surface's layout.
template <typename Fn>
void WithLayout(const Surface& s, Fn fn) {
  switch (LayoutOf(s)) {
    case Layout::k8888: fn(LayoutPixels<Layout::k8888>{}); break;
    case Layout::k565: fn(LayoutPixels<Layout::k565>{}); break;
    case Layout::k555: fn(LayoutPixels<Layout::k555>{}); break;
    case Layout::kOther16: fn(LayoutPixels<Layout::kOther16>{}); break;
    case Layout::kOther32: fn(LayoutPixels<Layout::kOther32>{}); break;
  }
}

}  // namespace Orvo::surface
