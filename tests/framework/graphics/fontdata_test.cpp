// Font data: the font descriptor commands, their error messages (a table of broken
// descriptors), layer lookup, colour arguments and the image-strip font.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "framework/graphics/FontData.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/ImageFont.h"
#include "framework/graphics/MemoryImage.h"
#include "platform/Files.h"

namespace {

// Fonts made without an application: errors are only recorded, images loaded directly.
Orvo::OrvoAppBase* const kNoApp = nullptr;

using Orvo::Color;
using Orvo::FontData;
using Orvo::FontLayer;

FontLayer* Layer(FontData& data, const std::string& name) {
  auto it = data.mFontLayerMap.find(name);
  return it == data.mFontLayerMap.end() ? nullptr : it->second;
}

TEST(FontData, CommandsFillTheLayers) {
  FontData data;
  ASSERT_TRUE(data.ParseText(
      "define Size 12; SetDefaultPointSize Size;\n"
      "CreateLayer Main; createlayer Outline;\n"
      "LayerSetAscent main 9; LAYERSETHEIGHT MAIN 13;\n"
      "LayerSetDrawMode Main 1; LayerSetColorMult Main (1, 0.5, 0, 1); LayerSetColorAdd Main 0x00FF0000;\n"
      "LayerSetKerningPairs Main ('AV', \"To\") (200, -3); LayerSetOffset Main (2, -1);\n"
      "LayerSetCharWidths Main (A, 'V') (7, 8); LayerSetCharOrders Outline ('A') (-1);\n"
      "LayerRequireTags Outline (bold, 'Big'); LayerExcludeTags Outline small; LayerPointRange Outline 8 -1;\n"
      "LayerSetBaseOrder Outline -2; LayerSetSpacing Main 1; LayerSetPointSize Main 12;\n"
      "CreateHorzSpanRectList Spans (0, 0, 0, 20) (5, 7, 9);\n"
      "SetCharMap ('a', b) ('A', 'B');\n"
      "CreateLayerFrom Copy Main;"))
      << data.mError;
  EXPECT_EQ(data.mDefaultPointSize, 12);
  FontLayer* main = Layer(data, "MAIN");
  FontLayer* outline = Layer(data, "OUTLINE");
  ASSERT_NE(main, nullptr);
  ASSERT_NE(outline, nullptr);
  EXPECT_EQ(main->mAscent, 9);
  EXPECT_EQ(main->mHeight, 13);
  EXPECT_EQ(main->mDrawMode, 1);
  EXPECT_EQ(main->mColorMult, Color(255, 127, 0, 255));
  EXPECT_EQ(main->mColorAdd, Color(255, 0, 0, 255));
  EXPECT_EQ(main->mCharData['A'].mKerningOffsets['V'], -56);  // 200 kept as a signed byte
  EXPECT_EQ(main->mCharData['T'].mKerningOffsets['o'], -3);
  EXPECT_EQ(main->mOffset.mX, 2);
  EXPECT_EQ(main->mOffset.mY, -1);
  EXPECT_EQ(main->mCharData['A'].mWidth, 7);
  EXPECT_EQ(main->mCharData['V'].mWidth, 8);
  EXPECT_EQ(main->mSpacing, 1);
  EXPECT_EQ(main->mPointSize, 12);
  EXPECT_EQ(outline->mCharData['A'].mOrder, -1);
  EXPECT_EQ(outline->mRequiredTags, (std::vector<std::string>{"BOLD", "BIG"}));
  EXPECT_EQ(outline->mExcludedTags, (std::vector<std::string>{"SMALL"}));
  EXPECT_EQ(outline->mMinPointSize, 8);
  EXPECT_EQ(outline->mMaxPointSize, -1);
  EXPECT_EQ(outline->mBaseOrder, -2);
  EXPECT_EQ(data.mCharMap['a'], 'A');
  EXPECT_EQ(data.mCharMap['b'], 'B');
  EXPECT_EQ(data.mCharMap['c'], 'c');
  FontLayer* copy = Layer(data, "COPY");
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->mCharData['V'].mWidth, 8);
  EXPECT_EQ(copy->mFontData, &data);

  std::string spans;
  FontData::DataElementToString(data.FindDefine("spans"), &spans);
  EXPECT_EQ(spans, "((0, 0, 5, 20), (5, 0, 7, 20), (12, 0, 9, 20))");
}

struct BrokenCase {
  const char* descriptor;
  std::vector<std::string> messages;
};

TEST(FontData, BrokenDescriptorsReportTheirMessages) {
  const char* prefix = "CreateLayer Main;\n";
  const BrokenCase cases[] = {
      {"Frobnicate Main;", {"Unknown Command"}},
      {"SetDefaultPointSize;", {"Invalid Number of Parameters"}},
      {"LayerSetAscent Main 1 2;", {"Invalid Number of Parameters"}},
      {"Define 3D 4;", {"Invalid Paramater Type"}},
      {"Define Value (1 missing);", {"Unable to Dereference \"missing\""}},
      {"SetDefaultPointSize twelve;", {"Invalid Paramater Type"}},
      {"SetCharMap (a, b) (x);", {"List Size Mismatch"}},
      {"SetCharMap (ab, c) (x, y);", {"Invalid Paramater Type"}},
      {"CreateLayer main;", {"Layer Already Exists"}},
      {"LayerSetAscent Nowhere 3;", {"Undefined Layer", "Invalid Paramater Type"}},
      {"LayerSetDrawMode Main 2;", {"Invalid Paramater Type"}},
      {"LayerSetColorMult Main (1, 1);", {"Invalid Paramater Type"}},
      // A colour list is exactly four numbers, and a number has digits.
      {"LayerSetColorMult Main (1, 1, 1, 1, 1);", {"Invalid Paramater Type"}},
      {"LayerSetColorAdd Main (1, 0.5, -., 1);", {"Invalid Paramater Type"}},
      {"LayerSetColorAdd Main (1, 0.5, -., 1);", {"Invalid Paramater Type"}},
      {"LayerSetColorMult Main 0x;", {"Invalid Paramater Type"}},
      {"LayerSetColorMult Main -;", {"Invalid Paramater Type"}},
      {"LayerSetAscent Main -;", {"Invalid Paramater Type"}},
      {"LayerSetHeight Main 0x;", {"Invalid Paramater Type"}},
      {"LayerSetOffset Main (-, 2);", {"Invalid Paramater Type"}},
      {"LayerSetCharWidths Main (a, b) (4, 0x);", {"Invalid Paramater Type"}},
      {"LayerSetColorAdd Main red;", {"Invalid Paramater Type"}},
      {"LayerSetOffset Main (1);", {"Invalid Paramater Type"}},
      {"LayerSetCharWidths Main (a, b) (1);", {"List Size Mismatch"}},
      {"LayerSetKerningPairs Main (abc) (1);", {"Invalid Paramater Type"}},
      {"LayerSetImageMap Main (a) ((0, 0, 1, 1));", {"Layer image not set"}},
      {"CreateHorzSpanRectList R (0, 0, 20) (5);", {"Invalid Paramater Type"}},
      {"LayerSetImage Main 'no_such_image.png';", {"Failed to Load Image"}},
      {"LayerSetAscent Main (1 2);", {"Invalid Paramater Type"}},
      {"(LayerSetAscent) Main 1;", {"Missing Command"}},
      {"LayerSetAscent Main 'unterminated;", {"Unterminated Single Quotes"}},
  };
  const std::string file = testing::TempDir() + "broken_descriptor_" + std::to_string(plat::CurrentProcessId()) + ".txt";
  for (const BrokenCase& c : cases) {
    const std::string text = std::string(prefix) + "LayerSetCharWidths Main (A) (5);\n" + c.descriptor + "\nCreateLayer After;";
    FontData data;
    EXPECT_FALSE(data.ParseText(text)) << c.descriptor;
    EXPECT_EQ(data.mErrors, c.messages) << c.descriptor;
    EXPECT_EQ(Layer(data, "AFTER"), nullptr) << c.descriptor;  // nothing after the failure ran
    // As a font file: not loaded, and it measures nothing.
    std::ofstream(file, std::ios::trunc) << text;
    Orvo::ImageFont font(kNoApp, file);
    EXPECT_FALSE(font.mLoaded) << c.descriptor;
    EXPECT_EQ(font.StringWidth("AAA"), 0) << c.descriptor;
  }
  std::remove(file.c_str());
}

TEST(FontData, ColourArgumentsAndPartialEffects) {
  FontData data;
  Color color;
  Orvo::ListDataElement list;
  std::size_t pos = 0;
  ASSERT_TRUE(data.Tokenize("(0.5, 1, 1, 1) 0xFF0000 nonsense (2, -1, 0.25, 1)", &list, false, pos));
  ASSERT_TRUE(data.GetColorFromArg(list.mElementVector[0], &color));
  EXPECT_EQ(color, Color(127, 255, 255, 255));
  ASSERT_TRUE(data.GetColorFromArg(list.mElementVector[1], &color));
  EXPECT_EQ(color, Color(255, 0, 0, 255));
  EXPECT_FALSE(data.GetColorFromArg(list.mElementVector[2], &color));
  ASSERT_TRUE(data.GetColorFromArg(list.mElementVector[3], &color));
  EXPECT_EQ(color, Color(255, 0, 63, 255));  // fractions held to the channel range

  // A failing list command keeps the entries it processed before the bad one.
  EXPECT_FALSE(data.ParseText("SetCharMap (ab, c) (x, y);"));
  EXPECT_EQ(data.mCharMap['c'], 'y');
}

TEST(FontData, ImageMapChecksRectanglesAgainstTheImage) {
  FontData data;
  ASSERT_TRUE(data.ParseText("CreateLayer Main; LayerSetCharOffsets Main ('b') ((0, 3));"));
  auto image = std::make_unique<Orvo::MemoryImage>();
  image->Create(20, 10);
  Layer(data, "MAIN")->mImage = image.get();
  EXPECT_TRUE(data.ParseText("LayerSetImageMap Main ('a', 'b') ((0, 0, 5, 10), (5, 0, 15, 6));")) << data.mError;
  const FontLayer* main = Layer(data, "MAIN");
  EXPECT_EQ(main->mCharData['b'].mImageRect, Orvo::Rect(5, 0, 15, 6));
  EXPECT_EQ(main->mDefaultHeight, 10);  // the tallest of height + offset y: max(10, 6 + 3)
  EXPECT_FALSE(data.ParseText("LayerSetImageMap Main ('c') ((5, 0, 16, 6));"));
  EXPECT_EQ(data.mError, "Image rectangle out of bounds");
  EXPECT_FALSE(data.ParseText("LayerSetImageMap Main ('c') ((-1, 0, 1, 1));"));
  EXPECT_EQ(data.mError, "Image rectangle out of bounds");
}

class FontFiles : public ::testing::Test {
 protected:
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              ("fontdata_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
    return (dir / name).string();
  }
};

TEST_F(FontFiles, ImageStripLayout) {
  Orvo::MemoryImage strip;
  strip.Create(20, 12);
  FontData data;
  data.AddRef();
  ASSERT_TRUE(data.LoadImageStrip(&strip, Write("layout.txt", "5 12\na 7\nb 8\nc 99\nd 1\n")));
  const FontLayer* layer = Layer(data, "");
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(layer->mCharData['a'].mImageRect, Orvo::Rect(0, 0, 7, 12));
  EXPECT_EQ(layer->mCharData['b'].mImageRect, Orvo::Rect(7, 0, 8, 12));
  EXPECT_EQ(layer->mCharData['b'].mWidth, 8);
  EXPECT_EQ(layer->mCharData['c'].mWidth, 0);  // runs past the image: the list ends there
  EXPECT_EQ(layer->mCharData['d'].mWidth, 0);
  EXPECT_EQ(layer->mCharData[' '].mWidth, 5);
  EXPECT_EQ(layer->mAscent, 12);
  EXPECT_EQ(data.mCharMap['A'], 'a');
  EXPECT_EQ(data.mCharMap['B'], 'b');
  EXPECT_EQ(data.mCharMap['C'], 'C');
  EXPECT_FALSE(data.LoadImageStrip(&strip, Write("again.txt", "1 1\n")));  // loads once
}

TEST_F(FontFiles, DefinesReadBackAsText) {
  Orvo::ImageFont font(kNoApp, Write("defines.txt", "Define Size 12;\nDefine Pair (1, 'a b');\nDefine Copy Pair;\n"));
  ASSERT_TRUE(font.mLoaded);
  EXPECT_EQ(font.GetDefine("size"), "12");
  EXPECT_EQ(font.GetDefine("PAIR"), "(1, a b)");
  EXPECT_EQ(font.GetDefine("copy"), "(1, a b)");
  EXPECT_EQ(font.GetDefine("missing"), "");
}

TEST_F(FontFiles, FailedDescriptorLeavesAFontThatMeasuresZero) {
  Orvo::ImageFont missing(kNoApp, (dir / "missing.txt").string());
  EXPECT_FALSE(missing.mLoaded);
  EXPECT_EQ(missing.StringWidth("Hello"), 0);

  Orvo::ImageFont broken(kNoApp, Write("broken.txt", "CreateLayer Main;\nLayerSetCharWidths Main (a) (5);\nBogus;\n"));
  EXPECT_FALSE(broken.mLoaded);
  EXPECT_FALSE(broken.mFontData->mInitialized);
  EXPECT_EQ(broken.StringWidth("aaa"), 0);
  EXPECT_EQ(broken.GetHeight(), 0);
  Orvo::MemoryImage canvas;
  canvas.Create(10, 10);
  Orvo::Graphics g(&canvas);
  int width = 7;
  broken.DrawStringEx(&g, 0, 5, "aaa", Color::White, nullptr, nullptr, &width);
  EXPECT_EQ(width, 0);
}

}  // namespace
