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
