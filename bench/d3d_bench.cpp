// A full-screen textured quad through the 3D path (the renderer's piece walk on the software
// Direct3D device) beside the same picture drawn by the software blit of the 2D display, by
// SDL2's software renderer (SDL_RenderGeometry), and memcpy of the screen's bytes as the
// bandwidth ceiling. Sizes: 640x480 and 1024x768, 32-bit screen, an image with alpha.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "framework/graphics/D3DInterface.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "platform/Direct3D.h"
#include "platform/DirectDraw.h"

using namespace Orvo;

namespace {

std::vector<std::uint32_t> Picture(int w, int h) {
  std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      px[static_cast<std::size_t>(y) * w + x] = static_cast<std::uint32_t>(160 + (x + y) % 96) << 24 |
                                                static_cast<std::uint32_t>(x & 0xFF) << 16 |
                                                static_cast<std::uint32_t>(y & 0xFF) << 8 | 0x40;
  return px;
}

struct Screen {
  std::unique_ptr<DDInterface> dd;
  std::unique_ptr<MemoryImage> image;
  Screen(int w, int h, bool is3D) {
    plat::DirectDrawTestBehaviour().desktopBitCount = 32;
    dd = std::make_unique<DDInterface>(nullptr);
    dd->mRequest.width = w;
    dd->mRequest.height = h;
    dd->mIs3D = is3D;
    dd->Init(reinterpret_cast<plat::HWND>(0x10), true);
    image = std::make_unique<MemoryImage>(static_cast<OrvoAppBase*>(nullptr));
    auto px = Picture(w, h);
    image->SetBits(px.data(), w, h);
  }
};

void BM_Memcpy(benchmark::State& state) {
  const std::size_t bytes = static_cast<std::size_t>(state.range(0)) * static_cast<std::size_t>(state.range(1)) * 4;
  std::vector<std::uint8_t> a(bytes, 1), b(bytes);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void DrawFullScreen(benchmark::State& state, bool is3D) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  Screen s(w, h, is3D);
  DDImage* screen = s.dd->GetScreenImage();
  for (auto _ : state) {
    screen->Blt(s.image.get(), 0, 0, Rect(0, 0, w, h), Color::White, 0);
    if (is3D) s.dd->mD3DInterface->Flush();
  }
  state.SetItemsProcessed(state.iterations() * w * h);
}

void BM_D3DTexturedQuad(benchmark::State& state) { DrawFullScreen(state, true); }
void BM_SoftwareBlit(benchmark::State& state) { DrawFullScreen(state, false); }

void BM_SdlRenderGeometry(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  SDL_Surface* dest = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_FillRect(dest, nullptr, 0xFF203040);
  auto px = Picture(w, h);
  SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom(px.data(), w, h, 32, w * 4, SDL_PIXELFORMAT_ARGB8888);
  SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(dest);
  SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, src);
  SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
  const float fw = static_cast<float>(w), fh = static_cast<float>(h);
  SDL_Vertex verts[4] = {{{0, 0}, {255, 255, 255, 255}, {0, 0}},
                         {{fw, 0}, {255, 255, 255, 255}, {1, 0}},
                         {{0, fh}, {255, 255, 255, 255}, {0, 1}},
                         {{fw, fh}, {255, 255, 255, 255}, {1, 1}}};
  const int indices[6] = {0, 1, 2, 1, 3, 2};
  for (auto _ : state) {
    SDL_RenderGeometry(renderer, texture, verts, 4, indices, 6);
    SDL_RenderFlush(renderer);
  }
  state.SetItemsProcessed(state.iterations() * w * h);
  SDL_DestroyTexture(texture);
  SDL_DestroyRenderer(renderer);
  SDL_FreeSurface(src);
  SDL_FreeSurface(dest);
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({640, 480})->Args({1024, 768})->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_Memcpy)->Apply(Sizes);
BENCHMARK(BM_D3DTexturedQuad)->Apply(Sizes);
BENCHMARK(BM_SoftwareBlit)->Apply(Sizes);
BENCHMARK(BM_SdlRenderGeometry)->Apply(Sizes);

BENCHMARK_MAIN();
