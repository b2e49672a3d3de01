// The software blitters of MemoryImage that work pixel for pixel: fills, lines, coverage
// spans and the 1:1 blits (normal, tinted, additive, mirrored).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "framework/graphics/BlendMath.h"
#include "framework/graphics/BlendSimd.h"
#include "framework/graphics/DrawCoords.h"
#include "framework/graphics/LineWalk.h"
#include "framework/graphics/MemoryImage.h"

namespace Orvo {

using namespace blend;

const std::uint8_t gAdditiveClampTable[512] = {
#define Q4(n) (n), (n) + 1, (n) + 2, (n) + 3
#define Q16(n) Q4(n), Q4((n) + 4), Q4((n) + 8), Q4((n) + 12)
#define Q64(n) Q16(n), Q16((n) + 16), Q16((n) + 32), Q16((n) + 48)
    Q64(0), Q64(64), Q64(128), Q64(192),
#define F16 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255
    F16, F16, F16, F16, F16, F16, F16, F16, F16, F16, F16, F16, F16, F16, F16, F16,
#undef F16
#undef Q64
#undef Q16
#undef Q4
};

namespace {

// The colour packed as 0xAARRGGBB, each component kept in 0..255.
std::uint32_t PackColor(const Color& color) {
  Rgb c = Channels(color);
  return Pack(c.a, c.r, c.g, c.b);
}


}  // namespace

// ---------------------------------------------------------------------------------------------
// Fills

void MemoryImage::FillRect(const Rect& rect, const Color& color, int drawMode) {
  Rect r = ClipToImage(rect, mWidth, mHeight);
  if (r.mWidth <= 0 || r.mHeight <= 0) return;
  std::uint32_t* bits = GetBits();
  if (bits == nullptr) return;
  Rgb c = Channels(color);
  if (c.a == 0) return;
  OpacityKeeper keeper(this);
  std::uint32_t packed = PackColor(color);
  for (int y = r.mY; y < r.mY + r.mHeight; ++y) {
    std::uint32_t* p = bits + static_cast<std::size_t>(y) * mWidth + r.mX;
    if (c.a == 255) {
      std::fill(p, p + r.mWidth, packed);
    } else {
      for (int i = 0; i < r.mWidth; ++i) p[i] = OverFill(p[i], c.r, c.g, c.b, c.a);
    }
  }
  keeper.Done();
}

void MemoryImage::ClearRect(const Rect& rect) {
  Rect r = ClipToImage(rect, mWidth, mHeight);
  if (r.mWidth <= 0 || r.mHeight <= 0) return;
  std::uint32_t* bits = GetBits();
  if (bits == nullptr) return;
  for (int y = r.mY; y < r.mY + r.mHeight; ++y)
    std::memset(bits + static_cast<std::size_t>(y) * mWidth + r.mX, 0, sizeof(std::uint32_t) * r.mWidth);
  BitsChanged();
}

void MemoryImage::FillScanLinesWithCoverage(Span* spans, int spanCount, const Color& color, int drawMode,
                                            const std::uint8_t* coverage, int coverX, int coverY, int coverPitch,
                                            int coverHeight) {
  std::uint32_t* bits = GetBits();
  if (bits == nullptr || coverage == nullptr || spans == nullptr) return;
  Rgb c = Channels(color);
  long long coverSize = static_cast<long long>(coverPitch) * coverHeight;
  OpacityKeeper keeper(this);
  for (int s = 0; s < spanCount; ++s) {
    const Span& span = spans[s];
    int first = 0, end = 0;
    if (span.mY < 0 || span.mY >= mHeight || !SpanColumns(span.mX, span.mWidth, mWidth, first, end)) continue;
    long long rowStart = (static_cast<long long>(span.mY) - coverY) * coverPitch - coverX;
    for (int x = first; x < end; ++x) {
      long long ci = rowStart + x;
      if (ci < 0 || ci >= coverSize) continue;
      std::uint32_t a = (c.a * (coverage[ci] + 1u)) >> 8;
      if (a == 0) continue;
      std::uint32_t& d = bits[static_cast<std::size_t>(span.mY) * mWidth + x];
      d = OverFill(d, c.r, c.g, c.b, a);
    }
  }
  keeper.Done();
}

// ---------------------------------------------------------------------------------------------
// Lines

namespace {

struct LinePlotter {
  std::uint32_t* bits;
  int width;
  int height;
  void Put(int x, int y, std::uint32_t v) {
    if (x >= 0 && y >= 0 && x < width && y < height) bits[static_cast<std::size_t>(y) * width + x] = v;
  }
  std::uint32_t* At(int x, int y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return nullptr;
    return &bits[static_cast<std::size_t>(y) * width + x];
  }
};

}  // namespace

void MemoryImage::DrawLine(double startX, double startY, double endX, double endY, const Color& color,
                           int drawMode) {
  if (!PrepareLineEnds(startX, startY, endX, endY, -2, -2, mWidth + 1, mHeight + 1)) return;
  if (startY == endY) {
    int x1 = static_cast<int>(std::min(startX, endX));
    int x2 = static_cast<int>(std::max(startX, endX));
    FillRect(Rect(x1, static_cast<int>(startY), x2 - x1 + 1, 1), color, drawMode);
    return;
  }
  if (startX == endX) {
    int y1 = static_cast<int>(std::min(startY, endY));
    int y2 = static_cast<int>(std::max(startY, endY));
    FillRect(Rect(static_cast<int>(startX), y1, 1, y2 - y1 + 1), color, drawMode);
    return;
  }
  if (drawMode != 0 && drawMode != 1) return;
  std::uint32_t* bits = GetBits();
  if (bits == nullptr) return;
  Rgb c = Channels(color);
  LinePlotter out{bits, mWidth, mHeight};
  if (drawMode == 1) {
    std::uint32_t ar = c.r * c.a / 255, ag = c.g * c.a / 255, ab = c.b * c.a / 255;
    WalkLine(startX, startY, endX, endY, [&](int x, int y) {
      if (std::uint32_t* d = out.At(x, y))
        *d = Pack(255, AddClamp(R(*d), ar), AddClamp(G(*d), ag), AddClamp(B(*d), ab));
    });
  } else if (c.a == 255) {
    std::uint32_t s = Pack(255, (c.r * 255 + 127) >> 8, (c.g * 255 + 127) >> 8, (c.b * 255 + 127) >> 8);
    WalkLine(startX, startY, endX, endY, [&](int x, int y) { out.Put(x, y, s); });
  } else {
    auto pre = [&](std::uint32_t ch) { return ((((ch * c.a + 128) >> 8) * 255 + 127) >> 8); };
    std::uint32_t sr = pre(c.r), sg = pre(c.g), sb = pre(c.b);
    std::uint32_t inv = 256 - c.a;
    WalkLine(startX, startY, endX, endY, [&](int x, int y) {
      if (std::uint32_t* d = out.At(x, y)) {
        auto mix = [&](std::uint32_t s, std::uint32_t dc) { return std::min(255u, s + ((dc * inv + 127) >> 8)); };
        *d = Pack(255, mix(sr, R(*d)), mix(sg, G(*d)), mix(sb, B(*d)));
      }
    });
  }
  BitsChanged();
}

void MemoryImage::DrawLineAA(double startX, double startY, double endX, double endY, const Color& color,
                             int drawMode) {
  if (!PrepareLineEnds(startX, startY, endX, endY, -2, -2, mWidth + 1, mHeight + 1)) return;
  if (startY == endY || startX == endX) {
    DrawLine(startX, startY, endX, endY, color, drawMode);
    return;
  }
  if (drawMode != 0) return;
  std::uint32_t* bits = GetBits();
  if (bits == nullptr) return;
  Rgb c = Channels(color);
  LinePlotter out{bits, mWidth, mHeight};
  if (startY > endY) {
    std::swap(startX, endX);
    std::swap(startY, endY);
  }
  auto draw = [&](int x, int y, std::uint32_t weight) {
    std::uint32_t a = c.a == 255 ? weight : ((c.a + 1) * weight) >> 8;
    if (a == 0) return;
    if (std::uint32_t* d = out.At(x, y)) *d = OverFill(*d, c.r, c.g, c.b, a);
  };
  double dx = endX - startX;
  double dy = endY - startY;  // positive
  bool xMajor = std::fabs(dx) > dy;
  int x = static_cast<int>(startX);
  int y = static_cast<int>(startY);
  std::uint32_t err = static_cast<std::uint32_t>(std::fabs(startX - std::trunc(startX)) *
                                                 std::fabs(startY - std::trunc(startY)) * 65536.0) & 0xFFFF;
  int xStep = dx >= 0 ? 1 : -1;
  double majorExtent = xMajor ? std::fabs(dx) : dy;
  double minorExtent = xMajor ? dy : std::fabs(dx);
  std::uint32_t gradient = static_cast<std::uint32_t>(std::lround(minorExtent / majorExtent * 65536.0));
  int steps = static_cast<int>(majorExtent);
  draw(x, y, 255 - (err >> 8));
  for (int i = 1; i < steps; ++i) {
    err += gradient;
    bool minorStep = err > 0xFFFF;
    err &= 0xFFFF;
    if (xMajor) {
      x += xStep;
      if (minorStep) ++y;
      draw(x, y, 255 - (err >> 8));
      draw(x, y + 1, err >> 8);
    } else {
      ++y;
      if (minorStep) x += xStep;
      draw(x, y, 255 - (err >> 8));
      draw(x + xStep, y, err >> 8);
    }
  }
  draw(static_cast<int>(endX), static_cast<int>(endY), 255 - (err >> 8));
  BitsChanged();
}

// ---------------------------------------------------------------------------------------------
// 1:1 blits

namespace {

// Clips a blit of srcRect at (x, y) to both images; false when nothing is left.
bool ClipBlit(MemoryImage* dest, MemoryImage* src, int& x, int& y, Rect& srcRect) {
  Rect s = ClipToImage(srcRect, src->mWidth, src->mHeight);
  x += s.mX - srcRect.mX;
  y += s.mY - srcRect.mY;
  Rect d = Rect(x, y, s.mWidth, s.mHeight).Intersection(Rect(0, 0, dest->mWidth, dest->mHeight));
  if (d.mWidth <= 0 || d.mHeight <= 0) return false;
  srcRect = Rect(s.mX + (d.mX - x), s.mY + (d.mY - y), d.mWidth, d.mHeight);
  x = d.mX;
  y = d.mY;
  return true;
}

// Destination column for source column i of a row w wide starting at x.
inline int DestCol(int x, int i, int w, bool mirror) { return mirror ? x + w - 1 - i : x + i; }

void BlitNormal(MemoryImage* dest, std::uint32_t* dbits, MemoryImage* src, const SourcePixels& sp, int x, int y,
                const Rect& sr, const Color& color, bool mirror) {
  int dw = dest->mWidth;
  bool white = color == Color::White;
  if (white && DestOpaque(dest)) {
    // Run-length path: opaque runs copied word for word, transparent runs skipped.
    const std::uint8_t* rl = src->GetRLAlphaData();
    if (rl != nullptr) {
      for (int row = 0; row < sr.mHeight; ++row) {
        std::size_t srow = static_cast<std::size_t>(sr.mY + row) * sp.width;
        std::uint32_t* drow = dbits + static_cast<std::size_t>(y + row) * dw;
        int i = 0;
        while (i < sr.mWidth) {
          std::size_t si = srow + sr.mX + i;
          int run = std::min<int>(rl[si], sr.mWidth - i);
          std::uint32_t first = sp.At(si);
          std::uint32_t a = A(first);
          if (a == 255) {
            if (!mirror && sp.bits != nullptr) {
              std::memcpy(drow + x + i, sp.bits + si, sizeof(std::uint32_t) * run);
            } else {
              for (int k = 0; k < run; ++k) drow[DestCol(x, i + k, sr.mWidth, mirror)] = sp.At(si + k);
            }
          } else if (a != 0 && !mirror && sp.bits != nullptr) {
            OpaqueOverRun(drow + x + i, sp.bits + si, run);
          } else if (a != 0) {
            for (int k = 0; k < run; ++k) {
              std::uint32_t s = sp.At(si + k);
              std::uint32_t& d = drow[DestCol(x, i + k, sr.mWidth, mirror)];
              d = OpaqueOver(d, s, A(s));
            }
          }
          i += run;
        }
      }
      return;
    }
  }
  Rgb t = Channels(color);
  bool grey = t.r == t.g && t.g == t.b;
  for (int row = 0; row < sr.mHeight; ++row) {
    std::size_t srow = static_cast<std::size_t>(sr.mY + row) * sp.width + sr.mX;
    std::uint32_t* drow = dbits + static_cast<std::size_t>(y + row) * dw;
    for (int i = 0; i < sr.mWidth; ++i) {
      std::uint32_t s = sp.At(srow + i);
      std::uint32_t& d = drow[DestCol(x, i, sr.mWidth, mirror)];
      if (white) {
        if (A(s) != 0) d = OverBlit(d, s, A(s));
        continue;
      }
      TintedOver(d, s, t.r, t.g, t.b, t.a, grey);
    }
  }
}

void BlitAdditive(MemoryImage* dest, std::uint32_t* dbits, MemoryImage* src, const SourcePixels& sp, int x, int y,
                  const Rect& sr, const Color& color, bool mirror) {
  int dw = dest->mWidth;
  bool white = color == Color::White;
  bool partial = src->mHasAlpha;
  Rgb c = Channels(color);
  std::uint32_t tr = c.r * c.a / 255, tg = c.g * c.a / 255, tb = c.b * c.a / 255;
  if (!mirror && sp.bits != nullptr && white && partial) {
    // The source's colours weighed by alpha once, kept: each row is then a saturating add.
    if (const std::uint32_t* weighed = src->GetAdditiveData()) {
      for (int row = 0; row < sr.mHeight; ++row)
        AddSaturatedRun(dbits + static_cast<std::size_t>(y + row) * dw + x,
                        weighed + static_cast<std::size_t>(sr.mY + row) * sp.width + sr.mX, sr.mWidth);
      return;
    }
  }
  if (!mirror && sp.bits != nullptr) {
    for (int row = 0; row < sr.mHeight; ++row)
      AdditiveRun(dbits + static_cast<std::size_t>(y + row) * dw + x,
                  sp.bits + static_cast<std::size_t>(sr.mY + row) * sp.width + sr.mX, sr.mWidth, !white, tr, tg, tb,
                  partial);
    return;
  }
  for (int row = 0; row < sr.mHeight; ++row) {
    std::size_t srow = static_cast<std::size_t>(sr.mY + row) * sp.width + sr.mX;
    std::uint32_t* drow = dbits + static_cast<std::size_t>(y + row) * dw;
    for (int i = 0; i < sr.mWidth; ++i) {
      std::uint32_t s = sp.At(srow + i);
      std::uint32_t r = R(s), g = G(s), b = B(s);
      if (!white) {
        r = (r * tr) >> 8;
        g = (g * tg) >> 8;
        b = (b * tb) >> 8;
      }
      if (partial) {
        std::uint32_t a = A(s);
        r = (r * a) >> 8;
        g = (g * a) >> 8;
        b = (b * a) >> 8;
      }
      std::uint32_t& d = drow[DestCol(x, i, sr.mWidth, mirror)];
      d = (d & 0xFF000000u) | (AddClamp(R(d), r) << 16) | (AddClamp(G(d), g) << 8) | AddClamp(B(d), b);
    }
  }
}

void BlitImpl(MemoryImage* dest, Image* srcImage, int x, int y, const Rect& srcRect, const Color& color,
              int drawMode, bool mirror) {
  MemoryImage* src = dynamic_cast<MemoryImage*>(srcImage);
  if (src == nullptr) return;
  if (src == dest) {
    dest->mDrawn = true;
    DrawFromCopy(dest, [&](MemoryImage* copy) { BlitImpl(dest, copy, x, y, srcRect, color, drawMode, mirror); });
    return;
  }
  src->mDrawn = true;
  if (drawMode != 0 && drawMode != 1) return;
  Rect sr = srcRect;
  if (mirror) {
    // Clip against the mirrored destination: the source's left column lands on the right.
    Rect s = ClipToImage(sr, src->mWidth, src->mHeight);
    if (s.mWidth <= 0 || s.mHeight <= 0) return;
    int right = x + (sr.mX + sr.mWidth - (s.mX + s.mWidth));
    x = right;
    y += s.mY - sr.mY;
    sr = s;
    Rect d = Rect(x, y, sr.mWidth, sr.mHeight).Intersection(Rect(0, 0, dest->mWidth, dest->mHeight));
    if (d.mWidth <= 0 || d.mHeight <= 0) return;
    // Destination column x + k shows source column sr.mX + sr.mWidth - 1 - k.
    int newSrcX = sr.mX + (x + sr.mWidth) - (d.mX + d.mWidth);
    sr = Rect(newSrcX, sr.mY + (d.mY - y), d.mWidth, d.mHeight);
    x = d.mX;
    y = d.mY;
  } else if (!ClipBlit(dest, src, x, y, sr)) {
    return;
  }
  src->CommitBits();
  SourcePixels sp = ReadSource(src);
  std::uint32_t* dbits = dest->GetBits();
  if (!sp.Valid() || dbits == nullptr) return;
  CommitDest(dest);
  OpacityKeeper keeper(dest);
  if (drawMode == 0)
    BlitNormal(dest, dbits, src, sp, x, y, sr, color, mirror);
  else
    BlitAdditive(dest, dbits, src, sp, x, y, sr, color, mirror);
  keeper.Done();
}

}  // namespace

void MemoryImage::Blt(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode) {
  BlitImpl(this, src, x, y, srcRect, color, drawMode, false);
}

void MemoryImage::BltMirror(Image* src, int x, int y, const Rect& srcRect, const Color& color, int drawMode) {
  BlitImpl(this, src, x, y, srcRect, color, drawMode, true);
}

}  // namespace Orvo
