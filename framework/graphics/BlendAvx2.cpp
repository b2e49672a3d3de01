// The AVX2 form of the opaque-over run, compiled for AVX2 alone and called only when the
// processor has it. Same arithmetic as the scalar and SSE2 forms.
#include "framework/graphics/BlendSimd.h"

#if defined(ORVO_BLEND_AVX2)
#include <immintrin.h>

namespace Orvo::blend {

bool HasAvx2() { return __builtin_cpu_supports("avx2"); }

namespace {

__attribute__((target("avx2"))) inline __m256i OverHalf(__m256i s16, __m256i d16) {
  __m256i a = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s16, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
  __m256i inv = _mm256_sub_epi16(_mm256_set1_epi16(256), a);
  return _mm256_add_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(d16, inv), 8),
                          _mm256_srli_epi16(_mm256_mullo_epi16(s16, a), 8));
}

}  // namespace

__attribute__((target("avx2"))) int OpaqueOverRunAvx2(std::uint32_t* dest, const std::uint32_t* src, int n) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    // Eight transparent pixels leave the destination as it is.
    if (_mm256_testz_si256(s, opaque)) continue;
    __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dest + i));
    __m256i lo = OverHalf(_mm256_unpacklo_epi8(s, zero), _mm256_unpacklo_epi8(d, zero));
    __m256i hi = OverHalf(_mm256_unpackhi_epi8(s, zero), _mm256_unpackhi_epi8(d, zero));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + i), _mm256_or_si256(_mm256_packus_epi16(lo, hi), opaque));
  }
  return i;
}

__attribute__((target("avx2"))) int PremulOverRun8888Avx2(std::uint32_t* dest, const std::uint32_t* src, int n,
                                                           std::uint32_t ca, std::uint32_t m) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i k256 = _mm256_set1_epi16(256);
  const __m256i kCa = _mm256_set1_epi16(static_cast<short>(ca));
  const __m256i kM = _mm256_set1_epi16(static_cast<short>(m));
  const __m256i k8081 = _mm256_set1_epi16(static_cast<short>(0x8081));
  const __m256i k255 = _mm256_set1_epi16(ca == 255 ? 255 : 256);
  const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
  auto half = [&](__m256i s16, __m256i d16) __attribute__((target("avx2"))) {
    __m256i alpha = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s16, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
    __m256i a = _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_mullo_epi16(alpha, kCa), k8081), 7);
    a = _mm256_sub_epi16(a, _mm256_cmpeq_epi16(alpha, k255));
    __m256i sum = _mm256_add_epi16(_mm256_mullo_epi16(d16, _mm256_sub_epi16(k256, a)), _mm256_mullo_epi16(s16, kM));
    return _mm256_srli_epi16(sum, 8);
  };
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dest + i));
    __m256i lo = half(_mm256_unpacklo_epi8(s, zero), _mm256_unpacklo_epi8(d, zero));
    __m256i hi = half(_mm256_unpackhi_epi8(s, zero), _mm256_unpackhi_epi8(d, zero));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + i), _mm256_and_si256(_mm256_packus_epi16(lo, hi), colour));
  }
  return i;
}

__attribute__((target("avx2"))) int FilteredRowAvx2(std::uint32_t* drow, const std::uint16_t* h0,
                                                     const std::uint16_t* h1, int n, std::uint32_t wy,
                                                     bool opaqueDest) {
  const __m256i w0 = _mm256_set1_epi16(static_cast<short>(wy));
  const __m256i w1 = _mm256_set1_epi16(static_cast<short>(256 - wy));
  const __m256i k255 = _mm256_set1_epi16(255), k256 = _mm256_set1_epi16(256), one = _mm256_set1_epi16(1);
  const __m256i alphaLanes = _mm256_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0, -1, 0, 0, 0, -1, 0, 0, 0);
  const __m256i bias = _mm256_set1_epi16(static_cast<short>(0x8000));
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    // (h0 * wy + h1 * (256 - wy)) >> 16: the high halves of the products, plus one where
    // the low halves carry.
    __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h0 + 4 * i));
    __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h1 + 4 * i));
    __m256i lo0 = _mm256_mullo_epi16(a0, w0), lo1 = _mm256_mullo_epi16(a1, w1);
    __m256i lowSum = _mm256_add_epi16(lo0, lo1);
    __m256i carry = _mm256_cmpgt_epi16(_mm256_xor_si256(lo0, bias), _mm256_xor_si256(lowSum, bias));
    __m256i c = _mm256_sub_epi16(_mm256_add_epi16(_mm256_mulhi_epu16(a0, w0), _mm256_mulhi_epu16(a1, w1)), carry);
    __m256i a = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(c, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
    __m256i d = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(drow + i)));
    __m256i colour = _mm256_add_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(c, a), 8),
                                      _mm256_srli_epi16(_mm256_mullo_epi16(d, _mm256_sub_epi16(k256, a)), 8));
    // Alpha: da + ((255 - da) * a) / 255, the division as (x + 1 + (x >> 8)) >> 8; 255 over
    // an opaque destination.
    __m256i alpha = k255;
    if (!opaqueDest) {
      __m256i x = _mm256_mullo_epi16(_mm256_sub_epi16(k255, d), a);
      alpha = _mm256_add_epi16(d, _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(x, one), _mm256_srli_epi16(x, 8)), 8));
    }
    __m256i out = _mm256_or_si256(_mm256_and_si256(alphaLanes, alpha), _mm256_andnot_si256(alphaLanes, colour));
    __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(out, out), _MM_SHUFFLE(0, 0, 2, 0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(drow + i), _mm256_castsi256_si128(packed));
  }
  return i;
}

__attribute__((target("avx2"))) int AddSaturatedRunAvx2(std::uint32_t* dest, const std::uint32_t* add, int n) {
  int i = 0;
  for (; i + 8 <= n; i += 8)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + i),
                        _mm256_adds_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(dest + i)),
                                         _mm256_loadu_si256(reinterpret_cast<const __m256i*>(add + i))));
  return i;
}

__attribute__((target("avx2"))) int AdditiveRunAvx2(std::uint32_t* dest, const std::uint32_t* src, int n, bool tinted,
                                                     std::uint32_t tr, std::uint32_t tg, std::uint32_t tb,
                                                     bool weighted) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i colourMask = _mm256_set1_epi32(0x00FFFFFF);
  const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const __m256i tint = _mm256_set_epi16(0, static_cast<short>(tr), static_cast<short>(tg), static_cast<short>(tb), 0,
                                        static_cast<short>(tr), static_cast<short>(tg), static_cast<short>(tb), 0,
                                        static_cast<short>(tr), static_cast<short>(tg), static_cast<short>(tb), 0,
                                        static_cast<short>(tr), static_cast<short>(tg), static_cast<short>(tb));
  auto contribution = [&](__m256i s16) __attribute__((target("avx2"))) {
    __m256i c = s16;
    if (tinted) c = _mm256_srli_epi16(_mm256_mullo_epi16(c, tint), 8);
    if (weighted) {
      __m256i a = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s16, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
      c = _mm256_srli_epi16(_mm256_mullo_epi16(c, a), 8);
    }
    return c;
  };
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    // Weighted by alpha, eight transparent pixels add nothing.
    if (weighted && _mm256_testz_si256(s, alphaMask)) continue;
    __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dest + i));
    __m256i c = s;
    if (tinted || weighted)
      c = _mm256_packus_epi16(contribution(_mm256_unpacklo_epi8(s, zero)), contribution(_mm256_unpackhi_epi8(s, zero)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dest + i), _mm256_adds_epu8(d, _mm256_and_si256(c, colourMask)));
  }
  return i;
}

}  // namespace Orvo::blend
#endif
