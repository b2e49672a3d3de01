// Runs of pixels blended several at a time with SSE2, giving exactly the per-pixel results of
// BlendMath.h (all products fit 16 bits and are shifted the same way). Scalar elsewhere.
#pragma once

#include <algorithm>
#include <cstdint>

#include "framework/graphics/BlendMath.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Orvo::blend {

#if defined(__x86_64__) && defined(__GNUC__)
#define ORVO_BLEND_AVX2 1
// Eight pixels at a time where the processor has AVX2; returns how many pixels it did.
int OpaqueOverRunAvx2(std::uint32_t* dest, const std::uint32_t* src, int n);
int PremulOverRun8888Avx2(std::uint32_t* dest, const std::uint32_t* src, int n, std::uint32_t ca, std::uint32_t m);
int AddSaturatedRunAvx2(std::uint32_t* dest, const std::uint32_t* add, int n);
// One destination row of the enlarging filtered stretch from the horizontal sums of its two
// source rows, four pixels at a time (see MemoryImageTransform.cpp).
int FilteredRowAvx2(std::uint32_t* drow, const std::uint16_t* h0, const std::uint16_t* h1, int n, std::uint32_t wy,
                    bool opaqueDest);
int AdditiveRunAvx2(std::uint32_t* dest, const std::uint32_t* src, int n, bool tinted, std::uint32_t tr, std::uint32_t tg,
                    std::uint32_t tb, bool weighted);
bool HasAvx2();
#endif

#if defined(ORVO_BLEND_AVX2)
inline bool UseAvx2() {
  static const bool avx2 = HasAvx2();
  return avx2;
}
#endif

// dest[i] = OpaqueOver(dest[i], src[i], alpha of src[i]) for n pixels.
inline void OpaqueOverRun(std::uint32_t* dest, const std::uint32_t* src, int n) {
  int i = 0;
#if defined(ORVO_BLEND_AVX2)
  if (n >= 8 && UseAvx2()) i = OpaqueOverRunAvx2(dest, src, n);
#endif
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i k256 = _mm_set1_epi16(256);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  auto half = [&](__m128i s16, __m128i d16) {
    __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s16, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
    __m128i inv = _mm_sub_epi16(k256, a);
    return _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(d16, inv), 8), _mm_srli_epi16(_mm_mullo_epi16(s16, a), 8));
  };
  for (; i + 4 <= n; i += 4) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dest + i));
    __m128i lo = half(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero));
    __m128i hi = half(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), _mm_or_si128(_mm_packus_epi16(lo, hi), opaque));
  }
#endif
  for (; i < n; ++i) dest[i] = OpaqueOver(dest[i], src[i], A(src[i]));
}

// Additive run: each colour channel of dest gains the source channel, tinted by t (when
// tinted) and weighted by the source alpha (when weighted); clamped at 255; dest alpha kept.
inline void AdditiveRun(std::uint32_t* dest, const std::uint32_t* src, int n, bool tinted, std::uint32_t tr,
                        std::uint32_t tg, std::uint32_t tb, bool weighted) {
  int i = 0;
#if defined(ORVO_BLEND_AVX2)
  if (n >= 8 && UseAvx2()) i = AdditiveRunAvx2(dest, src, n, tinted, tr, tg, tb, weighted);
#endif
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i colourMask = _mm_set1_epi32(0x00FFFFFF);
  const __m128i tint = _mm_set_epi16(0, static_cast<short>(tr), static_cast<short>(tg), static_cast<short>(tb), 0,
                                     static_cast<short>(tr), static_cast<short>(tg), static_cast<short>(tb));
  auto contribution = [&](__m128i s16) {
    __m128i c = s16;
    if (tinted) c = _mm_srli_epi16(_mm_mullo_epi16(c, tint), 8);
    if (weighted) {
      __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s16, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
      c = _mm_srli_epi16(_mm_mullo_epi16(c, a), 8);
    }
    return c;
  };
  const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  for (; i + 4 <= n; i += 4) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    // Weighted by alpha, four transparent pixels add nothing.
    if (weighted && _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(s, alphaMask), zero)) == 0xFFFF) continue;
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dest + i));
    __m128i c = s;
    if (tinted || weighted)
      c = _mm_packus_epi16(contribution(_mm_unpacklo_epi8(s, zero)), contribution(_mm_unpackhi_epi8(s, zero)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), _mm_adds_epu8(d, _mm_and_si128(c, colourMask)));
  }
#endif
  for (; i < n; ++i) {
    std::uint32_t s = src[i];
    std::uint32_t r = R(s), g = G(s), b = B(s);
    if (tinted) {
      r = (r * tr) >> 8;
      g = (g * tg) >> 8;
      b = (b * tb) >> 8;
    }
    if (weighted) {
      std::uint32_t a = A(s);
      r = (r * a) >> 8;
      g = (g * a) >> 8;
      b = (b * a) >> 8;
    }
    std::uint32_t& d = dest[i];
    d = (d & 0xFF000000u) | (AddClamp(R(d), r) << 16) | (AddClamp(G(d), g) << 8) | AddClamp(B(d), b);
  }
}

// ---------------------------------------------------------------------------------------------
// Surface blends of premultiplied display-layout pixels (a source's native alpha data: the
// top byte is the alpha, every channel at most the alpha).

// Onto X8R8G8B8 with a grey tint of alpha ca and multiplier m = grey * ca / 255: per channel
// (d * (256 - a') + s * m) >> 8 with a' = alpha * ca / 255, or 256 where alpha and ca are
// both 255; the top byte becomes 0. Every sum stays below 65535, so 16-bit lanes are exact.
inline std::uint32_t PremulOver8888(std::uint32_t d, std::uint32_t s, std::uint32_t ca, std::uint32_t m) {
  const std::uint32_t alpha = s >> 24;
  const std::uint32_t a = alpha == 255 && ca == 255 ? 256 : (alpha * ca * 0x8081u) >> 23;
  return ((((d & 0x00FF00FFu) * (256 - a) + (s & 0x00FF00FFu) * m) >> 8) & 0x00FF00FFu) +
         ((((d & 0x0000FF00u) * (256 - a) + (s & 0x0000FF00u) * m) >> 8) & 0x0000FF00u);
}

inline void PremulOverRun8888(std::uint32_t* dest, const std::uint32_t* src, int n, std::uint32_t ca,
                              std::uint32_t m) {
  int i = 0;
#if defined(ORVO_BLEND_AVX2)
  if (n >= 8 && UseAvx2()) i = PremulOverRun8888Avx2(dest, src, n, ca, m);
#endif
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i k256 = _mm_set1_epi16(256);
  const __m128i kCa = _mm_set1_epi16(static_cast<short>(ca));
  const __m128i kM = _mm_set1_epi16(static_cast<short>(m));
  const __m128i k8081 = _mm_set1_epi16(static_cast<short>(0x8081));
  const __m128i k255 = _mm_set1_epi16(ca == 255 ? 255 : 256);  // 256 matches no alpha
  const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
  auto half = [&](__m128i s16, __m128i d16) {
    __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s16, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
    __m128i a = _mm_srli_epi16(_mm_mulhi_epu16(_mm_mullo_epi16(alpha, kCa), k8081), 7);
    a = _mm_sub_epi16(a, _mm_cmpeq_epi16(alpha, k255));
    __m128i sum = _mm_add_epi16(_mm_mullo_epi16(d16, _mm_sub_epi16(k256, a)), _mm_mullo_epi16(s16, kM));
    return _mm_srli_epi16(sum, 8);
  };
  for (; i + 4 <= n; i += 4) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dest + i));
    __m128i lo = half(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero));
    __m128i hi = half(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), _mm_and_si128(_mm_packus_epi16(lo, hi), colour));
  }
#endif
  for (; i < n; ++i) dest[i] = PremulOver8888(dest[i], src[i], ca, m);
}

// Onto 5-6-5 (spread 0x07E0F81F) or 5-5-5 (0x03E07C1F), untinted: a transparent pixel is
// skipped, an opaque one copied, any other blended two channel groups at once:
// ((d' * ((256 - alpha) >> 3)) >> 5 & spread) + s', folded back to 16 bits.
inline std::uint16_t PremulOver16(std::uint16_t d, std::uint32_t s, std::uint32_t spread) {
  const std::uint32_t alpha = s >> 24;
  if (alpha == 0) return d;
  if (alpha == 255) return static_cast<std::uint16_t>(s);
  const std::uint32_t ds = ((static_cast<std::uint32_t>(d) << 16) | d) & spread;
  const std::uint32_t ps = (((s & 0xFFFFu) << 16) | (s & 0xFFFFu)) & spread;
  const std::uint32_t blended = ((((ds * ((256 - alpha) >> 3)) >> 5) & spread) + ps) & spread;
  return static_cast<std::uint16_t>((blended >> 16) | blended);
}

// The same eight pixels at a time, one channel per 16-bit lane: the spread form keeps the
// three channels apart, so each is ((c * w) >> 5) + s, wrapped to its width.
inline void PremulOverRun16(std::uint16_t* dest, const std::uint32_t* src, int n, bool is565) {
  const std::uint32_t spread = is565 ? 0x07E0F81Fu : 0x03E07C1Fu;
  int i = 0;
#if defined(__SSE2__)
  const int redShift = is565 ? 11 : 10;
  const __m128i greenMax = _mm_set1_epi16(is565 ? 0x3F : 0x1F);
  const __m128i five = _mm_set1_epi16(0x1F);
  const __m128i k256 = _mm_set1_epi16(256);
  const __m128i k255 = _mm_set1_epi16(255);
  const __m128i zero = _mm_setzero_si128();
  auto low16 = [](__m128i v) { return _mm_srai_epi32(_mm_slli_epi32(v, 16), 16); };
  for (; i + 8 <= n; i += 8) {
    __m128i n0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    __m128i n1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 4));
    __m128i alpha = _mm_packs_epi32(_mm_srli_epi32(n0, 24), _mm_srli_epi32(n1, 24));
    __m128i p = _mm_packs_epi32(low16(n0), low16(n1));
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dest + i));
    __m128i w = _mm_srli_epi16(_mm_sub_epi16(k256, alpha), 3);
    auto channel = [&](__m128i dc, __m128i pc, __m128i max) {
      return _mm_and_si128(_mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(dc, w), 5), pc), max);
    };
    __m128i r = channel(_mm_srli_epi16(d, redShift), _mm_srli_epi16(p, redShift), five);
    __m128i g = channel(_mm_and_si128(_mm_srli_epi16(d, 5), greenMax), _mm_and_si128(_mm_srli_epi16(p, 5), greenMax),
                        greenMax);
    __m128i b = channel(_mm_and_si128(d, five), _mm_and_si128(p, five), five);
    __m128i blended = _mm_or_si128(_mm_or_si128(_mm_slli_epi16(r, redShift), _mm_slli_epi16(g, 5)), b);
    __m128i opaque = _mm_cmpeq_epi16(alpha, k255);
    __m128i clear = _mm_cmpeq_epi16(alpha, zero);
    __m128i out = _mm_or_si128(_mm_and_si128(opaque, p), _mm_andnot_si128(opaque, blended));
    out = _mm_or_si128(_mm_and_si128(clear, d), _mm_andnot_si128(clear, out));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), out);
  }
#endif
  for (; i < n; ++i) dest[i] = PremulOver16(dest[i], src[i], spread);
}

// dest[i] gains the colour channels of add[i] (top byte 0), each clamped at 255; the
// destination's alpha is kept.
inline void AddSaturatedRun(std::uint32_t* dest, const std::uint32_t* add, int n) {
  int i = 0;
#if defined(ORVO_BLEND_AVX2)
  if (n >= 8 && UseAvx2()) i = AddSaturatedRunAvx2(dest, add, n);
#endif
#if defined(__SSE2__)
  for (; i + 4 <= n; i += 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i),
                     _mm_adds_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(dest + i)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(add + i))));
#endif
  for (; i < n; ++i) {
    const std::uint32_t d = dest[i], s = add[i];
    dest[i] = (d & 0xFF000000u) | (AddClamp(R(d), R(s)) << 16) | (AddClamp(G(d), G(s)) << 8) | AddClamp(B(d), B(s));
  }
}

// Additive blits of premultiplied display-layout pixels: each channel of the destination
// gains the source's, scaled by the tint's multiplier (c x m >> 8) when tinted, and is
// clamped at its maximum.
inline void AddNativeRun8888(std::uint32_t* dest, const std::uint32_t* src, int n, bool tinted, std::uint32_t mr,
                             std::uint32_t mg, std::uint32_t mb) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
  const __m128i tint = _mm_set_epi16(0, static_cast<short>(mr), static_cast<short>(mg), static_cast<short>(mb), 0,
                                     static_cast<short>(mr), static_cast<short>(mg), static_cast<short>(mb));
  for (; i + 4 <= n; i += 4) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    if (tinted)
      s = _mm_packus_epi16(_mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), tint), 8),
                           _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), tint), 8));
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dest + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), _mm_and_si128(_mm_adds_epu8(d, s), colour));
  }
#endif
  for (; i < n; ++i) {
    const std::uint32_t s = src[i], d = dest[i];
    std::uint32_t r = R(s), g = G(s), b = B(s);
    if (tinted) {
      r = (r * mr) >> 8;
      g = (g * mg) >> 8;
      b = (b * mb) >> 8;
    }
    dest[i] = (AddClamp(R(d), r) << 16) | (AddClamp(G(d), g) << 8) | AddClamp(B(d), b);
  }
}

inline void AddNativeRun16(std::uint16_t* dest, const std::uint32_t* src, int n, bool is565, bool tinted,
                           std::uint32_t mr, std::uint32_t mg, std::uint32_t mb) {
  const int redShift = is565 ? 11 : 10;
  const std::uint32_t greenMax = is565 ? 0x3F : 0x1F;
  int i = 0;
#if defined(__SSE2__)
  const __m128i gMax = _mm_set1_epi16(static_cast<short>(greenMax));
  const __m128i five = _mm_set1_epi16(0x1F);
  const __m128i tr = _mm_set1_epi16(static_cast<short>(mr)), tg = _mm_set1_epi16(static_cast<short>(mg)),
                tb = _mm_set1_epi16(static_cast<short>(mb));
  auto low16 = [](__m128i v) { return _mm_srai_epi32(_mm_slli_epi32(v, 16), 16); };
  for (; i + 8 <= n; i += 8) {
    __m128i p = _mm_packs_epi32(low16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i))),
                                low16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 4))));
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dest + i));
    auto channel = [&](__m128i dc, __m128i pc, __m128i max, __m128i mult) {
      if (tinted) pc = _mm_srli_epi16(_mm_mullo_epi16(pc, mult), 8);
      return _mm_min_epi16(_mm_add_epi16(dc, pc), max);
    };
    __m128i r = channel(_mm_srli_epi16(d, redShift), _mm_srli_epi16(p, redShift), five, tr);
    __m128i g = channel(_mm_and_si128(_mm_srli_epi16(d, 5), gMax), _mm_and_si128(_mm_srli_epi16(p, 5), gMax), gMax, tg);
    __m128i b = channel(_mm_and_si128(d, five), _mm_and_si128(p, five), five, tb);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i),
                     _mm_or_si128(_mm_or_si128(_mm_slli_epi16(r, redShift), _mm_slli_epi16(g, 5)), b));
  }
#endif
  for (; i < n; ++i) {
    const std::uint32_t s = src[i], d = dest[i];
    std::uint32_t c[3] = {(s >> redShift) & 0x1F, (s >> 5) & greenMax, s & 0x1F};
    if (tinted) {
      c[0] = (c[0] * mr) >> 8;
      c[1] = (c[1] * mg) >> 8;
      c[2] = (c[2] * mb) >> 8;
    }
    const std::uint32_t r = std::min<std::uint32_t>(((d >> redShift) & 0x1F) + c[0], 0x1F);
    const std::uint32_t g = std::min<std::uint32_t>(((d >> 5) & greenMax) + c[1], greenMax);
    const std::uint32_t b = std::min<std::uint32_t>((d & 0x1F) + c[2], 0x1F);
    dest[i] = static_cast<std::uint16_t>(r << redShift | g << 5 | b);
  }
}

// Copies the colour bits of n premultiplied pixels (their top byte cleared).
inline void CopyColourRun(std::uint32_t* dest, const std::uint32_t* src, int n) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
  for (; i + 4 <= n; i += 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i),
                     _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)), colour));
#endif
  for (; i < n; ++i) dest[i] = src[i] & 0x00FFFFFFu;
}

}  // namespace Orvo::blend
