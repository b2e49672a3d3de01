// Per-pixel arithmetic shared by the software blitters: source-over with destination alpha,
// over an opaque destination, and the additive clamp. Internal to the graphics library.
#pragma once

#include <cstdint>

#include "framework/graphics/MemoryImage.h"

namespace Orvo::blend {

inline std::uint32_t A(std::uint32_t p) { return p >> 24; }
inline std::uint32_t R(std::uint32_t p) { return (p >> 16) & 0xFF; }
inline std::uint32_t G(std::uint32_t p) { return (p >> 8) & 0xFF; }
inline std::uint32_t B(std::uint32_t p) { return p & 0xFF; }
inline std::uint32_t Pack(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}

// Result alpha and factor of source-over for effective alpha a (1..255) onto alpha da.
struct OverFactor {
  std::uint32_t alpha;
  std::uint32_t f;
};
inline OverFactor Over(std::uint32_t a, std::uint32_t da) {
  // Onto an opaque destination the general form reduces exactly to {255, a}: no division.
  if (da == 255) return {255, a};
  std::uint32_t newA = da + ((255 - da) * a) / 255;
  return {newA, (a * 255) / newA};
}

// Source-over as the fills use it: (d * (256 - f) + c * f) >> 8 per channel.
inline std::uint32_t OverFill(std::uint32_t d, std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
  OverFactor o = Over(a, A(d));
  std::uint32_t inv = 256 - o.f;
  return Pack(o.alpha, (R(d) * inv + r * o.f) >> 8, (G(d) * inv + g * o.f) >> 8, (B(d) * inv + b * o.f) >> 8);
}

// Source-over as the blits use it: the two terms shifted separately. Red and blue go
// together under one mask.
inline std::uint32_t OverBlit(std::uint32_t d, std::uint32_t s, std::uint32_t a) {
  OverFactor o = Over(a, A(d));
  std::uint32_t inv = 256 - o.f;
  std::uint32_t rb = ((((d & 0xFF00FF) * inv) >> 8) & 0xFF00FF) + ((((s & 0xFF00FF) * o.f) >> 8) & 0xFF00FF);
  std::uint32_t g = ((((d & 0xFF00) * inv) >> 8) & 0xFF00) + ((((s & 0xFF00) * o.f) >> 8) & 0xFF00);
  return (o.alpha << 24) | rb | g;
}

// Over an opaque destination: (d * (256 - a) >> 8) + (c * a >> 8), alpha 255.
inline std::uint32_t OpaqueOver(std::uint32_t d, std::uint32_t s, std::uint32_t a) {
  std::uint32_t inv = 256 - a;
  std::uint32_t rb = ((((d & 0xFF00FF) * inv) >> 8) & 0xFF00FF) + ((((s & 0xFF00FF) * a) >> 8) & 0xFF00FF);
  std::uint32_t g = ((((d & 0xFF00) * inv) >> 8) & 0xFF00) + ((((s & 0xFF00) * a) >> 8) & 0xFF00);
  return 0xFF000000u | rb | g;
}

// Tinted source-over: effective alpha (source alpha * tint alpha) / 255, each channel
// (c * f * t >> 16) + (d * (256 - f) >> 8). With a grey tint, red and blue are tinted first
// and then weighted. False (and d unchanged) when the effective alpha is 0.
inline bool TintedOver(std::uint32_t& d, std::uint32_t s, std::uint32_t tr, std::uint32_t tg, std::uint32_t tb,
                       std::uint32_t ta, bool grey) {
  std::uint32_t a = (A(s) * ta) / 255;
  if (a == 0) return false;
  OverFactor o = Over(a, A(d));
  std::uint32_t inv = 256 - o.f;
  std::uint32_t g = ((G(s) * o.f * tg) >> 16) + ((G(d) * inv) >> 8);
  std::uint32_t r, b;
  if (grey) {
    r = ((((R(s) * tr) >> 8) * o.f) >> 8) + ((R(d) * inv) >> 8);
    b = ((((B(s) * tb) >> 8) * o.f) >> 8) + ((B(d) * inv) >> 8);
  } else {
    r = ((R(s) * o.f * tr) >> 16) + ((R(d) * inv) >> 8);
    b = ((B(s) * o.f * tb) >> 16) + ((B(d) * inv) >> 8);
  }
  d = Pack(o.alpha, r, g, b);
  return true;
}

inline std::uint32_t AddClamp(std::uint32_t d, std::uint32_t c) { return gAdditiveClampTable[d + c]; }

// Reads the pixels of a source image, through its palette when it has one.
struct SourcePixels {
  const std::uint32_t* bits = nullptr;
  const std::uint32_t* palette = nullptr;
  const std::uint8_t* indices = nullptr;
  int width = 0;
  int height = 0;

  bool Valid() const { return bits != nullptr || (palette != nullptr && indices != nullptr); }
  std::uint32_t At(std::size_t i) const { return bits != nullptr ? bits[i] : palette[indices[i]]; }
  std::uint32_t At(int x, int y) const { return At(static_cast<std::size_t>(y) * width + x); }
};

// The pixels of a source image without converting a palettized one.
inline SourcePixels ReadSource(MemoryImage* src) {
  SourcePixels s;
  s.width = src->mWidth;
  s.height = src->mHeight;
  if (src->mBits == nullptr && src->mColorTable != nullptr && src->mColorIndices != nullptr) {
    s.palette = src->mColorTable;
    s.indices = src->mColorIndices;
  } else {
    s.bits = src->GetBits();
  }
  return s;
}

struct Rgb {
  std::uint32_t r, g, b, a;
};
// The colour's channels, kept in 0..255.
inline Rgb Channels(const Color& c) {
  auto ch = [](int v) { return static_cast<std::uint32_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
  return {ch(c.mRed), ch(c.mGreen), ch(c.mBlue), ch(c.mAlpha)};
}

// Keeps a destination's transparency flags exact without rescanning it: drawing never makes
// an opaque image less opaque, so an image known to be opaque before stays known opaque.
class OpacityKeeper {
 public:
  explicit OpacityKeeper(MemoryImage* img)
      : img_(img), knownOpaque_(!img->mForcedMode && !img->mBitsChanged && !img->mHasTrans && !img->mHasAlpha) {}
  void Done() {
    img_->BitsChanged();
    if (knownOpaque_) img_->mBitsChanged = false;
  }

 private:
  MemoryImage* img_;
  bool knownOpaque_;
};

// Draws an image onto itself: `draw` gets a copy of the image as its source, so that no pixel
// is read after the drawing has written it. Out of line, away from the blitters' own code.
template <typename Draw>
[[gnu::noinline]] void DrawFromCopy(MemoryImage* image, Draw&& draw) {
  MemoryImage copy(*image);
  draw(&copy);
}

// Brings the destination's flags up to date before a path is chosen by them.
inline void CommitDest(MemoryImage* img) {
  if (!img->mForcedMode && img->mBitsChanged) img->CommitBits();
}

inline bool DestOpaque(MemoryImage* img) { return !img->mHasTrans && !img->mHasAlpha; }

// The part of `r` inside a w x h image.
inline Rect ClipToImage(const Rect& r, int w, int h) { return r.Intersection(Rect(0, 0, w, h)); }

}  // namespace Orvo::blend
