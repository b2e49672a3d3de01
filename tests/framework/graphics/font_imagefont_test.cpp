// Bitmap fonts over a small glyph sheet made in the test: layer selection by point size and
// tags, scaling, kerning and spacing, colour, order buckets, copies and the command pool.
#include <gtest/gtest.h>

#include <cstdlib>
#include <list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/graphics/Graphics.h"
#include "framework/graphics/ImageFont.h"
#include "framework/graphics/MemoryImage.h"
#include "platform/Files.h"

namespace {

// Fonts made without an application: errors are only recorded, images loaded directly.
Orvo::OrvoAppBase* const kNoApp = nullptr;

using Orvo::Color;
using Orvo::ImageFont;
using Orvo::MemoryImage;
using Orvo::Rect;

// Glyph sheet: 'A' is a 4x6 block of white at x 0, 'B' a 4x6 block of green at x 4.
std::unique_ptr<MemoryImage> MakeSheet() {
  auto sheet = std::make_unique<MemoryImage>();
  sheet->Create(8, 6);
  std::uint32_t* bits = sheet->GetBits();
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) bits[y * 8 + x] = x < 4 ? 0xFFFFFFFFu : 0xFF00FF00u;
  sheet->BitsChanged();
  return sheet;
}

// A font from descriptor text; every layer draws from `sheet`.
class TestFont {
 public:
  explicit TestFont(const std::string& descriptor) : sheet(MakeSheet()) {
    path = testing::TempDir() + "imagefont_" + std::to_string(plat::CurrentProcessId()) + "_" + std::to_string(++counter) + ".txt";
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fputs(descriptor.c_str(), f);
    std::fclose(f);
    // Images are given in code so that the test needs no image files.
    font = std::make_unique<ImageFont>(kNoApp, path);
    for (Orvo::FontLayer& layer : font->mFontData->mFontLayerList) {
      layer.mImage = sheet.get();
      layer.mCharData['A'].mImageRect = Rect(0, 0, 4, 6);
      layer.mCharData['B'].mImageRect = Rect(4, 0, 4, 6);
    }
    font->mActiveListValid = false;
  }
  ~TestFont() {
    font.reset();
    std::remove(path.c_str());
  }
  std::unique_ptr<MemoryImage> sheet;
  std::unique_ptr<ImageFont> font;
  std::string path;
  static inline int counter = 0;
};

const char* kOneLayer =
    "SetDefaultPointSize 12; CreateLayer Main; LayerSetPointSize Main 12;\n"
    "LayerSetAscent Main 6; LayerSetHeight Main 8; LayerSetLineSpacingOffset Main 2;\n"
    "LayerSetCharWidths Main (A, B) (5, 6); LayerSetCharOffsets Main (B) ((1, 0));\n"
    "LayerSetKerningPairs Main (AB, BA) (-2, 3); LayerSetSpacing Main 1;\n";

TEST(ImageFont, MeasuresWithKerningAndSpacingBetweenCharacters) {
  TestFont t(kOneLayer);
  ImageFont& f = *t.font;
  ASSERT_TRUE(f.mLoaded);
  EXPECT_EQ(f.CharWidth('A'), 5);                  // first character: no kerning, no spacing
  EXPECT_EQ(f.CharWidthKern('B', 'A'), 6 - 2 + 1);  // kerning of A before B, plus spacing
  EXPECT_EQ(f.StringWidth("AB"), 5 + 5);
  EXPECT_EQ(f.StringWidth("ABA"), 5 + 5 + (5 + 3 + 1));
  EXPECT_EQ(f.StringWidth(""), 0);
  EXPECT_EQ(f.GetAscent(), 6);
  EXPECT_EQ(f.GetHeight(), 8);
  EXPECT_EQ(f.GetLineSpacing(), 10);

  MemoryImage canvas;
  canvas.Create(40, 20);
  Orvo::Graphics g(&canvas);
  for (const std::string text : {"A", "AB", "ABA", "BAB"}) {
    int width = -1;
    std::list<Rect> drawn;
    f.DrawStringEx(&g, 3, 10, text, Color::White, nullptr, &drawn, &width);
    EXPECT_EQ(width, f.StringWidth(text)) << text;
    EXPECT_EQ(drawn.size(), text.size());
  }
  std::list<Rect> drawn;
  f.DrawStringEx(&g, 3, 10, "AB", Color::White, nullptr, &drawn, nullptr);
  // 'B' sits after A's advance with the kerning and spacing, moved by its own offset.
  EXPECT_EQ(drawn.back(), Rect(3 + 5 - 2 + 1 + 1, 10 - 6, 4, 6));
}

TEST(ImageFont, PointSizeSelectsTheLayerImageOrAScaledCopy) {
  TestFont t(kOneLayer);
  ImageFont& f = *t.font;
  f.Prepare();
  ASSERT_EQ(f.mActiveLayerList.size(), 1u);
  EXPECT_EQ(f.mActiveLayerList.front().mScaledImage, t.sheet.get());  // drawn from the layer image itself
  EXPECT_FALSE(f.mActiveLayerList.front().mOwnsImage);

  f.SetPointSize(24);
  EXPECT_EQ(f.StringWidth("AB"), 2 * 5 + 2 * (6 - 2 + 1));
  const Orvo::ActiveFontLayer& scaled = f.mActiveLayerList.front();
  ASSERT_TRUE(scaled.mOwnsImage);
  EXPECT_EQ(scaled.mScaledImage->GetHeight(), 12);
  EXPECT_EQ(scaled.mScaledCharImageRects['B'].mWidth, 8);
  EXPECT_EQ(f.GetAscent(), 12);
  EXPECT_EQ(f.GetHeight(), 16);

  std::list<Rect> drawn;
  MemoryImage canvas;
  canvas.Create(60, 40);
  Orvo::Graphics g(&canvas);
  f.DrawStringEx(&g, 0, 20, "AB", Color::White, nullptr, &drawn, nullptr);
  EXPECT_EQ(drawn.back(), Rect(10 - 4 + 2 + 2, 20 - 12, 8, 12));

  f.SetPointSize(12);
  f.SetScale(0.5);
  EXPECT_EQ(f.CharWidth('B'), 3);

  // Scaled sheets can be made white, keeping their alpha; the layer image itself is untouched.
  f.mForceScaledImagesWhite = true;
  f.SetPointSize(24);
  f.SetScale(1.0);
  f.Prepare();
  auto* white = static_cast<MemoryImage*>(f.mActiveLayerList.front().mScaledImage);
  const Rect b = f.mActiveLayerList.front().mScaledCharImageRects['B'];
  EXPECT_EQ(white->GetBits()[b.mY * white->GetWidth() + b.mX + 1], 0xFFFFFFFFu);
  EXPECT_EQ(t.sheet->GetBits()[4], 0xFF00FF00u);
}

TEST(ImageFont, TagsAndPointRangesChooseLayers) {
  TestFont t(
      "SetDefaultPointSize 10; CreateLayer Plain; LayerSetCharWidths Plain (A) (4);\n"
      "LayerExcludeTags Plain (bold);\n"
      "CreateLayer Bold; LayerRequireTags Bold (bold); LayerSetCharWidths Bold (A) (9);\n"
      "CreateLayer Large; LayerPointRange Large 20 30; LayerSetCharWidths Large (A) (15);\n");
  ImageFont& f = *t.font;
  EXPECT_EQ(f.CharWidth('A'), 4);
  EXPECT_TRUE(f.AddTag("bold"));
  EXPECT_FALSE(f.mActiveListValid);
  EXPECT_EQ(f.CharWidth('A'), 9);
  EXPECT_FALSE(f.AddTag("Bold"));  // already present in any letter case
  EXPECT_TRUE(f.mActiveListValid);
  EXPECT_EQ(f.mTagVector.size(), 1u);
  EXPECT_FALSE(f.HasTag("bold"));  // tags are compared as stored
  EXPECT_TRUE(f.HasTag("BOLD"));
  EXPECT_TRUE(f.RemoveTag("bold"));
  EXPECT_FALSE(f.RemoveTag("bold"));
  EXPECT_EQ(f.CharWidth('A'), 4);
  f.SetPointSize(25);
  EXPECT_EQ(f.CharWidth('A'), 15);  // the largest of the active layers
  f.SetPointSize(31);
  EXPECT_EQ(f.CharWidth('A'), 4);
}

TEST(ImageFont, ColourAndOrderBuckets) {
  TestFont t(
      "CreateLayer Fill; LayerSetAscent Fill 6; LayerSetCharWidths Fill (A, B) (4, 4);\n"
      "LayerSetColorMult Fill (1, 0, 1, 1); LayerSetColorAdd Fill (0, 0, 0.5, 0);\n"
      "CreateLayer Shadow; LayerSetAscent Shadow 6; LayerSetBaseOrder Shadow -200; LayerSetOffset Shadow (1, 0);\n"
      "LayerSetCharOrders Fill (B) (300);\n");
  ImageFont& f = *t.font;
  MemoryImage canvas;
  canvas.Create(20, 10);
  canvas.Clear();
  Orvo::Graphics g(&canvas);
  g.SetColor(Color(1, 2, 3));
  f.DrawStringEx(&g, 0, 6, "A", Color(200, 100, 100, 255), nullptr, nullptr, nullptr);
  // The fill is drawn last (the shadow's bucket is clamped to the first), tinted by
  // multiplier and addend: red 200, green 0, blue min(255, 100 + 127).
  const auto near = [](std::uint32_t pixel, int r, int gr, int b) {
    const int pr = (pixel >> 16) & 0xFF, pg = (pixel >> 8) & 0xFF, pb = pixel & 0xFF;
    return std::abs(pr - r) <= 2 && std::abs(pg - gr) <= 2 && std::abs(pb - b) <= 2;
  };
  EXPECT_TRUE(near(canvas.GetBits()[2 * 20 + 0], 200, 0, 227)) << std::hex << canvas.GetBits()[2 * 20];
  EXPECT_TRUE(near(canvas.GetBits()[2 * 20 + 2], 200, 0, 227));
  // Only the shadow, one pixel to the right, reaches x 4.
  EXPECT_TRUE(near(canvas.GetBits()[2 * 20 + 4], 200, 100, 100)) << std::hex << canvas.GetBits()[2 * 20 + 4];
  EXPECT_EQ(g.GetColor(), Color(1, 2, 3));  // the context's colour is restored
  EXPECT_FALSE(g.GetColorizeImages());
}

TEST(ImageFont, CopiesOfScaledFontsOwnTheirImages) {
  TestFont t(kOneLayer);
  t.font->SetPointSize(36);
  const int width = t.font->StringWidth("ABAB");
  std::unique_ptr<Orvo::Font> copy(t.font->Duplicate());
  auto* imageCopy = static_cast<ImageFont*>(copy.get());
  ASSERT_TRUE(imageCopy->mActiveListValid);
  ASSERT_EQ(imageCopy->mActiveLayerList.size(), 1u);
  EXPECT_NE(imageCopy->mActiveLayerList.front().mScaledImage, t.font->mActiveLayerList.front().mScaledImage);
  t.font.reset();  // the source and its scaled image go away
  EXPECT_EQ(copy->StringWidth("ABAB"), width);
  MemoryImage canvas;
  canvas.Create(100, 40);
  Orvo::Graphics g(&canvas);
  copy->DrawString(&g, 0, 30, "ABAB", Color::White, Rect(0, 0, 100, 40));
  EXPECT_EQ(imageCopy->mFontData->mRefCount, 1);
}

TEST(ImageFont, HostileSizesMeasureButAllocateNoHugeSheet) {
  TestFont t(kOneLayer);
  MemoryImage canvas;
  canvas.Create(10, 10);
  Orvo::Graphics g(&canvas);
  for (double scale : {1e6, 1e30}) {
    t.font->SetScale(scale);
    t.font->Prepare();
    ASSERT_EQ(t.font->mActiveLayerList.size(), 1u);
    EXPECT_EQ(t.font->mActiveLayerList.front().mScaledImage, nullptr) << scale;
    t.font->DrawString(&g, 0, 5, "AB", Color::White, Rect(0, 0, 10, 10));
  }
  t.font->SetScale(1e6);
  EXPECT_GT(t.font->CharWidth('A'), 1000000);
  t.font->SetScale(-3.0);  // glyphs of no size: nothing to draw
  t.font->DrawString(&g, 0, 5, "AB", Color::White, Rect(0, 0, 10, 10));
  EXPECT_LE(t.font->CharWidth('A'), 0);
}

TEST(ImageFont, LongStringsStopAtTheCommandPool) {
  TestFont t("CreateLayer Main; LayerSetCharWidths Main (A) (1); CreateLayer Second;\n");
  MemoryImage canvas;
  canvas.Create(10, 10);
  Orvo::Graphics g(&canvas);
  int width = 0;
  const std::string text(3000, 'A');  // two layers: 6000 commands wanted, 4096 available
  t.font->DrawStringEx(&g, 0, 5, text, Color::White, nullptr, nullptr, &width);
  EXPECT_EQ(width, ImageFont::MAX_DRAW_COMMANDS / 2);
  EXPECT_EQ(t.font->StringWidth(text), 3000);
  EXPECT_EQ(t.font->StringWidth("\xC1\xFF"), 0);  // bytes above 127 are looked up unsigned
}

TEST(ImageFont, ThreadsDrawWithCopiesOfOneFont) {
  TestFont t(kOneLayer);
  t.font->Prepare();
  std::vector<std::thread> threads;
  std::vector<int> widths(4, 0);
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&, i] {
      std::unique_ptr<Orvo::Font> copy(t.font->Duplicate());
      MemoryImage canvas;
      canvas.Create(60, 20);
      Orvo::Graphics g(&canvas);
      for (int n = 0; n < 100; ++n)
        static_cast<ImageFont*>(copy.get())->DrawStringEx(&g, 0, 10, "ABBA", Color::White, nullptr, nullptr, &widths[i]);
    });
  for (std::thread& thread : threads) thread.join();
  for (int width : widths) EXPECT_EQ(width, t.font->StringWidth("ABBA"));
}

}  // namespace
