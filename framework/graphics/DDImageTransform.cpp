// The stretched, mirrored-stretched and rotated members of the surface blitters: drawn
// straight into the locked surface in its own pixel format, in both draw modes and with any
// tint. Nearest stretches sample the source's premultiplied display-layout pixels, filtered
// ones stretch into a transparent image first and blit it, rotations sample bilinearly and
// blend their premultiplied colour by its coverage.
#include <algorithm>
#include <cmath>
#include <type_traits>
#include <vector>

#include "framework/graphics/BlendMath.h"
#include "framework/graphics/D3DInterface.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/DrawCoords.h"
#include "framework/graphics/RotationWalk.h"
#include "framework/graphics/SurfacePixels.h"

namespace Orvo {
using namespace surface;

namespace {

// Per-channel multipliers of a tint: colour x alpha / 255 (exact), for premultiplied pixels.
struct TintScale {
  bool white;
  u32 alpha;
  u32 mult[3];
  explicit TintScale(const Color& color) : white(IsWhite(color)) {
    const Channels c(color);
    alpha = c.alpha;
    for (int k = 0; k < 3; ++k) mult[k] = (c[k] * alpha * 0x8081u) >> 23;
  }
  // The premultiplied pixel p (surface layout) scaled by the tint.
  u32 Scale(const Surface& s, u32 p) const {
    if (white) return p;
    u32 out = 0;
    for (int k = 0; k < 3; ++k) out |= (((p & s.mask[k]) * mult[k]) >> 8) & s.mask[k];
    return out;
  }
};

}  // namespace

// ------------------------------------------------------------------ stretch

void DDImage::StretchBlt(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clipRect,
                         const Color& color, int drawMode, bool fastStretch) {
  if (src == nullptr) return;
  src->mDrawn = true;
  if (Check3D()) {
    if (src == this) {
      if (auto copy = CopyOfSurface()) StretchBlt(copy.get(), destRect, srcRect, clipRect, color, drawMode, fastStretch);
      return;
    }
    if (auto* source = dynamic_cast<MemoryImage*>(src))
      mDDInterface->mD3DInterface->StretchBlt(source, destRect, srcRect, &clipRect, color, drawMode, fastStretch, false);
    return;
  }
  CommitBits();
  if (!DrawsOnSurface()) {
    MemoryImage::StretchBlt(src, destRect, srcRect, clipRect, color, drawMode, fastStretch);
    return;
  }
  auto* source = dynamic_cast<MemoryImage*>(src);
  const Rect region = destRect.Intersection(clipRect);
  if (source == nullptr || region.mWidth <= 0 || region.mHeight <= 0) return;
  auto* ddSource = dynamic_cast<DDImage*>(src);
  if (ddSource != nullptr) ddSource->CommitBits();
  if (drawMode == 0 || drawMode == 1) {
    if (fastStretch && IsWhite(color) && drawMode == 0 && ddSource != nullptr && !ddSource->mHasAlpha &&
        ddSource->mSurface != nullptr && region == destRect) {
      // Both are surfaces and nothing blends: DirectDraw stretches.
      plat::IDirectDrawSurface* surface = GetSurface();
      const bool wasLocked = mLockCount > 0;
      if (wasLocked) surface->Unlock(nullptr);
      plat::RECT dest{destRect.mX, destRect.mY, destRect.mX + destRect.mWidth, destRect.mY + destRect.mHeight};
      plat::RECT from{srcRect.mX, srcRect.mY, srcRect.mX + srcRect.mWidth, srcRect.mY + srcRect.mHeight};
      plat::DDBLTFX fx;
      fx.dwSize = sizeof fx;
      surface->Blt(&dest, ddSource->mSurface, &from,
                   plat::DDBLT_WAIT | (ddSource->mHasTrans ? plat::DDBLT_KEYSRC : 0u), &fx);
      if (wasLocked) surface->Lock(nullptr, &mLockedSurfaceDesc, plat::DDLOCK_WAIT, nullptr);
    } else if (fastStretch) {
      StretchNearestOnSurface(source, destRect, srcRect, region, color, drawMode == 1, false);
    } else {
      StretchFilteredOnSurface(source, destRect, srcRect, region, color, drawMode, false);
    }
  }
  DeleteAllNonSurfaceData();
}

void DDImage::StretchBltMirror(Image* src, const Rect& destRect, const Rect& srcRect, const Rect& clipRect,
                               const Color& color, int drawMode, bool fastStretch) {
  if (src == nullptr) return;
  src->mDrawn = true;
  if (Check3D()) {
    if (src == this) {
      if (auto copy = CopyOfSurface())
        StretchBltMirror(copy.get(), destRect, srcRect, clipRect, color, drawMode, fastStretch);
      return;
    }
    if (auto* source = dynamic_cast<MemoryImage*>(src))
      mDDInterface->mD3DInterface->StretchBlt(source, destRect, srcRect, &clipRect, color, drawMode, fastStretch, true);
    return;
  }
  CommitBits();
  if (!DrawsOnSurface()) {
    MemoryImage::StretchBltMirror(src, destRect, srcRect, clipRect, color, drawMode, fastStretch);
    return;
  }
  auto* source = dynamic_cast<MemoryImage*>(src);
  const Rect region = destRect.Intersection(clipRect);
  if (source != nullptr && region.mWidth > 0 && region.mHeight > 0 && (drawMode == 0 || drawMode == 1)) {
    if (fastStretch)
      StretchNearestOnSurface(source, destRect, srcRect, region, color, drawMode == 1, true);
    else
      StretchFilteredOnSurface(source, destRect, srcRect, region, color, drawMode, true);
  }
  DeleteAllNonSurfaceData();
}

void DDImage::StretchNearestOnSurface(MemoryImage* source, const Rect& destRect, const Rect& srcRect, const Rect& area,
                                      const Color& color, bool additive, bool mirror) {
  source->CommitBits();
  const u32* native = source->GetNativeAlphaData(mDDInterface);
  const bool palette = source->mColorTable != nullptr && source->mColorIndices != nullptr;
  if (native == nullptr || destRect.mWidth <= 0 || destRect.mHeight <= 0 || mVideoMemory || !LockSurface()) return;
  Surface s(mLockedSurfaceDesc);
  const Rect r = area.Intersection(Rect(0, 0, s.width, s.height));
  const std::int64_t stepX = (static_cast<std::int64_t>(srcRect.mWidth) << 16) / destRect.mWidth;
  const std::int64_t stepY = (static_cast<std::int64_t>(srcRect.mHeight) << 16) / destRect.mHeight;
  const u32 colorBits = s.bitCount == 16 ? 0xFFFFu : 0xFFFFFFu;
  const TintScale tint(color);
  // The source column of every destination column, -1 outside the source.
  std::vector<int> columns(static_cast<std::size_t>(std::max(r.mWidth, 0)));
  for (int i = 0; i < r.mWidth; ++i) {
    int col = r.mX + i - destRect.mX;
    if (mirror) col = destRect.mWidth - 1 - col;
    const int sx = srcRect.mX + static_cast<int>((col * stepX) >> 16);
    columns[static_cast<std::size_t>(i)] = sx >= 0 && sx < source->mWidth ? sx : -1;
  }
  // One expansion of the pixel loop per layout, draw mode and tint.
  auto draw = [&](auto px, auto add, auto plain) {
    using Px = decltype(px);
    constexpr bool kAdditive = decltype(add)::value;
    constexpr bool kWhite = decltype(plain)::value;
    for (int dy = r.mY; dy < r.mY + r.mHeight; ++dy) {
      const int sy = srcRect.mY + static_cast<int>(((dy - destRect.mY) * stepY) >> 16);
      if (sy < 0 || sy >= source->mHeight) continue;
      const std::size_t rowStart = static_cast<std::size_t>(sy) * source->mWidth;
      for (int i = 0; i < r.mWidth; ++i) {
        const int sx = columns[static_cast<std::size_t>(i)];
        if (sx < 0) continue;
        const std::size_t k = rowStart + static_cast<std::size_t>(sx);
        const u32 p = palette ? native[source->mColorIndices[k]] : native[k];
        const u32 alpha = p >> 24;
        if (alpha == 0) continue;
        const int dx = r.mX + i;
        const u32 d = Px::Get(s, dx, dy);
        const u32 scaled = kWhite ? p & colorBits : tint.Scale(s, p & colorBits);
        if constexpr (kAdditive) {
          Px::Put(s, dx, dy, AddThroughTables(s, mDDInterface, d, scaled));
        } else {
          // d' = s + the destination weighed by what the (tinted) alpha leaves.
          const u32 a = kWhite ? alpha : (alpha * tint.alpha * 0x8081u) >> 23;
          u32 out = scaled;
          for (int m = 0; m < 3; ++m) out += (((d & s.mask[m]) * (256 - a)) >> 8) & s.mask[m];
          Px::Put(s, dx, dy, out);
        }
      }
    }
  };
  WithLayout(s, [&](auto px) {
    if (additive && tint.white)
      draw(px, std::true_type{}, std::true_type{});
    else if (additive)
      draw(px, std::true_type{}, std::false_type{});
    else if (tint.white)
      draw(px, std::false_type{}, std::true_type{});
    else
      draw(px, std::false_type{}, std::false_type{});
  });
  UnlockSurface();
}

void DDImage::StretchFilteredOnSurface(MemoryImage* source, const Rect& destRect, const Rect& srcRect,
                                       const Rect& area, const Color& color, int drawMode, bool mirror) {
  const Rect r = area.Intersection(Rect(0, 0, mWidth, mHeight));
  if (r.mWidth <= 0 || r.mHeight <= 0 || mVideoMemory) return;
  MemoryImage stretched(nullptr);
  stretched.Create(r.mWidth, r.mHeight);
  if (stretched.GetBits() == nullptr) return;
  const Rect placed(destRect.mX - r.mX, destRect.mY - r.mY, destRect.mWidth, destRect.mHeight);
  const Rect all(0, 0, r.mWidth, r.mHeight);
  if (mirror)
    stretched.StretchBltMirror(source, placed, srcRect, all, Color::White, 0, false);
  else
    stretched.StretchBlt(source, placed, srcRect, all, Color::White, 0, false);
  stretched.CommitBits();
  if (drawMode == 0)
    NormalBlt(&stretched, r.mX, r.mY, all, color);
  else
    AdditiveBlt(&stretched, r.mX, r.mY, all, color);
}

// ------------------------------------------------------------------ rotation

void DDImage::BltRotated(Image* src, float x, float y, const Rect& srcRect, const Rect& clipRect, const Color& color,
                         int drawMode, double angle, float centerX, float centerY) {
  if (src == nullptr) return;
  src->mDrawn = true;
  if (mVideoMemory || !DrawableCoords(x, y, centerX, centerY) || !std::isfinite(angle)) return;
  if (Check3D()) {
    if (src == this) {
      if (auto copy = CopyOfSurface())
        BltRotated(copy.get(), x, y, srcRect, clipRect, color, drawMode, angle, centerX, centerY);
      return;
    }
    if (auto* source = dynamic_cast<MemoryImage*>(src))
      mDDInterface->mD3DInterface->BltRotated(source, x, y, &clipRect, color, drawMode, angle, centerX, centerY, srcRect);
    return;
  }
  CommitBits();
  if (!DrawsOnSurface()) {
    MemoryImage::BltRotated(src, x, y, srcRect, clipRect, color, drawMode, angle, centerX, centerY);
    return;
  }
  auto* source = dynamic_cast<MemoryImage*>(src);
  if (source != nullptr && (drawMode == 0 || drawMode == 1))
    RotateOnSurface(source, x, y, srcRect, clipRect, color, drawMode == 1, angle, centerX, centerY);
  DeleteAllNonSurfaceData();
}

void DDImage::RotateOnSurface(MemoryImage* source, float x, float y, const Rect& srcRect, const Rect& clipRect,
                              const Color& color, bool additive, double angle, float centerX, float centerY) {
  const Rect sr = blend::ClipToImage(srcRect, source->mWidth, source->mHeight);
  // A source rectangle reaching outside the image is refused rather than read past it.
  if (sr != srcRect || sr.mWidth <= 0 || sr.mHeight <= 0) return;
  source->CommitBits();
  const blend::SourcePixels sp = blend::ReadSource(source);
  if (!sp.Valid() || !LockSurface()) return;
  Surface s(mLockedSurfaceDesc);
  const Rect clip = clipRect.Intersection(Rect(0, 0, s.width, s.height));
  const bool white = IsWhite(color);
  const Channels tint(color);
  // A tinted normal blit weighs every neighbour by the tint's alpha and scales the colour by
  // the tint; an additive one scales the colour by tint x alpha / 255.
  u32 scale[3];
  for (int k = 0; k < 3; ++k) scale[k] = additive ? tint[k] * tint.alpha / 255 : tint[k] + 1;
  auto toSurface = [&](u32 c8, int k) { return ((c8 >> (8 - s.size[k])) << s.shift[k]) & s.mask[k]; };
  // One expansion of the pixel loop per layout and draw mode.
  auto draw = [&](auto px, auto add) {
    using Px = decltype(px);
    constexpr bool kAdditive = decltype(add)::value;
    WalkRotated(sr, x, y, angle, centerX, centerY, clip, [&](const RotatedSpan& span) {
      std::int64_t cu = span.u, cv = span.v;
      for (int k = 0; k < span.count; ++k, cu += span.du, cv += span.dv) {
        const int destX = span.destX + k;
        const int ix = static_cast<int>(cu >> 16);
        const int iy = static_cast<int>(cv >> 16);
        if (ix < 0 || iy < 0 || ix + 1 >= sr.mWidth || iy + 1 >= sr.mHeight) continue;
        const u32 fx = static_cast<u32>(cu & 0xFFFE) + 1;
        const u32 fy = static_cast<u32>(cv & 0xFFFE) + 1;
        const u32 gx = 65536 - fx, gy = 65536 - fy;
        const u32 q[4] = {sp.At(sr.mX + ix, sr.mY + iy), sp.At(sr.mX + ix + 1, sr.mY + iy),
                          sp.At(sr.mX + ix, sr.mY + iy + 1), sp.At(sr.mX + ix + 1, sr.mY + iy + 1)};
        const u32 prod[4] = {(gx * gy) >> 16, (fx * gy) >> 16, (gx * fy) >> 16, (fx * fy) >> 16};
        u32 total = 0, rb = 0, g = 0;
        for (int n = 0; n < 4; ++n) {
          u32 w = (prod[n] * (q[n] >> 24)) >> 16;
          if (!kAdditive && !white) w = (w * tint.alpha) >> 8;
          total += w;
          rb += (q[n] & 0xFF00FFu) * w;
          g += (q[n] & 0xFF00u) * w;
        }
        if (total == 0) continue;
        // The premultiplied colour: red and blue were weighed together, green alone.
        u32 c8[3] = {(rb >> 24) & 0xFF, (g >> 16) & 0xFF, (rb & 0xFFFF) >> 8};
        if (!white)
          for (int n = 0; n < 3; ++n) c8[n] = (c8[n] * scale[n]) >> 8;
        const u32 p = toSurface(c8[0], 0) | toSurface(c8[1], 1) | toSurface(c8[2], 2);
        const u32 d = Px::Get(s, destX, span.destY);
        if constexpr (kAdditive)
          Px::Put(s, destX, span.destY, AddThroughTables(s, mDDInterface, d, p));
        else
          Px::Put(s, destX, span.destY, Px::Cover(s, d, p, total));
      }
    });
  };
  WithLayout(s, [&](auto px) {
    if (additive)
      draw(px, std::true_type{});
    else
      draw(px, std::false_type{});
  });
  UnlockSurface();
}

}  // namespace Orvo
