// The row kernels, written once with the compiler's vector types (eight pixels, 32 lanes of
// 16 bits) and cloned for AVX2 and plain x86-64 (SSE2); a scalar tail with the same formula
// finishes each run. Every product fits 16 bits: c * f + 127 <= 65152, and
// (x + 1 + (x >> 8)) >> 8 equals x / 255 for every x below 65535.
#include "platform/Direct3DRows.h"

#include <cstring>

#pragma GCC diagnostic ignored "-Wpsabi"

// No clones under ThreadSanitizer: their resolvers run while the program is loaded, before
// the sanitizer's runtime is ready, and crash it.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define QV_ROW_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define QV_ROW_CLONES
#endif

namespace plat::d3drows {
namespace {

using Bytes = std::uint8_t __attribute__((vector_size(32)));
using Words = std::uint16_t __attribute__((vector_size(64)));
using Pixels = std::uint32_t __attribute__((vector_size(32)));

constexpr int kLanes = 8;  // pixels per vector step

inline __attribute__((always_inline)) Words Load(const std::uint32_t* p) {
  Bytes b;
  std::memcpy(&b, p, sizeof b);
  return __builtin_convertvector(b, Words);
}

// Each pixel's alpha in all four of its channels.
inline __attribute__((always_inline)) Words AlphaOf(const std::uint32_t* p) {
  Pixels a;
  std::memcpy(&a, p, sizeof a);
  a >>= 24;
  a |= a << 8;
  a |= a << 16;
  return __builtin_convertvector(reinterpret_cast<Bytes&>(a), Words);
}

inline __attribute__((always_inline)) Bytes Narrow(Words w) { return __builtin_convertvector(w, Bytes); }

inline __attribute__((always_inline)) Words Div255(Words x) { return (x + 1 + (x >> 8)) >> 8; }

// Writes `value`, or with keepDestAlpha its colour bytes and the alpha bytes of `old`.
inline __attribute__((always_inline)) void Store(std::uint32_t* p, Bytes value, const std::uint32_t* old,
                                                 bool keepDestAlpha) {
  if (keepDestAlpha) {
    Bytes before;
    std::memcpy(&before, old, sizeof before);
    const Bytes alpha = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255,
                         0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    value = (value & ~alpha) | (before & alpha);
  }
  std::memcpy(p, &value, sizeof value);
}

inline std::uint32_t Channel(std::uint32_t c, int shift) { return (c >> shift) & 0xFF; }

inline std::uint32_t Div255(std::uint32_t x) { return (x + 1 + (x >> 8)) >> 8; }

inline std::uint32_t Merge(std::uint32_t value, std::uint32_t old, bool keepDestAlpha) {
  return keepDestAlpha ? (value & 0x00FFFFFFu) | (old & 0xFF000000u) : value;
}

// One pixel of each kernel, for the tails.
std::uint32_t ModulatePixel(std::uint32_t t, std::uint32_t m) {
  std::uint32_t out = 0;
  for (int s = 0; s < 32; s += 8) out |= Div255(Channel(t, s) * Channel(m, s) + 127) << s;
  return out;
}

std::uint32_t OverPixel(std::uint32_t s, std::uint32_t d) {
  const std::uint32_t a = s >> 24;
  std::uint32_t out = 0;
  for (int k = 0; k < 32; k += 8) out |= Div255(Channel(s, k) * a + Channel(d, k) * (255 - a) + 127) << k;
  return out;
}

std::uint32_t AddPixel(std::uint32_t s, std::uint32_t d, bool weighted) {
  const std::uint32_t a = s >> 24;
  std::uint32_t out = 0;
  for (int k = 0; k < 32; k += 8) {
    const std::uint32_t c = weighted ? Div255(Channel(s, k) * a + 127) : Channel(s, k);
    const std::uint32_t sum = Channel(d, k) + c;
    out |= (sum > 255 ? 255 : sum) << k;
  }
  return out;
}

}  // namespace

QV_ROW_CLONES void Modulate(std::uint32_t* out, const std::uint32_t* t, const std::uint32_t* m, int n) {
  int i = 0;
  for (; i + kLanes <= n; i += kLanes) Store(out + i, Narrow(Div255(Load(t + i) * Load(m + i) + 127)), nullptr, false);
  for (; i < n; ++i) out[i] = ModulatePixel(t[i], m[i]);
}

QV_ROW_CLONES void ModulateBy(std::uint32_t* out, const std::uint32_t* t, std::uint32_t m, int n) {
  std::uint32_t ms[kLanes];
  for (std::uint32_t& v : ms) v = m;
  const Words mw = Load(ms);
  int i = 0;
  for (; i + kLanes <= n; i += kLanes) Store(out + i, Narrow(Div255(Load(t + i) * mw + 127)), nullptr, false);
  for (; i < n; ++i) out[i] = ModulatePixel(t[i], m);
}

QV_ROW_CLONES void Over(std::uint32_t* dst, const std::uint32_t* src, int n, bool keepDestAlpha) {
  int i = 0;
  for (; i + kLanes <= n; i += kLanes) {
    const Words s = Load(src + i);
    const Words a = AlphaOf(src + i);
    const Words x = s * a + Load(dst + i) * (255 - a) + 127;
    Store(dst + i, Narrow(Div255(x)), dst + i, keepDestAlpha);
  }
  for (; i < n; ++i) dst[i] = Merge(OverPixel(src[i], dst[i]), dst[i], keepDestAlpha);
}

QV_ROW_CLONES void AddWeighted(std::uint32_t* dst, const std::uint32_t* src, int n, bool keepDestAlpha) {
  int i = 0;
  for (; i + kLanes <= n; i += kLanes) {
    const Words s = Load(src + i);
    const Words a = AlphaOf(src + i);
    const Words sum = Load(dst + i) + Div255(s * a + 127);
    Store(dst + i, Narrow(sum > 255 ? 255 : sum), dst + i, keepDestAlpha);
  }
  for (; i < n; ++i) dst[i] = Merge(AddPixel(src[i], dst[i], true), dst[i], keepDestAlpha);
}

QV_ROW_CLONES void AddBoth(std::uint32_t* dst, const std::uint32_t* src, int n, bool keepDestAlpha) {
  int i = 0;
  for (; i + kLanes <= n; i += kLanes) {
    const Words sum = Load(dst + i) + Load(src + i);
    Store(dst + i, Narrow(sum > 255 ? 255 : sum), dst + i, keepDestAlpha);
  }
  for (; i < n; ++i) dst[i] = Merge(AddPixel(src[i], dst[i], false), dst[i], keepDestAlpha);
}

void Copy(std::uint32_t* dst, const std::uint32_t* src, int n, bool keepDestAlpha) {
  if (!keepDestAlpha) {
    std::memmove(dst, src, static_cast<std::size_t>(n) * sizeof *dst);
    return;
  }
  for (int i = 0; i < n; ++i) dst[i] = Merge(src[i], dst[i], true);
}

}  // namespace plat::d3drows
