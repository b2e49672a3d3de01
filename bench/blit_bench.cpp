// The software blitters against what a user would pick instead: SDL2's surface blits
// (SDL_BlitSurface, SDL_BlitScaled, SDL_SoftStretchLinear), its software renderer's
// SDL_RenderGeometry and pixman's compositing (additive, nearest and bilinear stretches),
// with memcpy of the destination's bytes as the bandwidth ceiling.
// Every row draws the same sprite onto the same opaque destination at 64x64, 256x256 and
// 1024x768.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

#include "framework/graphics/MemoryImage.h"

#if defined(QUORVANE_HAVE_PIXMAN)
#include <pixman.h>
#endif

using namespace Orvo;

namespace {

// A sprite: opaque middle, soft (partly transparent) rim, transparent corners.
std::vector<std::uint32_t> Sprite(int w, int h) {
  std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double dx = (x + 0.5) / w - 0.5, dy = (y + 0.5) / h - 0.5;
      double r = std::sqrt(dx * dx + dy * dy) * 2;
      int a = r < 0.8 ? 255 : (r < 1.0 ? static_cast<int>((1.0 - r) / 0.2 * 255) : 0);
      std::uint32_t rgb = static_cast<std::uint32_t>((x * 7) & 0xFF) << 16 | static_cast<std::uint32_t>((y * 5) & 0xFF) << 8 | 0x60;
      px[static_cast<std::size_t>(y) * w + x] = static_cast<std::uint32_t>(a) << 24 | rgb;
    }
  return px;
}

struct Ours {
  std::unique_ptr<MemoryImage> dest, src;
  Ours(int w, int h, int sw, int sh) {
    dest = std::make_unique<MemoryImage>(static_cast<OrvoAppBase*>(nullptr));
    std::vector<std::uint32_t> bg(static_cast<std::size_t>(w) * h, 0xFF203040);
    dest->SetBits(bg.data(), w, h);
    src = std::make_unique<MemoryImage>(static_cast<OrvoAppBase*>(nullptr));
    auto px = Sprite(sw, sh);
    src->SetBits(px.data(), sw, sh);
  }
};

struct Sdl {
  SDL_Surface* dest = nullptr;
  SDL_Surface* src = nullptr;
  std::vector<std::uint32_t> srcPixels;
  Sdl(int w, int h, int sw, int sh) : srcPixels(Sprite(sw, sh)) {
    dest = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_FillRect(dest, nullptr, 0xFF203040);
    src = SDL_CreateRGBSurfaceWithFormatFrom(srcPixels.data(), sw, sh, 32, sw * 4, SDL_PIXELFORMAT_ARGB8888);
  }
  ~Sdl() {
    SDL_FreeSurface(src);
    SDL_FreeSurface(dest);
  }
};

void SetLabel(benchmark::State& state) {
  state.SetBytesProcessed(state.iterations() * state.range(0) * state.range(1) * 4);
}

void BM_Memcpy(benchmark::State& state) {
  std::size_t bytes = static_cast<std::size_t>(state.range(0)) * state.range(1) * 4;
  std::vector<std::uint8_t> a(bytes, 1), b(bytes);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  SetLabel(state);
}

void BM_OursAlphaBlit(benchmark::State& state) {
  int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Ours o(w, h, w, h);
  for (auto _ : state) o.dest->Blt(o.src.get(), 0, 0, Rect(0, 0, w, h), Color::White, 0);
  SetLabel(state);
}

void BM_SdlAlphaBlit(benchmark::State& state) {
  int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Sdl s(w, h, w, h);
  SDL_SetSurfaceBlendMode(s.src, SDL_BLENDMODE_BLEND);
  for (auto _ : state) SDL_BlitSurface(s.src, nullptr, s.dest, nullptr);
  SetLabel(state);
}

void BM_OursAdditiveBlit(benchmark::State& state) {
  int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Ours o(w, h, w, h);
  for (auto _ : state) o.dest->Blt(o.src.get(), 0, 0, Rect(0, 0, w, h), Color::White, 1);
  SetLabel(state);
}

void BM_SdlAdditiveBlit(benchmark::State& state) {
  int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Sdl s(w, h, w, h);
  SDL_SetSurfaceBlendMode(s.src, SDL_BLENDMODE_ADD);
  for (auto _ : state) SDL_BlitSurface(s.src, nullptr, s.dest, nullptr);
  SetLabel(state);
}

// Stretched: a sprite of 2/3 the size enlarged to fill the destination.
void BM_OursStretchNearest(benchmark::State& state) {
  int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Ours o(w, h, w * 2 / 3, h * 2 / 3);
  Rect dest(0, 0, w, h), src(0, 0, w * 2 / 3, h * 2 / 3);
  for (auto _ : state) o.dest->StretchBlt(o.src.get(), dest, src, dest, Color::White, 0, true);
  SetLabel(state);
}

void BM_SdlBlitScaled(benchmark::State& state) {
  int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Sdl s(w, h, w * 2 / 3, h * 2 / 3);
  SDL_SetSurfaceBlendMode(s.src, SDL_BLENDMODE_BLEND);
  SDL_Rect dest{0, 0, w, h};
  for (auto _ : state) SDL_BlitScaled(s.src, nullptr, s.dest, &dest);
  SetLabel(state);
}

void BM_OursStretchFiltered(benchmark::State& state) {
  int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Ours o(w, h, w * 2 / 3, h * 2 / 3);
  Rect dest(0, 0, w, h), src(0, 0, w * 2 / 3, h * 2 / 3);
  for (auto _ : state) o.dest->StretchBlt(o.src.get(), dest, src, dest, Color::White, 0, false);
  SetLabel(state);
}

// SDL's linear stretch copies (no blending), so it is the cheaper operation of the two.
void BM_SdlSoftStretchLinear(benchmark::State& state) {
  int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Sdl s(w, h, w * 2 / 3, h * 2 / 3);
  for (auto _ : state) SDL_SoftStretchLinear(s.src, nullptr, s.dest, nullptr);
  SetLabel(state);
}

// Rotated by 30 degrees about the destination's centre.
constexpr double kAngle = std::numbers::pi / 6;

void BM_OursRotated(benchmark::State& state) {
  int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Ours o(w, h, w, h);
  Rect clip(0, 0, w, h);
  for (auto _ : state)
    o.dest->BltRotated(o.src.get(), 0, 0, Rect(0, 0, w, h), clip, Color::White, 0, kAngle, w / 2.0f, h / 2.0f);
  SetLabel(state);
}

void BM_OursMatrixTriangles(benchmark::State& state) {
  int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Ours o(w, h, w, h);
  Rect clip(0, 0, w, h);
  Matrix3 m;
  m.Rotate(static_cast<float>(kAngle));
  for (auto _ : state)
    o.dest->BltMatrix(o.src.get(), w / 2.0f, h / 2.0f, m, clip, Color::White, 0, Rect(0, 0, w, h), false);
  SetLabel(state);
}

void BM_SdlRenderGeometry(benchmark::State& state) {
  int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Sdl s(w, h, w, h);
  SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(s.dest);
  SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, s.src);
  SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
  float c = static_cast<float>(std::cos(kAngle)), sn = static_cast<float>(std::sin(kAngle));
  float cx = w / 2.0f, cy = h / 2.0f;
  auto corner = [&](float px, float py, float u, float v) {
    SDL_Vertex vert;
    vert.position.x = cx + c * px + sn * py;
    vert.position.y = cy - sn * px + c * py;
    vert.color = SDL_Color{255, 255, 255, 255};
    vert.tex_coord.x = u;
    vert.tex_coord.y = v;
    return vert;
  };
  SDL_Vertex verts[4] = {corner(-cx, -cy, 0, 0), corner(cx, -cy, 1, 0), corner(-cx, cy, 0, 1), corner(cx, cy, 1, 1)};
  int indices[6] = {0, 1, 2, 1, 3, 2};
  for (auto _ : state) {
    SDL_RenderGeometry(renderer, texture, verts, 4, indices, 6);
    SDL_RenderFlush(renderer);
  }
  SDL_DestroyTexture(texture);
  SDL_DestroyRenderer(renderer);
  SetLabel(state);
}

#if defined(QUORVANE_HAVE_PIXMAN)
// pixman works on premultiplied pixels: the sprite is premultiplied once, outside the timing.
struct Pixman {
  std::vector<std::uint32_t> destPixels, srcPixels;
  pixman_image_t* dest = nullptr;
  pixman_image_t* src = nullptr;
  Pixman(int w, int h, int sw, int sh) : destPixels(static_cast<std::size_t>(w) * h, 0xFF203040), srcPixels(Sprite(sw, sh)) {
    for (std::uint32_t& p : srcPixels) {
      std::uint32_t a = p >> 24;
      auto ch = [&](int shift) { return (((p >> shift) & 0xFF) * a + 127) / 255 << shift; };
      p = a << 24 | ch(16) | ch(8) | ch(0);
    }
    dest = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, destPixels.data(), w * 4);
    src = pixman_image_create_bits(PIXMAN_a8r8g8b8, sw, sh, srcPixels.data(), sw * 4);
  }
  ~Pixman() {
    pixman_image_unref(src);
    pixman_image_unref(dest);
  }
  // The source scaled to w x h with the filter.
  void Scale(int w, int h, int sw, int sh, pixman_filter_t filter) {
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_int_to_fixed(sw) / w, pixman_int_to_fixed(sh) / h);
    pixman_image_set_transform(src, &t);
    pixman_image_set_filter(src, filter, nullptr, 0);
  }
};

void BM_PixmanAdditiveBlit(benchmark::State& state) {
  int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Pixman p(w, h, w, h);
  for (auto _ : state) pixman_image_composite32(PIXMAN_OP_ADD, p.src, nullptr, p.dest, 0, 0, 0, 0, 0, 0, w, h);
  SetLabel(state);
}

void PixmanStretch(benchmark::State& state, pixman_filter_t filter) {
  int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Pixman p(w, h, w * 2 / 3, h * 2 / 3);
  p.Scale(w, h, w * 2 / 3, h * 2 / 3, filter);
  for (auto _ : state) pixman_image_composite32(PIXMAN_OP_OVER, p.src, nullptr, p.dest, 0, 0, 0, 0, 0, 0, w, h);
  SetLabel(state);
}

void BM_PixmanStretchNearest(benchmark::State& state) { PixmanStretch(state, PIXMAN_FILTER_NEAREST); }
void BM_PixmanStretchBilinear(benchmark::State& state) { PixmanStretch(state, PIXMAN_FILTER_BILINEAR); }
#endif

void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({64, 64})->Args({256, 256})->Args({1024, 768});
}

}  // namespace

BENCHMARK(BM_Memcpy)->Apply(Sizes);
BENCHMARK(BM_OursAlphaBlit)->Apply(Sizes);
BENCHMARK(BM_SdlAlphaBlit)->Apply(Sizes);
BENCHMARK(BM_OursAdditiveBlit)->Apply(Sizes);
BENCHMARK(BM_SdlAdditiveBlit)->Apply(Sizes);
#if defined(QUORVANE_HAVE_PIXMAN)
BENCHMARK(BM_PixmanAdditiveBlit)->Apply(Sizes);
#endif
BENCHMARK(BM_OursStretchNearest)->Apply(Sizes);
BENCHMARK(BM_SdlBlitScaled)->Apply(Sizes);
#if defined(QUORVANE_HAVE_PIXMAN)
BENCHMARK(BM_PixmanStretchNearest)->Apply(Sizes);
#endif
BENCHMARK(BM_OursStretchFiltered)->Apply(Sizes);
BENCHMARK(BM_SdlSoftStretchLinear)->Apply(Sizes);
#if defined(QUORVANE_HAVE_PIXMAN)
BENCHMARK(BM_PixmanStretchBilinear)->Apply(Sizes);
#endif
BENCHMARK(BM_OursRotated)->Apply(Sizes);
BENCHMARK(BM_OursMatrixTriangles)->Apply(Sizes);
BENCHMARK(BM_SdlRenderGeometry)->Apply(Sizes);

BENCHMARK_MAIN();
