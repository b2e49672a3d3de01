// The software blitters of MemoryImage that resample: stretched (nearest and filtered),
// rotated (bilinear, 16.16 fixed point), matrix-transformed and textured triangles.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "framework/graphics/BlendMath.h"
#include "framework/graphics/BlendSimd.h"
#include "framework/graphics/DrawCoords.h"
#include "framework/graphics/MemoryImage.h"
#include "framework/graphics/RotationWalk.h"
#include "framework/graphics/TriangleRasterizer.h"

namespace Orvo {

using namespace blend;

namespace {

// ---------------------------------------------------------------------------------------------
// Stretching

// Nearest-neighbour: each destination pixel takes one source sample, blended over.
void StretchNearest(MemoryImage* dest, std::uint32_t* dbits, const SourcePixels& sp, const Rect& clipped,
                    double sx, double sy, double scaleX, double scaleY, const Rect& area, const Color& color) {
  bool white = color == Color::White;
  Rgb t = Channels(color);
  bool grey = t.r == t.g && t.g == t.b;
  int lastCol = area.mX + area.mWidth - 1;
  int lastRow = area.mY + area.mHeight - 1;
  std::vector<int> cols(clipped.mWidth);
  for (int i = 0; i < clipped.mWidth; ++i)
    cols[i] = std::clamp(static_cast<int>(sx + i * scaleX), area.mX, lastCol);
  if (white && DestOpaque(dest)) {
    // Over an opaque destination every sample is OpaqueOver (a transparent one leaves the
    // pixel as it is): each source row is gathered once and blended a run at a time.
    std::vector<std::uint32_t> gathered(static_cast<std::size_t>(clipped.mWidth));
    int gatheredRow = -1;
    for (int j = 0; j < clipped.mHeight; ++j) {
      int srow = std::clamp(static_cast<int>(sy + j * scaleY), area.mY, lastRow);
      if (srow != gatheredRow) {
        if (sp.bits != nullptr) {
          const std::uint32_t* line = sp.bits + static_cast<std::size_t>(srow) * sp.width;
          for (int i = 0; i < clipped.mWidth; ++i) gathered[i] = line[cols[i]];
        } else {
          for (int i = 0; i < clipped.mWidth; ++i) gathered[i] = sp.At(cols[i], srow);
        }
        gatheredRow = srow;
      }
      OpaqueOverRun(dbits + static_cast<std::size_t>(clipped.mY + j) * dest->mWidth + clipped.mX, gathered.data(),
                    clipped.mWidth);
    }
    return;
  }
  for (int j = 0; j < clipped.mHeight; ++j) {
    int srow = std::clamp(static_cast<int>(sy + j * scaleY), area.mY, lastRow);
    std::uint32_t* drow = dbits + static_cast<std::size_t>(clipped.mY + j) * dest->mWidth + clipped.mX;
    for (int i = 0; i < clipped.mWidth; ++i) {
      std::uint32_t s = sp.At(cols[i], srow);
      if (white) {
        if (A(s) != 0) drow[i] = OverBlit(drow[i], s, A(s));
      } else {
        TintedOver(drow[i], s, t.r, t.g, t.b, t.a, grey);
      }
    }
  }
}

struct Sum4 {
  std::uint32_t b = 0, g = 0, r = 0, a = 0;
  void Add(std::uint32_t p, std::uint32_t w) {
    b += B(p) * w;
    g += G(p) * w;
    r += R(p) * w;
    a += A(p) * w;
  }
  void Add(const Sum4& s, std::uint32_t w) {
    b += s.b * w;
    g += s.g * w;
    r += s.r * w;
    a += s.a * w;
  }
};

// Puts a filtered sample of alpha a and channels (r, g, b) over the destination pixel.
inline std::uint32_t CompositeFiltered(std::uint32_t d, std::uint32_t a, std::uint32_t r, std::uint32_t g,
                                       std::uint32_t b) {
  auto ch = [&](std::uint32_t c, std::uint32_t dc) {
    return std::min<std::uint32_t>(((std::min<std::uint32_t>(c, 255) * a) >> 8) + ((dc * (256 - a)) >> 8), 255);
  };
  std::uint32_t da = A(d);
  return Pack(da + ((255 - da) * a) / 255, ch(r, R(d)), ch(g, G(d)), ch(b, B(d)));
}

// The filtered stretch where both axes grow: each destination pixel is the two-pass result
// of its 2 x 2 source neighbourhood (257-weights across, 256-weights down), computed directly
// with the horizontal sums of the two source rows kept while consecutive rows share them.
// A horizontal sum fits 16 bits (the weights add up to 257); the vertical one is assembled
// from the high and low halves of 16-bit products.
void StretchFilteredEnlarge(MemoryImage* dest, std::uint32_t* dbits, const SourcePixels& sp, const Rect& destRect,
                            const Rect& srcRect, const Rect& clipped, int ax, int ay, int aw, int ah) {
  int dw = clipped.mWidth, dh = clipped.mHeight;
  double tx = destRect.mWidth == 1 ? double(srcRect.mWidth) / destRect.mWidth
                                   : double(srcRect.mWidth - 1) / (destRect.mWidth - 1);
  double ty = destRect.mHeight == 1 ? double(srcRect.mHeight) / destRect.mHeight
                                    : double(srcRect.mHeight - 1) / (destRect.mHeight - 1);
  struct Column {
    int x0, x1;
    std::uint32_t w;
#if defined(__SSE2__)
    __m128i weights;  // w for the left pixel's four channels, 257 - w for the right one's
#endif
  };
  std::vector<Column> cols(dw);
  int lastCol = ax + aw - 1;
  for (int i = 0; i < dw; ++i) {
    double q = std::clamp(srcRect.mX + (clipped.mX - destRect.mX + i) * tx, double(ax), double(lastCol));
    int x = static_cast<int>(q);
    Column& c = cols[i];
    c.x0 = x;
    c.x1 = std::min(x + 1, lastCol);
    c.w = static_cast<std::uint32_t>((1 - (q - x)) * 257);
#if defined(__SSE2__)
    short w0 = static_cast<short>(c.w), w1 = static_cast<short>(257 - c.w);
    c.weights = _mm_set_epi16(w1, w1, w1, w1, w0, w0, w0, w0);
#endif
  }
  // Horizontal sums of one source row, four channels (blue, green, red, alpha) per column.
  const bool opaqueDest = DestOpaque(dest);
  std::vector<std::uint16_t> rows[2] = {std::vector<std::uint16_t>(4 * static_cast<std::size_t>(dw) + 8),
                                        std::vector<std::uint16_t>(4 * static_cast<std::size_t>(dw) + 8)};
  int rowOf[2] = {-1, -1};
  auto horizontal = [&](int slot, int r) {
    if (rowOf[slot] == r) return;
    rowOf[slot] = r;
    std::uint16_t* out = rows[slot].data();
    const std::uint32_t* line = sp.bits != nullptr ? sp.bits + static_cast<std::size_t>(ay + r) * sp.width : nullptr;
    int i = 0;
#if defined(__SSE2__)
    if (line != nullptr) {
      // Two columns at a time: their four pixels in one register.
      const __m128i zero = _mm_setzero_si128();
      for (; i + 2 <= dw; i += 2) {
        const Column& a = cols[i];
        const Column& b = cols[i + 1];
        __m128i px = _mm_set_epi32(static_cast<int>(line[b.x1]), static_cast<int>(line[b.x0]),
                                   static_cast<int>(line[a.x1]), static_cast<int>(line[a.x0]));
        __m128i lo = _mm_mullo_epi16(_mm_unpacklo_epi8(px, zero), a.weights);
        __m128i hi = _mm_mullo_epi16(_mm_unpackhi_epi8(px, zero), b.weights);
        __m128i sum = _mm_unpacklo_epi64(_mm_add_epi16(lo, _mm_srli_si128(lo, 8)), _mm_add_epi16(hi, _mm_srli_si128(hi, 8)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i), sum);
      }
    }
#endif
    for (; i < dw; ++i) {
      const Column& c = cols[i];
      std::uint32_t p0 = line != nullptr ? line[c.x0] : sp.At(c.x0, ay + r);
      std::uint32_t p1 = line != nullptr ? line[c.x1] : sp.At(c.x1, ay + r);
#if defined(__SSE2__)
      // Both pixels in one register, their weighted channels added across the halves.
      const __m128i zero = _mm_setzero_si128();
      __m128i both = _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(p0)),
                                                          _mm_cvtsi32_si128(static_cast<int>(p1))),
                                       zero);
      __m128i weighted = _mm_mullo_epi16(both, c.weights);
      __m128i sum = _mm_add_epi16(weighted, _mm_srli_si128(weighted, 8));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * i), sum);
#else
      for (int ch = 0; ch < 4; ++ch)
        out[4 * i + ch] =
            static_cast<std::uint16_t>(((p0 >> (8 * ch)) & 0xFF) * c.w + ((p1 >> (8 * ch)) & 0xFF) * (257 - c.w));
#endif
    }
  };
  for (int j = 0; j < dh; ++j) {
    double q = std::clamp(srcRect.mY + (clipped.mY - destRect.mY + j) * ty - ay, 0.0, double(ah - 1));
    int y = static_cast<int>(q);
    std::uint32_t wy = static_cast<std::uint32_t>((1 - (q - y)) * 256);
    int y1 = std::min(y + 1, ah - 1);
    // Keep whichever computed row is still needed.
    if (rowOf[1] == y) {
      std::swap(rows[0], rows[1]);
      std::swap(rowOf[0], rowOf[1]);
    }
    horizontal(0, y);
    horizontal(1, y1);
    const std::uint16_t* h0 = rows[0].data();
    const std::uint16_t* h1 = rows[1].data();
    std::uint32_t* drow = dbits + static_cast<std::size_t>(clipped.mY + j) * dest->mWidth + clipped.mX;
    int i = 0;
#if defined(ORVO_BLEND_AVX2)
    if (dw >= 4 && UseAvx2()) i = FilteredRowAvx2(drow, h0, h1, dw, wy, opaqueDest);
#endif
#if defined(__SSE2__)
    const __m128i w0 = _mm_set1_epi16(static_cast<short>(wy)), w1 = _mm_set1_epi16(static_cast<short>(256 - wy));
    const __m128i zero = _mm_setzero_si128(), k255 = _mm_set1_epi16(255), k256 = _mm_set1_epi16(256);
    const __m128i one = _mm_set1_epi16(1), alphaLanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    const __m128i bias = _mm_set1_epi16(static_cast<short>(0x8000));
    for (; i + 2 <= dw; i += 2) {
      // (h0 * wy + h1 * (256 - wy)) >> 16 for b g r a of both pixels: the high halves of the
      // products, plus one where the low halves carry.
      __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h0 + 4 * i));
      __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h1 + 4 * i));
      __m128i lo0 = _mm_mullo_epi16(a0, w0), lo1 = _mm_mullo_epi16(a1, w1);
      __m128i lowSum = _mm_add_epi16(lo0, lo1);
      __m128i carry = _mm_cmpgt_epi16(_mm_xor_si128(lo0, bias), _mm_xor_si128(lowSum, bias));
      __m128i c = _mm_sub_epi16(_mm_add_epi16(_mm_mulhi_epu16(a0, w0), _mm_mulhi_epu16(a1, w1)), carry);
      __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(c, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
      __m128i d = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(drow + i)), zero);
      __m128i colour = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(c, a), 8),
                                     _mm_srli_epi16(_mm_mullo_epi16(d, _mm_sub_epi16(k256, a)), 8));
      // Alpha: da + ((255 - da) * a) / 255, the division as (x + 1 + (x >> 8)) >> 8.
      __m128i x = _mm_mullo_epi16(_mm_sub_epi16(k255, d), a);
      __m128i alpha = _mm_add_epi16(d, _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, one), _mm_srli_epi16(x, 8)), 8));
      __m128i out = _mm_or_si128(_mm_and_si128(alphaLanes, alpha), _mm_andnot_si128(alphaLanes, colour));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(drow + i), _mm_packus_epi16(out, out));
    }
#endif
    for (; i < dw; ++i) {
      std::uint32_t v[4];
      for (int ch = 0; ch < 4; ++ch)
        v[ch] = (h0[4 * i + ch] * wy + h1[4 * i + ch] * (256 - wy)) >> 16;
      std::uint32_t a = std::min<std::uint32_t>(v[3], 255);
      if (a != 0) drow[i] = CompositeFiltered(drow[i], a, v[2], v[1], v[0]);
    }
  }
}

// Filtered: a box filter where the image shrinks and a linear one where it grows, in two
// passes. Sample positions of a growing axis are taken from the whole (unclipped)
// destination, so a clipped stretch shows exactly the pixels of the unclipped one.
void StretchFiltered(MemoryImage* dest, std::uint32_t* dbits, const SourcePixels& sp, const Rect& destRect,
                     const Rect& srcRect, const Rect& clipped, double sx, double sy, double sw, double sh) {
  int dw = clipped.mWidth;
  int dh = clipped.mHeight;
  int ax = static_cast<int>(std::floor(sx));
  int ay = static_cast<int>(std::floor(sy));
  int aw = static_cast<int>(std::ceil(sx - ax + sw));
  int ah = static_cast<int>(std::ceil(sy - ay + sh));
  if (ax < 0) {
    aw += ax;
    ax = 0;
  }
  if (ay < 0) {
    ah += ay;
    ay = 0;
  }
  aw = std::min(aw, sp.width - ax);
  ah = std::min(ah, sp.height - ay);
  // A growing axis samples at the unclipped destination's positions, which may lie up to a
  // pixel before the clipped area: it reads the whole source rectangle on that axis.
  Rect whole = ClipToImage(srcRect, sp.width, sp.height);
  if (dw > sw) {
    ax = whole.mX;
    aw = whole.mWidth;
  }
  if (dh > sh) {
    ay = whole.mY;
    ah = whole.mHeight;
  }
  if (aw < 1 || ah < 1) return;

  if (dw > sw && dh > sh) {
    StretchFilteredEnlarge(dest, dbits, sp, destRect, srcRect, clipped, ax, ay, aw, ah);
    return;
  }
  int stride = dw + 4;
  std::vector<Sum4> h(static_cast<std::size_t>(ah) * stride);
  if (dw <= sw) {
    double k = dw / sw;
    double o = (ax - sx) * k + 1.0;
    std::uint32_t whole = static_cast<std::uint32_t>(k * 257);
    for (int r = 0; r < ah; ++r) {
      Sum4* row = &h[static_cast<std::size_t>(r) * stride];
      for (int j = 0; j < aw; ++j) {
        std::uint32_t px = sp.At(ax + j, ay + r);
        double p = j * k + o;
        int ip = static_cast<int>(p);
        int ipk = static_cast<int>(p + k);
        if (ip < 0 || ip + 1 >= stride) continue;
        if (ip == ipk) {
          row[ip].Add(px, whole);
        } else {
          row[ip].Add(px, static_cast<std::uint32_t>((ipk - p) * 257));
          row[ip + 1].Add(px, static_cast<std::uint32_t>((p + k - ipk) * 257));
        }
      }
    }
  } else {
    double t = destRect.mWidth == 1 ? double(srcRect.mWidth) / destRect.mWidth
                                    : double(srcRect.mWidth - 1) / (destRect.mWidth - 1);
    int last = ax + aw - 1;
    for (int i = 1; i <= dw; ++i) {
      double q = srcRect.mX + (clipped.mX - destRect.mX + i - 1) * t;
      q = std::clamp(q, double(ax), double(last));
      int x = static_cast<int>(q);
      std::uint32_t w = static_cast<std::uint32_t>((1 - (q - x)) * 257);
      int x1 = std::min(x + 1, last);
      for (int r = 0; r < ah; ++r) {
        Sum4& e = h[static_cast<std::size_t>(r) * stride + i];
        e.Add(sp.At(x, ay + r), w);
        e.Add(sp.At(x1, ay + r), 257 - w);
      }
    }
  }

  std::vector<Sum4> v(static_cast<std::size_t>(dh + 4) * stride);
  auto addRow = [&](int vRow, int hRow, std::uint32_t w) {
    if (vRow < 0 || vRow >= dh + 4 || w == 0) return;
    Sum4* out = &v[static_cast<std::size_t>(vRow) * stride];
    const Sum4* in = &h[static_cast<std::size_t>(hRow) * stride];
    for (int e = 0; e < stride; ++e) out[e].Add(in[e], w);
  };
  if (dh <= sh) {
    double k = dh / sh;
    double o = (ay - sy) * k + 1.0;
    std::uint32_t whole = static_cast<std::uint32_t>(k * 256);
    for (int j = 0; j < ah; ++j) {
      double p = j * k + o;
      int ip = static_cast<int>(p);
      int ipk = static_cast<int>(p + k);
      if (ip == ipk) {
        addRow(ip, j, whole);
      } else {
        addRow(ip, j, static_cast<std::uint32_t>((ipk - p) * 256));
        addRow(ip + 1, j, static_cast<std::uint32_t>((p + k - ipk) * 256));
      }
    }
  } else {
    double t = destRect.mHeight == 1 ? double(srcRect.mHeight) / destRect.mHeight
                                     : double(srcRect.mHeight - 1) / (destRect.mHeight - 1);
    for (int i = 1; i <= dh; ++i) {
      double q = srcRect.mY + (clipped.mY - destRect.mY + i - 1) * t - ay;
      q = std::clamp(q, 0.0, double(ah - 1));
      int y = static_cast<int>(q);
      std::uint32_t w = static_cast<std::uint32_t>((1 - (q - y)) * 256);
      addRow(i, y, w);
      addRow(i, std::min(y + 1, ah - 1), 256 - w);
    }
  }

  for (int i = 0; i < dh; ++i) {
    const Sum4* row = &v[static_cast<std::size_t>(i + 1) * stride];
    std::uint32_t* drow = dbits + static_cast<std::size_t>(clipped.mY + i) * dest->mWidth + clipped.mX;
    for (int j = 0; j < dw; ++j) {
      const Sum4& e = row[j + 1];
      std::uint32_t a = std::min<std::uint32_t>(e.a >> 16, 255);
      if (a == 0) continue;
      drow[j] = CompositeFiltered(drow[j], a, e.r >> 16, e.g >> 16, e.b >> 16);
    }
  }
}

// A copy of srcRect of src with every row reversed (and the source's transparency flags).
MemoryImage* MirroredCopy(MemoryImage* src, const Rect& srcRect, Rect& outRect) {
  Rect s = ClipToImage(srcRect, src->mWidth, src->mHeight);
  if (s.mWidth <= 0 || s.mHeight <= 0) return nullptr;
  src->CommitBits();
  SourcePixels sp = ReadSource(src);
  if (!sp.Valid()) return nullptr;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(s.mWidth) * s.mHeight);
  for (int y = 0; y < s.mHeight; ++y)
    for (int x = 0; x < s.mWidth; ++x)
      pixels[static_cast<std::size_t>(y) * s.mWidth + (s.mWidth - 1 - x)] = sp.At(s.mX + x, s.mY + y);
  MemoryImage* copy = new MemoryImage(static_cast<OrvoAppBase*>(nullptr));
  copy->SetBits(pixels.data(), s.mWidth, s.mHeight, false);
  copy->SetImageMode(src->mHasTrans, src->mHasAlpha);
  // Source columns cut off on the left of srcRect are now cut off on the right.
  outRect = Rect(0, 0, s.mWidth, s.mHeight);
  return copy;
}

}  // namespace

void MemoryImage::StretchBlt(Image* srcImage, const Rect& destRect, const Rect& srcRect, const Rect& clipRect,
                             const Color& color, int drawMode, bool fastStretch) {
  MemoryImage* src = dynamic_cast<MemoryImage*>(srcImage);
  if (src == nullptr) return;
  src->mDrawn = true;
  if (src == this) {
    DrawFromCopy(this, [&](MemoryImage* copy) {
      MemoryImage::StretchBlt(copy, destRect, srcRect, clipRect, color, drawMode, fastStretch);
    });
    return;
  }
  if (destRect.mWidth <= 0 || destRect.mHeight <= 0 || srcRect.mWidth <= 0 || srcRect.mHeight <= 0) return;
  Rect clipped = destRect.Intersection(clipRect).Intersection(Rect(0, 0, mWidth, mHeight));
  if (clipped.mWidth <= 0 || clipped.mHeight <= 0) return;
  double scaleX = double(srcRect.mWidth) / destRect.mWidth;
  double scaleY = double(srcRect.mHeight) / destRect.mHeight;
  double sx = (clipped.mX - destRect.mX) * scaleX + srcRect.mX;
  double sy = (clipped.mY - destRect.mY) * scaleY + srcRect.mY;
  double sw = (clipped.mWidth - destRect.mWidth) * scaleX + srcRect.mWidth;
  double sh = (clipped.mHeight - destRect.mHeight) * scaleY + srcRect.mHeight;
  if (sw <= 0 || sh <= 0) return;
  src->CommitBits();
  SourcePixels sp = ReadSource(src);
  std::uint32_t* dbits = GetBits();
  if (!sp.Valid() || dbits == nullptr) return;
  CommitDest(this);
  OpacityKeeper keeper(this);
  if (fastStretch) {
    Rect area = ClipToImage(srcRect, src->mWidth, src->mHeight);
    if (area.mWidth <= 0 || area.mHeight <= 0) return;
    StretchNearest(this, dbits, sp, clipped, sx, sy, scaleX, scaleY, area, color);
  } else {
    StretchFiltered(this, dbits, sp, destRect, srcRect, clipped, sx, sy, sw, sh);
  }
  keeper.Done();
}

void MemoryImage::StretchBltMirror(Image* srcImage, const Rect& destRect, const Rect& srcRect, const Rect& clipRect,
                                   const Color& color, int drawMode, bool fastStretch) {
  MemoryImage* src = dynamic_cast<MemoryImage*>(srcImage);
  if (src == nullptr) return;
  src->mDrawn = true;
  Rect mirroredRect;
  MemoryImage* copy = MirroredCopy(src, srcRect, mirroredRect);
  if (copy == nullptr) return;
  StretchBlt(copy, destRect, mirroredRect, clipRect, color, drawMode, fastStretch);
  delete copy;
}

// ---------------------------------------------------------------------------------------------
// Rotation

void MemoryImage::BltF(Image* src, float x, float y, const Rect& srcRect, const Rect& clipRect, const Color& color,
                       int drawMode) {
  BltRotated(src, x, y, srcRect, clipRect, color, drawMode, 0.0, 0.0f, 0.0f);
}


void MemoryImage::BltRotated(Image* srcImage, float x, float y, const Rect& srcRect, const Rect& clipRect,
                             const Color& color, int drawMode, double angle, float centerX, float centerY) {
  MemoryImage* src = dynamic_cast<MemoryImage*>(srcImage);
  if (src == nullptr) return;
  src->mDrawn = true;
  if (src == this) {
    DrawFromCopy(this, [&](MemoryImage* copy) {
      MemoryImage::BltRotated(copy, x, y, srcRect, clipRect, color, drawMode, angle, centerX, centerY);
    });
    return;
  }
  if (drawMode != 0 && drawMode != 1) return;
  if (!DrawableCoords(x, y, centerX, centerY) || !std::isfinite(angle)) return;
  Rect sr = ClipToImage(srcRect, src->mWidth, src->mHeight);
  // A source rectangle reaching outside the image is refused rather than read past it.
  if (sr != srcRect || sr.mWidth <= 0 || sr.mHeight <= 0) return;
  Rect clip = clipRect.Intersection(Rect(0, 0, mWidth, mHeight));
  if (clip.mWidth <= 0 || clip.mHeight <= 0) return;
  src->CommitBits();
  SourcePixels sp = ReadSource(src);
  std::uint32_t* dbits = GetBits();
  if (!sp.Valid() || dbits == nullptr) return;

  bool white = color == Color::White;
  Rgb tint = Channels(color);
  bool additive = drawMode == 1;
  std::uint32_t addR = tint.r * tint.a / 255, addG = tint.g * tint.a / 255, addB = tint.b * tint.a / 255;
  OpacityKeeper keeper(this);
  const bool drew = WalkRotated(sr, x, y, angle, centerX, centerY, clip, [&](const RotatedSpan& span) {
    const int destY = span.destY;
    if (destY < 0 || destY >= mHeight) return;
    const int X0 = span.destX;
    const int first = 0, last = span.count - 1;
    const std::int64_t du = span.du, dv = span.dv;
    std::uint32_t* drow = dbits + static_cast<std::size_t>(destY) * mWidth;
    std::int64_t cu = span.u;
    std::int64_t cv = span.v;
    if (white && !additive && sp.bits != nullptr) {
      // The common case, untinted and normal from plain pixels: red and blue are weighed
      // together (each product stays below 16 bits), and the source rows are read directly.
      const std::uint32_t* base = sp.bits + static_cast<std::size_t>(sr.mY) * sp.width + sr.mX;
      for (int k = first; k <= last; ++k, cu += du, cv += dv) {
        int destX = X0 + k;
        int ix = static_cast<int>(cu >> 16);
        int iy = static_cast<int>(cv >> 16);
        if (destX < 0 || destX >= mWidth || ix < 0 || iy < 0 || ix + 1 >= sr.mWidth || iy + 1 >= sr.mHeight) continue;
        const std::uint32_t* p0 = base + static_cast<std::size_t>(iy) * sp.width + ix;
        const std::uint32_t* p1 = p0 + sp.width;
        std::uint32_t fx = static_cast<std::uint32_t>(cu & 0xFFFE) + 1;
        std::uint32_t fy = static_cast<std::uint32_t>(cv & 0xFFFE) + 1;
        std::uint32_t gx = 65536 - fx, gy = 65536 - fy;
        std::uint32_t q[4] = {p0[0], p0[1], p1[0], p1[1]};
        std::uint32_t w[4] = {(((gx * gy) >> 16) * A(q[0])) >> 16, (((fx * gy) >> 16) * A(q[1])) >> 16,
                              (((gx * fy) >> 16) * A(q[2])) >> 16, (((fx * fy) >> 16) * A(q[3])) >> 16};
        std::uint32_t total = w[0] + w[1] + w[2] + w[3];
        if (total == 0) continue;
        std::uint32_t rb = (q[0] & 0xFF00FF) * w[0] + (q[1] & 0xFF00FF) * w[1] + (q[2] & 0xFF00FF) * w[2] +
                           (q[3] & 0xFF00FF) * w[3];
        std::uint32_t g = (q[0] & 0xFF00) * w[0] + (q[1] & 0xFF00) * w[1] + (q[2] & 0xFF00) * w[2] +
                          (q[3] & 0xFF00) * w[3];
        std::uint32_t r8 = (rb >> 24) & 0xFF, b8 = (rb & 0xFFFF) >> 8, g8 = (g >> 16) & 0xFF;
        std::uint32_t& d = drow[destX];
        if (total >= 251) {
          d = Pack(255, r8, g8, b8);
          continue;
        }
        std::uint32_t inv = 256 - total;
        std::uint32_t da = A(d);
        std::uint32_t cover = ((256 - da) * inv) >> 8;
        std::uint32_t qd = 256 - cover;
        auto ch = [&](std::uint32_t dc, std::uint32_t sc) {
          return std::min<std::uint32_t>((((dc * da) >> 8) * inv + 256 * sc) / qd, 255);
        };
        d = Pack(255 - cover, ch(R(d), r8), ch(G(d), g8), ch(B(d), b8));
      }
      return;
    }
    for (int k = first; k <= last; ++k, cu += du, cv += dv) {
      int destX = X0 + k;
      if (destX < 0 || destX >= mWidth) continue;
      int ix = static_cast<int>(cu >> 16);
      int iy = static_cast<int>(cv >> 16);
      if (ix < 0 || iy < 0 || ix + 1 >= sr.mWidth || iy + 1 >= sr.mHeight) continue;
      std::uint32_t fx = static_cast<std::uint32_t>(cu & 0xFFFE) + 1;
      std::uint32_t fy = static_cast<std::uint32_t>(cv & 0xFFFE) + 1;
      std::uint32_t p[4] = {sp.At(sr.mX + ix, sr.mY + iy), sp.At(sr.mX + ix + 1, sr.mY + iy),
                            sp.At(sr.mX + ix, sr.mY + iy + 1), sp.At(sr.mX + ix + 1, sr.mY + iy + 1)};
      std::uint32_t prod[4] = {((65536 - fx) * (65536 - fy)) >> 16, (fx * (65536 - fy)) >> 16,
                               ((65536 - fx) * fy) >> 16, (fx * fy) >> 16};
      std::uint32_t total = 0, sr8 = 0, sg8 = 0, sb8 = 0;
      for (int n = 0; n < 4; ++n) {
        std::uint32_t w = (prod[n] * A(p[n])) >> 16;
        if (!additive && !white) w = (w * tint.a) >> 8;
        total += w;
        sr8 += R(p[n]) * w;
        sg8 += G(p[n]) * w;
        sb8 += B(p[n]) * w;
      }
      if (total == 0) continue;
      sr8 >>= 8;
      sg8 >>= 8;
      sb8 >>= 8;
      std::uint32_t& d = drow[destX];
      if (additive) {
        if (!white) {
          sr8 = (sr8 * addR) >> 8;
          sg8 = (sg8 * addG) >> 8;
          sb8 = (sb8 * addB) >> 8;
        }
        d = (d & 0xFF000000u) | (AddClamp(R(d), std::min(sr8, 255u)) << 16) |
            (AddClamp(G(d), std::min(sg8, 255u)) << 8) | AddClamp(B(d), std::min(sb8, 255u));
        continue;
      }
      if (!white) {
        sr8 = (sr8 * (tint.r + 1)) >> 8;
        sg8 = (sg8 * (tint.g + 1)) >> 8;
        sb8 = (sb8 * (tint.b + 1)) >> 8;
      }
      if (total >= 251) {
        d = Pack(255, std::min(sr8, 255u), std::min(sg8, 255u), std::min(sb8, 255u));
        continue;
      }
      std::uint32_t inv = 256 - total;
      std::uint32_t da = A(d);
      std::uint32_t cover = ((256 - da) * inv) >> 8;
      std::uint32_t q = 256 - cover;
      auto ch = [&](std::uint32_t dc, std::uint32_t sc) {
        return std::min<std::uint32_t>((((dc * da) >> 8) * inv + 256 * sc) / q, 255);
      };
      d = Pack(255 - cover, ch(R(d), sr8), ch(G(d), sg8), ch(B(d), sb8));
    }
  });
  if (drew) keeper.Done();
}

// ---------------------------------------------------------------------------------------------
// Matrix and triangles, through the triangle rasteriser

void MemoryImage::BltMatrix(Image* srcImage, float x, float y, const Matrix3& matrix, const Rect& clipRect,
                            const Color& color, int drawMode, const Rect& srcRect, bool blend) {
  MemoryImage* src = dynamic_cast<MemoryImage*>(srcImage);
  if (src == nullptr) return;
  src->mDrawn = true;
  if (src == this) {
    DrawFromCopy(this, [&](MemoryImage* copy) {
      MemoryImage::BltMatrix(copy, x, y, matrix, clipRect, color, drawMode, srcRect, blend);
    });
    return;
  }
  if (src->mWidth <= 0 || src->mHeight <= 0 || !DrawableCoords(x, y) || !FiniteMatrix(matrix)) return;
  Rect clip = clipRect.Intersection(Rect(0, 0, mWidth, mHeight));
  if (clip.mWidth <= 0 || clip.mHeight <= 0) return;
  std::uint32_t* dbits = GetBits();
  if (dbits == nullptr) return;
  float w = static_cast<float>(srcRect.mWidth);
  float h = static_cast<float>(srcRect.mHeight);
  float u0 = static_cast<float>(srcRect.mX) / src->mWidth;
  float u1 = static_cast<float>(srcRect.mX + srcRect.mWidth) / src->mWidth;
  float v0 = static_cast<float>(srcRect.mY) / src->mHeight;
  float v1 = static_cast<float>(srcRect.mY + srcRect.mHeight) / src->mHeight;
  TriVertex verts[4] = {{-w / 2, -h / 2, u0, v0, 0xFFFFFFFF},
                        {w / 2, -h / 2, u1, v0, 0xFFFFFFFF},
                        {-w / 2, h / 2, u0, v1, 0xFFFFFFFF},
                        {w / 2, h / 2, u1, v1, 0xFFFFFFFF}};
  for (TriVertex& vert : verts) {
    Vector3 p = matrix.TransformVector(vert.x, vert.y, 1.0f);
    vert.x = p.x + x - 0.5f;
    vert.y = p.y + y - 0.5f;
  }
  OpacityKeeper keeper(this);
  RasterizeTriangle(verts, 4, src, &color, drawMode, &clip, dbits, mWidth * 4, RasterFormat(), blend, false);
  keeper.Done();
}

void MemoryImage::BltTrianglesTex(Image* textureImage, const TriVertex theTriangles[][3], int numTriangles,
                                  const Rect& clipRect, const Color& color, int drawMode, float tx, float ty,
                                  bool blend) {
  MemoryImage* texture = dynamic_cast<MemoryImage*>(textureImage);
  if (texture != nullptr) texture->mDrawn = true;
  if (texture == this) {
    DrawFromCopy(this, [&](MemoryImage* copy) {
      MemoryImage::BltTrianglesTex(copy, theTriangles, numTriangles, clipRect, color, drawMode, tx, ty, blend);
    });
    return;
  }
  Rect clip = clipRect.Intersection(Rect(0, 0, mWidth, mHeight));
  if (clip.mWidth <= 0 || clip.mHeight <= 0 || theTriangles == nullptr || !DrawableCoords(tx, ty)) return;
  std::uint32_t* dbits = GetBits();
  if (dbits == nullptr) return;
  OpacityKeeper keeper(this);
  for (int i = 0; i < numTriangles; ++i) {
    TriVertex tri[3];
    bool vertexColors = false;
    for (int k = 0; k < 3; ++k) {
      tri[k] = theTriangles[i][k];
      tri[k].x += tx;
      tri[k].y += ty;
      if (tri[k].color != 0) vertexColors = true;
    }
    // A vertex colour of 0 means "the call's colour alone": no further modulation.
    if (vertexColors)
      for (TriVertex& vert : tri)
        if (vert.color == 0) vert.color = 0xFFFFFFFF;
    RasterizeTriangle(tri, 3, texture, &color, drawMode, &clip, dbits, mWidth * 4, RasterFormat(), blend,
                      vertexColors);
  }
  keeper.Done();
}

}  // namespace Orvo
