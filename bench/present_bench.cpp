// Cost of presenting a 1024 x 768 frame through the display in each redraw mode (window
// blit, full-screen flip, full-screen blit) and of a full-screen software blit into the draw
// buffer, side by side with SDL2 doing the same upload and copy, and memcpy as the ceiling.
// SDL's dummy video driver is used unless SDL_VIDEODRIVER says otherwise.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "platform/DirectDraw.h"
#include "platform/Window.h"

using namespace Orvo;

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

plat::HWND BenchWindow() {
  static plat::HWND window = [] {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    plat::InitVideo();
    plat::WNDCLASSA wc;
    wc.lpfnWndProc = plat::DefWindowProcA;
    wc.lpszClassName = "BenchWindow";
    plat::RegisterClassA(&wc);
    return plat::CreateWindowExA(0, "BenchWindow", "bench", plat::WS_POPUP | plat::WS_VISIBLE, 0, 0, kWidth, kHeight,
                                 nullptr, nullptr, nullptr, nullptr);
  }();
  return window;
}

std::vector<std::uint32_t> Frame(std::uint32_t alpha) {
  std::vector<std::uint32_t> px(static_cast<std::size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      px[static_cast<std::size_t>(y) * kWidth + x] = alpha << 24 | static_cast<std::uint32_t>((x * 255 / kWidth) << 16 | (y * 255 / kHeight) << 8 | 0x40);
  return px;
}

std::unique_ptr<DDInterface> OpenDisplay(bool windowed, bool flip, int depth = 32) {
  auto dd = std::make_unique<DDInterface>(nullptr);
  dd->mRequest.width = kWidth;
  dd->mRequest.height = kHeight;
  dd->mRequest.colorDepth = depth;
  dd->mRequest.pageFlipAllowed = flip;
  if (dd->Init(BenchWindow(), windowed) != 0) return nullptr;
  std::vector<std::uint32_t> px = Frame(255);
  MemoryImage frame(nullptr);
  frame.SetBits(px.data(), kWidth, kHeight);
  dd->GetScreenImage()->Blt(&frame, 0, 0, Rect(0, 0, kWidth, kHeight), Color::White, 0);
  return dd;
}

void Present(benchmark::State& state, bool windowed, bool flip, int depth = 32) {
  auto dd = OpenDisplay(windowed, flip, depth);
  if (!dd) {
    state.SkipWithError("display did not open");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(dd->Redraw());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight * 4);
}

void BM_Display_Present_Windowed(benchmark::State& state) { Present(state, true, true); }
void BM_Display_Present_FullScreenFlip(benchmark::State& state) { Present(state, false, true); }
void BM_Display_Present_FullScreenBlt(benchmark::State& state) { Present(state, false, false); }
void BM_Display_Present_FullScreenFlip16(benchmark::State& state) { Present(state, false, true, 16); }

// SDL2 alone: the same frame uploaded to a streaming texture, copied and presented.
void BM_SDL_UploadCopyPresent(benchmark::State& state) {
  SDL_Window* window = plat::GetSDLWindow(BenchWindow());
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
  if (renderer == nullptr) renderer = SDL_GetRenderer(window);
  SDL_Texture* texture =
      SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, kWidth, kHeight);
  std::vector<std::uint32_t> px = Frame(255);
  for (auto _ : state) {
    SDL_UpdateTexture(texture, nullptr, px.data(), kWidth * 4);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight * 4);
  SDL_DestroyTexture(texture);
}

// A full-screen image drawn into the draw buffer by the software surface blitter.
void SoftwareBlit(benchmark::State& state, std::uint32_t alpha, int depth = 32, int drawMode = 0) {
  auto dd = OpenDisplay(depth == 32, true, depth);
  if (!dd) {
    state.SkipWithError("display did not open");
    return;
  }
  std::vector<std::uint32_t> px = Frame(alpha);
  MemoryImage source(nullptr);
  source.SetBits(px.data(), kWidth, kHeight);
  DDImage* screen = dd->GetScreenImage();
  for (auto _ : state) screen->Blt(&source, 0, 0, Rect(0, 0, kWidth, kHeight), Color::White, drawMode);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight * 4);
}

void BM_Display_SoftwareBlit_Opaque(benchmark::State& state) { SoftwareBlit(state, 255); }
void BM_Display_SoftwareBlit_HalfAlpha(benchmark::State& state) { SoftwareBlit(state, 128); }
// The same into a 16-bit (5-6-5) full-screen draw buffer.
void BM_Display_SoftwareBlit_Opaque565(benchmark::State& state) { SoftwareBlit(state, 255, 16); }
void BM_Display_SoftwareBlit_HalfAlpha565(benchmark::State& state) { SoftwareBlit(state, 128, 16); }
// Half-transparent pixels added onto the draw buffer (draw mode 1).
void BM_Display_SoftwareBlit_Additive(benchmark::State& state) { SoftwareBlit(state, 128, 32, 1); }
void BM_Display_SoftwareBlit_Additive565(benchmark::State& state) { SoftwareBlit(state, 128, 16, 1); }

// SDL2 alone: the same image blitted onto an X8R8G8B8 surface, copied and blended.
void SdlBlit(benchmark::State& state, std::uint32_t alpha, SDL_BlendMode mode) {
  std::vector<std::uint32_t> px = Frame(alpha);
  SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom(px.data(), kWidth, kHeight, 32, kWidth * 4,
                                                        SDL_PIXELFORMAT_ARGB8888);
  SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_RGB888);
  SDL_SetSurfaceBlendMode(src, mode);
  for (auto _ : state) SDL_BlitSurface(src, nullptr, dst, nullptr);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight * 4);
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}

void BM_SDL_Blit_Opaque(benchmark::State& state) { SdlBlit(state, 255, SDL_BLENDMODE_NONE); }
void BM_SDL_Blit_HalfAlpha(benchmark::State& state) { SdlBlit(state, 128, SDL_BLENDMODE_BLEND); }
void BM_SDL_Blit_Additive(benchmark::State& state) { SdlBlit(state, 128, SDL_BLENDMODE_ADD); }

void BM_Memcpy_Frame(benchmark::State& state) {
  std::vector<std::uint32_t> from = Frame(255);
  std::vector<std::uint32_t> to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size() * 4);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight * 4);
}

}  // namespace

BENCHMARK(BM_Display_Present_Windowed)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Display_Present_FullScreenFlip)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Display_Present_FullScreenBlt)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Display_Present_FullScreenFlip16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SDL_UploadCopyPresent)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Display_SoftwareBlit_Opaque)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SDL_Blit_Opaque)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Display_SoftwareBlit_HalfAlpha)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SDL_Blit_HalfAlpha)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Display_SoftwareBlit_Opaque565)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Display_SoftwareBlit_HalfAlpha565)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Display_SoftwareBlit_Additive)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SDL_Blit_Additive)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Display_SoftwareBlit_Additive565)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy_Frame)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
