// Pixel tables for the 1:1 blitters: fills, outlines, lines, coverage spans and blits in the
// normal, tinted, additive and mirrored forms, with clipping at every edge.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/framework/graphics/GraphicsTestUtil.h"

using namespace Orvo;
using gtest_util::FromPixels;
using gtest_util::Hex;
using gtest_util::Px;
using gtest_util::Solid;

using ImagePtr = std::unique_ptr<MemoryImage>;

TEST(Fill, OpaqueTranslucentAndInvisibleColours) {
  struct Case {
    std::uint32_t dest;
    Color color;
    std::uint32_t want;
  } cases[] = {
      {0x00000000, Color(10, 20, 30, 255), 0xFF0A141E},
      {0x00000000, Color(10, 20, 30, 128), 0x8009131D},  // over transparent black: c * 255 >> 8
      {0xFF000000, Color(255, 255, 255, 128), 0xFF7F7F7F},
      {0x12345678, Color(255, 0, 0, 0), 0x12345678},  // alpha 0 changes nothing
      {0x00000000, Color(300, -5, 20, 400), 0xFFFF0014},  // components outside 0..255 are held to it
  };
  for (const Case& c : cases) {
    ImagePtr img(Solid(2, 2, c.dest));
    img->FillRect(Rect(0, 0, 2, 2), c.color, 0);
    EXPECT_EQ(Hex(Px(img.get(), 1, 1)), Hex(c.want));
  }
}

TEST(Fill, RectanglesReachingOutsideAreCut) {
  ImagePtr img(Solid(4, 4, 0));
  img->FillRect(Rect(-2, -2, 4, 4), Color(255, 0, 0), 0);
  img->FillRect(Rect(3, 3, 10, 10), Color(0, 255, 0), 0);
  img->ClearRect(Rect(-5, 0, 6, 1));
  EXPECT_EQ(Px(img.get(), 0, 0), 0u);
  EXPECT_EQ(Px(img.get(), 1, 1), 0xFFFF0000u);
  EXPECT_EQ(Px(img.get(), 2, 2), 0u);
  EXPECT_EQ(Px(img.get(), 3, 3), 0xFF00FF00u);
}

TEST(Fill, DrawRectOutlinesWidthPlusOneByHeightPlusOne) {
  ImagePtr img(Solid(6, 4, 0));
  img->DrawRect(Rect(0, 0, 4, 2), Color::White, 0);
  int set = 0;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) set += Px(img.get(), x, y) != 0;
  EXPECT_EQ(set, 12);  // the border of 5 x 3 pixels
  EXPECT_EQ(Px(img.get(), 4, 2), 0xFFFFFFFFu);
  EXPECT_EQ(Px(img.get(), 2, 1), 0u);
}

TEST(Fill, ScanLinesFillEachSpan) {
  ImagePtr img(Solid(5, 3, 0));
  Span spans[3] = {{0, 1, 3}, {2, 0, 5}, {1, 4, 1}};  // y, x, width
  img->FillScanLines(spans, 3, Color(1, 2, 3), 0);
  int set = 0;
  for (int i = 0; i < 15; ++i) set += img->GetBits()[i] != 0;
  EXPECT_EQ(set, 9);
  EXPECT_EQ(Px(img.get(), 3, 0), 0xFF010203u);
  EXPECT_EQ(Px(img.get(), 4, 0), 0u);
  EXPECT_EQ(Px(img.get(), 4, 1), 0xFF010203u);
}

TEST(Fill, CoverageSpansWeightTheColour) {
  ImagePtr img(Solid(3, 2, 0xFF000000));
  std::uint8_t coverage[6] = {255, 0, 255, 128, 128, 128};
  Span spans[2] = {{0, 0, 3}, {1, 0, 3}};
  img->FillScanLinesWithCoverage(spans, 2, Color(255, 255, 255), 0, coverage, 0, 0, 3, 2);
  EXPECT_EQ(Px(img.get(), 0, 0), 0xFFFEFEFEu);
  EXPECT_EQ(Px(img.get(), 1, 0), 0xFF000000u);
  EXPECT_EQ(Px(img.get(), 2, 0), 0xFFFEFEFEu);
  EXPECT_EQ(Px(img.get(), 1, 1), 0xFF7F7F7Fu);
  // Spans and coverage reaching outside are cut, not read or written past.
  Span wild[2] = {{5, 0, 3}, {0, -2, 9}};
  img->FillScanLinesWithCoverage(wild, 2, Color::White, 0, coverage, 0, 0, 3, 2);
}

TEST(Line, HorizontalAndVerticalLinesAreFills) {
  ImagePtr img(Solid(5, 5, 0));
  img->DrawLine(3.7, 1, 0.2, 1, Color::White, 0);
  img->DrawLine(4, 4, 4, 2, Color::White, 0);
  for (int x = 0; x <= 3; ++x) EXPECT_EQ(Px(img.get(), x, 1), 0xFFFFFFFFu) << x;
  EXPECT_EQ(Px(img.get(), 4, 1), 0u);
  for (int y = 2; y <= 4; ++y) EXPECT_EQ(Px(img.get(), 4, y), 0xFFFFFFFFu) << y;
}

TEST(Line, SlopedLineWalksBresenhamAndWrites254) {
  ImagePtr img(Solid(6, 4, 0));
  img->DrawLine(4, 2, 0, 0, Color::White, 0);
  std::vector<std::pair<int, int>> want = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      bool on = std::find(want.begin(), want.end(), std::make_pair(x, y)) != want.end();
      EXPECT_EQ(Px(img.get(), x, y), on ? 0xFFFEFEFEu : 0u) << x << "," << y;
    }
}

TEST(Line, AdditiveAndTranslucentLines) {
  ImagePtr img(Solid(4, 4, 0xFFC80A00));
  img->DrawLine(0, 0, 3, 3, Color(255, 0, 0), 1);
  EXPECT_EQ(Px(img.get(), 1, 1), 0xFFFF0A00u);
  ImagePtr half(Solid(4, 4, 0xFF000000));
  half->DrawLine(0, 0, 3, 3, Color(255, 255, 255, 128), 0);
  // c' = (255 * 128 + 128) >> 8 = 128; s = (128 * 255 + 127) >> 8 = 127; black adds 0.
  EXPECT_EQ(Px(half.get(), 2, 2), 0xFF7F7F7Fu);
  ImagePtr none(Solid(4, 4, 0xFF000000));
  none->DrawLine(0, 0, 3, 3, Color::White, 2);
  EXPECT_EQ(Px(none.get(), 2, 2), 0xFF000000u);
}

TEST(Line, AntiAliasedDiagonalAndEndsOutsideTheImage) {
  ImagePtr img(Solid(5, 5, 0xFF000000));
  img->DrawLineAA(0, 0, 4, 4, Color::White, 0);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(Px(img.get(), x, y), x == y ? 0xFFFEFEFEu : 0xFF000000u) << x << y;
  ImagePtr shallow(Solid(8, 3, 0xFF000000));
  shallow->DrawLineAA(0, 0, 7, 2, Color::White, 0);
  EXPECT_NE(Px(shallow.get(), 4, 1), 0xFF000000u);
  EXPECT_EQ(Px(shallow.get(), 7, 0), 0xFF000000u);
  // Ends far outside are drawn only where they fall inside.
  shallow->DrawLineAA(-50, -20, 60, 30, Color::White, 0);
  shallow->DrawLine(-50, -20, 60, 31, Color::White, 0);
}

struct BlitCase {
  const char* name;
  std::uint32_t dest;
  std::uint32_t src;
  Color color;
  int mode;
  std::uint32_t want;
};

TEST(Blit, NormalTintedAndAdditivePixels) {
  const BlitCase cases[] = {
      {"opaque white onto alpha dest", 0x80102030, 0xFFFFFFFF, Color::White, 0, 0xFFFEFEFE},
      {"opaque white onto opaque dest copies", 0xFF102030, 0xFFFFFFFF, Color::White, 0, 0xFFFFFFFF},
      {"transparent source changes nothing", 0xFF102030, 0x00FFFFFF, Color::White, 0, 0xFF102030},
      {"half red over opaque blue", 0xFF0000FF, 0x80FF0000, Color::White, 0, 0xFF7F007F},
      {"half red over transparent", 0x00000000, 0x80FF0000, Color::White, 0, 0x80FE0000},
      {"tint of unequal channels", 0xFF000000, 0xFFFFFFFF, Color(128, 64, 255), 0, 0xFF7F3FFD},
      {"grey tint tints red and blue first", 0xFF000000, 0xFFFFFFFF, Color(128, 128, 128), 0, 0xFF7E7F7E},
      {"tint alpha scales source alpha", 0xFF000000, 0xFFFFFFFF, Color(255, 255, 255, 128), 0, 0xFF7F7F7F},
      {"tint alpha 0 draws nothing", 0xFF000000, 0xFFFFFFFF, Color(255, 255, 255, 0), 0, 0xFF000000},
      {"additive clamps", 0xFFC80A00, 0xFFFF0000, Color::White, 1, 0xFFFF0A00},
      {"additive keeps dest alpha", 0x40101010, 0xFF202020, Color::White, 1, 0x40303030},
      {"additive tint premultiplied", 0xFF000000, 0xFFFFFFFF, Color(255, 0, 0, 128), 1, 0xFF7F0000},
      {"other modes draw nothing", 0xFF000000, 0xFFFFFFFF, Color::White, 5, 0xFF000000},
  };
  for (const BlitCase& c : cases) {
    ImagePtr dest(Solid(2, 2, c.dest));
    ImagePtr src(Solid(2, 2, c.src));
    dest->Blt(src.get(), 0, 0, Rect(0, 0, 2, 2), c.color, c.mode);
    EXPECT_EQ(Hex(Px(dest.get(), 1, 1)), Hex(c.want)) << c.name;
    EXPECT_TRUE(src->mDrawn) << c.name;
  }
}

TEST(Blit, AdditiveWeighsBySourceAlphaOnlyWhenTheSourceHasPartialAlpha) {
  ImagePtr dest(Solid(2, 1, 0xFF000000));
  ImagePtr src(FromPixels(2, 1, {0x80FF0000, 0xFFFF0000}));
  dest->Blt(src.get(), 0, 0, Rect(0, 0, 2, 1), Color::White, 1);
  EXPECT_EQ(Px(dest.get(), 0, 0), 0xFF7F0000u);
  EXPECT_EQ(Px(dest.get(), 1, 0), 0xFFFE0000u);
  ImagePtr opaque(Solid(1, 1, 0x00FF0000));  // transparency but no partial alpha: added as is
  ImagePtr d2(Solid(1, 1, 0xFF000000));
  d2->Blt(opaque.get(), 0, 0, Rect(0, 0, 1, 1), Color::White, 1);
  EXPECT_EQ(Px(d2.get(), 0, 0), 0xFFFF0000u);
}

TEST(Blit, RunLengthPathOverRunsOfEveryKind) {
  std::vector<std::uint32_t> row;
  for (int i = 0; i < 300; ++i) row.push_back(i < 260 ? 0xFF00FF00 : (i < 280 ? 0x00000000 : 0x80FF0000));
  ImagePtr src(FromPixels(300, 1, row));
  ImagePtr dest(Solid(300, 1, 0xFF0000FF));
  // Start inside a run and end inside another.
  dest->Blt(src.get(), 10, 0, Rect(10, 0, 280, 1), Color::White, 0);
  EXPECT_EQ(Px(dest.get(), 9, 0), 0xFF0000FFu);
  EXPECT_EQ(Px(dest.get(), 10, 0), 0xFF00FF00u);
  EXPECT_EQ(Px(dest.get(), 259, 0), 0xFF00FF00u);
  EXPECT_EQ(Px(dest.get(), 270, 0), 0xFF0000FFu);
  EXPECT_EQ(Px(dest.get(), 285, 0), 0xFF7F007Fu);
  EXPECT_EQ(Px(dest.get(), 289, 0), 0xFF7F007Fu);
  EXPECT_EQ(Px(dest.get(), 290, 0), 0xFF0000FFu);
  EXPECT_FALSE(dest->mHasTrans);
}

// A destination cleared after it was last known opaque must not take the opaque-only path.
TEST(Blit, DestinationFlagsAreBroughtUpToDateBeforeChoosingThePath) {
  ImagePtr dest(Solid(2, 1, 0xFF000000));
  dest->ClearRect(Rect(0, 0, 1, 1));
  ImagePtr src(Solid(2, 1, 0x80FF0000));
  dest->Blt(src.get(), 0, 0, Rect(0, 0, 2, 1), Color::White, 0);
  EXPECT_EQ(Px(dest.get(), 0, 0), 0x80FE0000u);  // source over transparent keeps alpha 128
  EXPECT_EQ(Px(dest.get(), 1, 0), 0xFF7F0000u);
}

TEST(Blit, PalettizedSourceDrawsLikeItsPixels) {
  std::vector<std::uint32_t> px = {0xFFFF0000, 0x00000000, 0x80FFFFFF, 0xFF00FF00};
  for (int mode : {0, 1}) {
    for (Color color : {Color::White, Color(10, 200, 30, 200)}) {
      ImagePtr plain(FromPixels(2, 2, px)), pal(FromPixels(2, 2, px));
      ASSERT_TRUE(pal->Palletize());
      ImagePtr d1(Solid(3, 3, 0xFF203040)), d2(Solid(3, 3, 0xFF203040));
      d1->Blt(plain.get(), 1, 1, Rect(0, 0, 2, 2), color, mode);
      d2->Blt(pal.get(), 1, 1, Rect(0, 0, 2, 2), color, mode);
      for (int i = 0; i < 9; ++i) ASSERT_EQ(d1->GetBits()[i], d2->GetBits()[i]) << mode << " " << i;
      EXPECT_EQ(pal->mBits, nullptr);  // drawn from the palette, not converted
    }
  }
}

TEST(Blit, ClippedOnEveryEdge) {
  std::vector<std::uint32_t> px(16);
  for (int i = 0; i < 16; ++i) px[i] = 0xFF000000u | static_cast<std::uint32_t>(i + 1);
  ImagePtr src(FromPixels(4, 4, px));
  struct Case {
    int x, y;
    Rect srcRect;
  } cases[] = {{-2, -2, {0, 0, 4, 4}}, {2, 2, {0, 0, 4, 4}}, {-3, 1, {0, 0, 4, 4}},
               {1, -3, {0, 0, 4, 4}},  {0, 0, {-2, -1, 8, 8}}, {-100, 100, {0, 0, 4, 4}}};
  for (const Case& c : cases) {
    ImagePtr dest(Solid(4, 4, 0xFF000000));
    dest->Blt(src.get(), c.x, c.y, c.srcRect, Color::White, 0);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        int sx = x - c.x + c.srcRect.mX, sy = y - c.y + c.srcRect.mY;
        bool inside = sx >= std::max(0, c.srcRect.mX) && sy >= std::max(0, c.srcRect.mY) && sx < 4 && sy < 4 &&
                      sx < c.srcRect.mX + c.srcRect.mWidth && sy < c.srcRect.mY + c.srcRect.mHeight;
        std::uint32_t want = inside ? px[sy * 4 + sx] : 0xFF000000u;
        ASSERT_EQ(Px(dest.get(), x, y), want) << c.x << "," << c.y << " at " << x << "," << y;
      }
  }
}

TEST(Blit, MirroredRowsRunRightToLeft) {
  ImagePtr src(FromPixels(3, 1, {0xFF000001, 0xFF000002, 0xFF000003}));
  struct Case {
    int x;
    std::vector<std::uint32_t> want;
  } cases[] = {{0, {3, 2, 1, 0}}, {-1, {2, 1, 0, 0}}, {2, {0, 0, 3, 2}}};
  for (const Case& c : cases) {
    ImagePtr dest(Solid(4, 1, 0xFF000000));
    dest->BltMirror(src.get(), c.x, 0, Rect(0, 0, 3, 1), Color::White, 0);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Px(dest.get(), x, 0), 0xFF000000u | c.want[x]) << c.x << " " << x;
  }
}

TEST(Blit, SourcesThatAreNotMemoryImagesDrawNothing) {
  ImagePtr dest(Solid(2, 2, 0xFF000000));
  Image plain;
  dest->Blt(&plain, 0, 0, Rect(0, 0, 2, 2), Color::White, 0);
  EXPECT_EQ(Px(dest.get(), 0, 0), 0xFF000000u);
}
