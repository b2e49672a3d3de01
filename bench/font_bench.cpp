// Text drawing: one line of the game's 14-point bitmap font through ImageFont against what a
// user would pick instead, SDL_BlitSurface of the same glyphs from the same sheet, with the
// system font's two-rendering path beside them and memcpy of the line's pixels as the ceiling.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "framework/graphics/Graphics.h"
#include "framework/graphics/ImageFont.h"
#include "framework/graphics/MemoryImage.h"
#include "framework/graphics/SysFont.h"
#include "framework/resources/PakInterface.h"

using namespace Orvo;

namespace {

const std::string kText = "The quick brown fox jumps over the lazy dog 0123456789";
constexpr int kWidth = 640;
constexpr int kHeight = 40;

// The game's font, read from the run folder's archives as the game reads it.
ImageFont* GameFont() {
  static ImageFont* font = [] {
    std::filesystem::current_path(QUORVANE_RUN_DIR);
    FindPakInterface()->AddPakFile("main.pak");
    return new ImageFont(static_cast<OrvoAppBase*>(nullptr), "fonts/a_BosaNova14.txt");
  }();
  return font;
}

std::unique_ptr<MemoryImage> Canvas() {
  auto canvas = std::make_unique<MemoryImage>(static_cast<OrvoAppBase*>(nullptr));
  std::vector<std::uint32_t> bg(static_cast<std::size_t>(kWidth) * kHeight, 0xFF203040);
  canvas->SetBits(bg.data(), kWidth, kHeight);
  return canvas;
}

void BM_ImageFont_DrawString(benchmark::State& state) {
  ImageFont* font = GameFont();
  if (!font->mLoaded) return state.SkipWithError("the run folder has no fonts yet");
  auto canvas = Canvas();
  Graphics g(canvas.get());
  for (auto _ : state) font->DrawString(&g, 5, 25, kText, Color(255, 255, 0), Rect(0, 0, kWidth, kHeight));
  state.SetItemsProcessed(state.iterations() * static_cast<long>(kText.size()));
}
BENCHMARK(BM_ImageFont_DrawString);

// The same glyphs at the same places, blitted by SDL from the same sheet.
void BM_SDL_BlitSurface_Glyphs(benchmark::State& state) {
  ImageFont* font = GameFont();
  if (!font->mLoaded) return state.SkipWithError("the run folder has no fonts yet");
  const FontLayer& layer = font->mFontData->mFontLayerList.front();
  auto* sheet = static_cast<MemoryImage*>(layer.GetImage());
  std::vector<std::uint32_t> sheetPixels(sheet->GetBits(), sheet->GetBits() + sheet->GetWidth() * sheet->GetHeight());
  SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom(sheetPixels.data(), sheet->GetWidth(), sheet->GetHeight(), 32,
                                                        sheet->GetWidth() * 4, SDL_PIXELFORMAT_ARGB8888);
  SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_BLEND);
  SDL_SetSurfaceColorMod(src, 255, 255, 0);
  SDL_Surface* dest = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_FillRect(dest, nullptr, 0xFF203040);
  for (auto _ : state) {
    int pen = 5;
    for (std::size_t i = 0; i < kText.size(); ++i) {
      const CharData& d = layer.mCharData[font->mFontData->mCharMap[static_cast<unsigned char>(kText[i])]];
      SDL_Rect from{d.mImageRect.mX, d.mImageRect.mY, d.mImageRect.mWidth, d.mImageRect.mHeight};
      SDL_Rect to{pen + d.mOffset.mX, 25 - layer.mAscent + d.mOffset.mY, 0, 0};
      SDL_BlitSurface(src, &from, dest, &to);
      pen += d.mWidth;
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(kText.size()));
  SDL_FreeSurface(dest);
  SDL_FreeSurface(src);
}
BENCHMARK(BM_SDL_BlitSurface_Glyphs);

void BM_SysFont_DrawString(benchmark::State& state) {
  SysFont font("Arial", 14);
  auto canvas = Canvas();
  Graphics g(canvas.get());
  for (auto _ : state) font.DrawString(&g, 5, 25, kText, Color(255, 255, 0), Rect(0, 0, kWidth, kHeight));
  state.SetItemsProcessed(state.iterations() * static_cast<long>(kText.size()));
}
BENCHMARK(BM_SysFont_DrawString);

void BM_ImageFont_StringWidth(benchmark::State& state) {
  ImageFont* font = GameFont();
  if (!font->mLoaded) return state.SkipWithError("the run folder has no fonts yet");
  for (auto _ : state) benchmark::DoNotOptimize(font->StringWidth(kText));
  state.SetItemsProcessed(state.iterations() * static_cast<long>(kText.size()));
}
BENCHMARK(BM_ImageFont_StringWidth);

// The bandwidth ceiling: copying the pixels of the line the text covers.
void BM_Memcpy_LinePixels(benchmark::State& state) {
  ImageFont* font = GameFont();
  const int width = font->mLoaded ? font->StringWidth(kText) : kWidth;
  const int height = font->mLoaded ? font->GetHeight() : 20;
  std::vector<std::uint32_t> from(static_cast<std::size_t>(kWidth) * kHeight, 0xFF203040), to(from.size());
  for (auto _ : state) {
    for (int y = 0; y < height; ++y) std::memcpy(&to[static_cast<std::size_t>(y) * kWidth], &from[static_cast<std::size_t>(y) * kWidth], width * 4u);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(kText.size()));
}
BENCHMARK(BM_Memcpy_LinePixels);

}  // namespace

BENCHMARK_MAIN();
