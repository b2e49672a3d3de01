// The game's four bitmap fonts, as the asset tool writes them into the run folder: each
// loads, measures with kerning, draws, takes tags and point sizes, and survives copies.
#include <gtest/gtest.h>

#include <filesystem>
#include <list>
#include <memory>
#include <string>

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/ImageFont.h"
#include "framework/graphics/MemoryImage.h"
#include "framework/resources/PakInterface.h"

namespace {

// Fonts made without an application: errors are only recorded, images loaded directly.
Orvo::OrvoAppBase* const kNoApp = nullptr;

using Orvo::Color;
using Orvo::ImageFont;

// The fonts are read as the game reads them: from the archives in the run folder.
class GeneratedFont : public ::testing::TestWithParam<const char*> {
 protected:
  static void SetUpTestSuite() {
    if (!std::filesystem::exists(QUORVANE_RUN_DIR)) return;
    std::filesystem::current_path(QUORVANE_RUN_DIR);
    Orvo::FindPakInterface()->AddPakFile("main.pak");
    Orvo::FindPakInterface()->AddPakFile("data.pak");
  }
  std::string Path() const { return std::string("fonts/") + GetParam() + ".txt"; }
  void SetUp() override {
    Orvo::PakHandle* file = Orvo::PakOpen(Path().c_str(), "r");
    if (file == nullptr) GTEST_SKIP() << "the asset tool has not written " << Path() << " into the run folder yet";
    Orvo::PakClose(file);
  }
};

// Pixels of the canvas that the text changed.
int CountInk(Orvo::MemoryImage& canvas) {
  int ink = 0;
  const std::uint32_t* bits = canvas.GetBits();
  for (int i = 0; i < canvas.GetWidth() * canvas.GetHeight(); ++i) ink += bits[i] != 0;
  return ink;
}

TEST_P(GeneratedFont, LoadsMeasuresAndDraws) {
  ImageFont font(kNoApp, Path());
  ASSERT_TRUE(font.mLoaded) << font.mFontData->mError;
  EXPECT_GT(font.GetPointSize(), 0);
  EXPECT_GT(font.GetAscent(), 0);
  EXPECT_GE(font.GetHeight(), font.GetAscent());
  for (char c = 32; c < 127; ++c) EXPECT_GT(font.CharWidth(c), 0) << c;
  EXPECT_EQ(font.CharWidth('\n'), 0);

  const std::string text = "AVAWAY To Ty 0123456789 Quorvane!";
  int sum = 0;
  bool kerned = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char previous = i > 0 ? text[i - 1] : 0;
    sum += font.CharWidthKern(text[i], previous);
    kerned = kerned || (previous != 0 && font.CharWidthKern(text[i], previous) != font.CharWidth(text[i]));
  }
  EXPECT_EQ(font.StringWidth(text), sum);
  EXPECT_TRUE(kerned) << "no kerning pair among the usual pairs";

  Orvo::MemoryImage canvas;
  canvas.Create(font.StringWidth(text) + 10, font.GetHeight() * 2);
  canvas.Clear();
  Orvo::Graphics g(&canvas);
  int width = 0;
  font.DrawStringEx(&g, 5, font.GetAscent() + 2, text, Color(255, 255, 0), nullptr, nullptr, &width);
  EXPECT_EQ(width, font.StringWidth(text));
  EXPECT_GT(CountInk(canvas), text.size() * 2);
}

TEST_P(GeneratedFont, PointSizesTagsAndCopies) {
  auto font = std::make_unique<ImageFont>(kNoApp, Path());
  ASSERT_TRUE(font->mLoaded);
  const std::string text = "Level 12";
  const int normal = font->StringWidth(text);
  font->SetPointSize(font->GetDefaultPointSize() * 2);
  const int twice = font->StringWidth(text);
  EXPECT_GT(twice, normal * 3 / 2);
  EXPECT_TRUE(font->AddTag("shadow"));
  EXPECT_FALSE(font->AddTag("SHADOW"));

  std::unique_ptr<Orvo::Font> copy(font->Duplicate());
  const int copyWidth = copy->StringWidth(text);
  font.reset();
  EXPECT_EQ(copy->StringWidth(text), copyWidth);
  Orvo::MemoryImage canvas;
  canvas.Create(copyWidth + 4, copy->GetHeight() + 4);
  canvas.Clear();
  Orvo::Graphics g(&canvas);
  copy->DrawString(&g, 2, copy->GetAscent() + 2, text, Color::White, Orvo::Rect());
  EXPECT_GT(CountInk(canvas), 10);
}

TEST_P(GeneratedFont, LoadsThroughTheApplicationsImageCache) {
  Orvo::OrvoAppBase app;
  ImageFont own(kNoApp, Path());
  {
    ImageFont first(&app, Path());
    ImageFont second(&app, Path());
    ASSERT_TRUE(first.mLoaded);
    EXPECT_EQ(app.mSharedImageMap.size(), 1u);  // both fonts share the one glyph sheet
    EXPECT_EQ(first.mFontData->mFontLayerList.front().GetImage(), second.mFontData->mFontLayerList.front().GetImage());
    EXPECT_EQ(first.StringWidth("Shared glyphs"), own.StringWidth("Shared glyphs"));
  }
  app.CleanSharedImages();
  EXPECT_TRUE(app.mSharedImageMap.empty());  // freed once no font holds it
}

INSTANTIATE_TEST_SUITE_P(RunFolder, GeneratedFont,
                         ::testing::Values("a_BosaNova10", "a_BosaNova14", "a_BosaNova16", "a_BosaNova20"));

}  // namespace
