// Runs of pixels blended several at a time with SSE2, giving exactly the per-pixel results of
// BlendMath.h (all products fit 16 bits and are shifted the same way). Scalar elsewhere.
#pragma once

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
bool HasAvx2();
#endif

// dest[i] = OpaqueOver(dest[i], src[i], alpha of src[i]) for n pixels.
inline void OpaqueOverRun(std::uint32_t* dest, const std::uint32_t* src, int n) {
  int i = 0;
#if defined(ORVO_BLEND_AVX2)
  static const bool avx2 = HasAvx2();
  if (avx2 && n >= 8) i = OpaqueOverRunAvx2(dest, src, n);
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
  for (; i + 4 <= n; i += 4) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
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

}  // namespace Orvo::blend
