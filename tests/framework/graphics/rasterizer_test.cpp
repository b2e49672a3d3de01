// The software triangle rasteriser: strip order, clipping, filler selection, what the
// fillers draw into 32-bit and 16-bit destinations, and images of the largest size.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/TriangleRasterizer.h"
#include "platform/DirectDraw.h"
#include "tests/framework/graphics/GraphicsTestUtil.h"

using namespace Orvo;
using gtest_util::Solid;

namespace {

// Swaps every filler for one that records the triangles it receives.
struct RecordingFillers {
  static inline std::vector<std::array<RasterVertex, 3>> calls;
  static inline int lastIndex = -1;
  std::array<SpanFiller, 128> saved;

  RecordingFillers() {
    saved = gSpanFillers;
    calls.clear();
    Install(std::make_index_sequence<128>{});
  }
  ~RecordingFillers() { gSpanFillers = saved; }

  template <int I>
  static void Record(const RasterVertex* v, void*, int, const RasterTexture*, const RasterTint*, const RasterClip*) {
    calls.push_back({v[0], v[1], v[2]});
    lastIndex = I;
  }
  template <std::size_t... I>
  void Install(std::index_sequence<I...>) {
    ((gSpanFillers[I] = &Record<static_cast<int>(I)>), ...);
  }
};

TriVertex V(float x, float y, std::uint32_t c = 0xFFFFFFFF) { return TriVertex{x, y, 0, 0, c}; }

}  // namespace

TEST(Rasterizer, StripBecomesTrianglesWithAlternateWinding) {
  RecordingFillers rec;
  std::uint32_t dest[100] = {};
  Rect clip(0, 0, 10, 10);
  TriVertex strip[4] = {V(1, 1), V(5, 1), V(1, 5), V(5, 5)};
  RasterizeTriangle(strip, 4, nullptr, &Color::White, 0, &clip, dest, 40, RASTER_FORMAT_8888, false, false);
  ASSERT_EQ(RecordingFillers::calls.size(), 2u);
  auto x = [](const RasterVertex& v) { return static_cast<int>(v.x >> 16); };
  auto y = [](const RasterVertex& v) { return static_cast<int>(v.y >> 16); };
  const auto& t0 = RecordingFillers::calls[0];
  const auto& t1 = RecordingFillers::calls[1];
  EXPECT_EQ((std::vector<int>{x(t0[0]), y(t0[0]), x(t0[1]), y(t0[1]), x(t0[2]), y(t0[2])}),
            (std::vector<int>{1, 1, 5, 1, 1, 5}));
  EXPECT_EQ((std::vector<int>{x(t1[0]), y(t1[0]), x(t1[1]), y(t1[1]), x(t1[2]), y(t1[2])}),  // P1, P3, P2
            (std::vector<int>{5, 1, 5, 5, 1, 5}));
  RecordingFillers::calls.clear();
  RasterizeTriangle(strip, 2, nullptr, &Color::White, 0, &clip, dest, 40, RASTER_FORMAT_8888, false, false);
  EXPECT_TRUE(RecordingFillers::calls.empty());
}

TEST(Rasterizer, ClippingKeepsInclusiveEdgesAndFansThePolygon) {
  TriVertex inside[3] = {V(0, 0), V(9, 0), V(0, 9)};
  TriVertex out[16];
  EXPECT_EQ(ClipTriangle(inside, 0, 9, 0, 9, out), 3);
  TriVertex outside[3] = {V(20, 20), V(30, 20), V(20, 30)};
  EXPECT_EQ(ClipTriangle(outside, 0, 9, 0, 9, out), 0);
  // A large triangle over one corner of the clip rectangle.
  TriVertex corner[3] = {V(-5, 4), V(6, -5), V(14, 14)};
  int n = ClipTriangle(corner, 0, 9, 0, 9, out);
  EXPECT_GE(n, 5);
  EXPECT_LE(n, 7);
  for (int i = 0; i < n; ++i) {
    EXPECT_GE(out[i].x, 0);
    EXPECT_LE(out[i].x, 9);
    EXPECT_GE(out[i].y, 0);
    EXPECT_LE(out[i].y, 9);
  }
  RecordingFillers rec;
  std::uint32_t dest[100] = {};
  Rect clip(0, 0, 10, 10);
  RasterizeTriangle(corner, 3, nullptr, nullptr, 0, &clip, dest, 40, RASTER_FORMAT_8888, false, false);
  EXPECT_EQ(static_cast<int>(RecordingFillers::calls.size()), n - 2);
}

TEST(Rasterizer, FillerIndexFromTextureBlendTintAndFormat) {
  std::unique_ptr<MemoryImage> opaque(Solid(2, 2, 0xFF102030)), alpha(Solid(2, 2, 0x80102030));
  struct Case {
    MemoryImage* texture;
    Color tint;
    int format;
    bool blend, vertexColors;
    int want;
  } cases[] = {
      {opaque.get(), Color::White, RASTER_FORMAT_8888, false, false, 16 + 2},
      {opaque.get(), Color(255, 255, 255, 254), RASTER_FORMAT_8888, false, false, 16},
      {alpha.get(), Color::White, RASTER_FORMAT_8888, false, false, 16 + 8 + 2},
      {opaque.get(), Color::White, RASTER_FORMAT_888, true, false, 32 + 16 + 8 + 2 + 1},
      {nullptr, Color::White, RASTER_FORMAT_565, false, true, 64 + 4 + 2},
      {nullptr, Color(1, 2, 3), RASTER_FORMAT_555, false, false, 96},
  };
  RecordingFillers rec;
  std::uint16_t dest[100] = {};
  Rect clip(0, 0, 10, 10);
  TriVertex tri[3] = {V(0, 0), V(9, 0), V(0, 9)};
  for (const Case& c : cases) {
    RecordingFillers::lastIndex = -1;
    RasterizeTriangle(tri, 3, c.texture, &c.tint, 0, &clip, dest, 40, c.format, c.blend, c.vertexColors);
    EXPECT_EQ(RecordingFillers::lastIndex, c.want);
  }
}

TEST(Rasterizer, SharedEdgesAreDrawnOnce) {
  // Two halves of a quad with a half-transparent colour: a pixel drawn twice would be lighter.
  std::unique_ptr<MemoryImage> dest(Solid(10, 10, 0xFF000000));
  Rect clip(0, 0, 10, 10);
  Color half(255, 255, 255, 128);
  TriVertex quad[4] = {V(0.5f, 0.5f), V(8.5f, 0.5f), V(0.5f, 8.5f), V(8.5f, 8.5f)};
  RasterizeTriangle(quad, 4, nullptr, &half, 0, &clip, dest->GetBits(), 40, RASTER_FORMAT_8888, false, false);
  for (int y = 1; y <= 8; ++y)
    for (int x = 1; x <= 8; ++x) ASSERT_EQ(gtest_util::Px(dest.get(), x, y), 0xFF7F7F7Fu) << x << "," << y;
  EXPECT_EQ(gtest_util::Px(dest.get(), 0, 0), 0xFF000000u);
  EXPECT_EQ(gtest_util::Px(dest.get(), 9, 9), 0xFF000000u);
}

TEST(Rasterizer, SixteenBitDestinations) {
  Rect clip(0, 0, 4, 4);
  TriVertex quad[4] = {V(-1, -1), V(5, -1), V(-1, 5), V(5, 5)};
  struct Case {
    int format;
    Color tint;
    std::uint16_t start, want;
  } cases[] = {
      {RASTER_FORMAT_565, Color(255, 0, 0), 0x0000, 0xF800},
      {RASTER_FORMAT_555, Color(255, 0, 0), 0x0000, 0x7C00},
      {RASTER_FORMAT_565, Color(0, 255, 0), 0x0000, 0x07E0},
      {RASTER_FORMAT_555, Color(255, 255, 255), 0x0000, 0x7FFF},
      {RASTER_FORMAT_565, Color(255, 255, 255, 128), 0x0000, 0x7BEF},  // half white over black
      {RASTER_FORMAT_565, Color(0, 0, 0, 128), 0xFFFF, 0x7BEF},        // half black over white
  };
  for (const Case& c : cases) {
    std::uint16_t dest[4 * 6];
    std::fill(std::begin(dest), std::end(dest), 0x1234);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) dest[y * 6 + x] = c.start;
    RasterizeTriangle(quad, 4, nullptr, &c.tint, 0, &clip, dest, 12, c.format, false, false);
    EXPECT_EQ(dest[0], c.want) << std::hex << c.format;
    EXPECT_EQ(dest[3 * 6 + 3], c.want);
    EXPECT_EQ(dest[3 * 6 + 4], 0x1234);  // the pitch's spare pixels are never touched
  }
}

TEST(Rasterizer, TexturedStripIntoSixteenBitsTintedAndBlended) {
  std::unique_ptr<MemoryImage> tex(gtest_util::FromPixels(2, 1, {0xFFFFFFFF, 0x80FFFFFF}));
  Rect clip(0, 0, 4, 1);
  TriVertex quad[4] = {{-0.5f, -0.5f, 0, 0, 0}, {3.5f, -0.5f, 1, 0, 0}, {-0.5f, 0.5f, 0, 1, 0}, {3.5f, 0.5f, 1, 1, 0}};
  std::uint16_t dest[4] = {0, 0, 0, 0};
  Color tint(255, 0, 255);
  RasterizeTriangle(quad, 4, tex.get(), &tint, 0, &clip, dest, 8, RASTER_FORMAT_565, false, false);
  EXPECT_EQ(dest[0], 0xF81F);  // opaque texel tinted magenta
  EXPECT_EQ(dest[3], 0x780F);  // half-transparent texel blended over black: 127 per channel
}

TEST(Rasterizer, TexturedLinearAndVertexColours) {
  std::unique_ptr<MemoryImage> tex(gtest_util::FromPixels(2, 1, {0xFF000000, 0xFFFFFFFF}));
  Rect clip(0, 0, 8, 1);
  // Texel centres at destination x 1.5 and 5.5: linear filtering ramps between them.
  TriVertex quad[4] = {{-0.5f, -0.5f, 0, 0, 0}, {7.5f, -0.5f, 1, 0, 0}, {-0.5f, 0.5f, 0, 1, 0}, {7.5f, 0.5f, 1, 1, 0}};
  std::uint32_t nearest[8] = {}, linear[8] = {};
  RasterizeTriangle(quad, 4, tex.get(), &Color::White, 0, &clip, nearest, 32, RASTER_FORMAT_8888, false, false);
  RasterizeTriangle(quad, 4, tex.get(), &Color::White, 0, &clip, linear, 32, RASTER_FORMAT_8888, true, false);
  EXPECT_EQ(nearest[3], 0xFF000000u);
  EXPECT_EQ(nearest[4], 0xFFFFFFFFu);
  EXPECT_EQ(linear[0] & 0xFF, 0u);
  EXPECT_GT(linear[3] & 0xFF, 0x30u);
  EXPECT_LT(linear[3] & 0xFF, 0x90u);
  EXPECT_LE(linear[2] & 0xFF, linear[3] & 0xFF);
  EXPECT_EQ(linear[7] & 0xFF, 0xFFu);

  // Vertex colours interpolate across the triangle and modulate the tint.
  TriVertex ramp[4] = {{0, 0, 0, 0, 0xFFFF0000}, {7, 0, 0, 0, 0xFF0000FF}, {0, 1, 0, 0, 0xFFFF0000},
                       {7, 1, 0, 0, 0xFF0000FF}};
  std::uint32_t colours[8] = {};
  Rect clip2(0, 0, 8, 1);
  RasterizeTriangle(ramp, 4, nullptr, &Color::White, 0, &clip2, colours, 32, RASTER_FORMAT_8888, false, true);
  EXPECT_EQ(colours[0], 0xFFFF0000u);
  EXPECT_EQ(colours[7], 0u);  // on the right edge: not filled
  EXPECT_GT(colours[6] & 0xFF, (colours[6] >> 16) & 0xFF);
  EXPECT_GT((colours[4] >> 16) & 0xFF, 0x40u);
  EXPECT_GT(colours[4] & 0xFF, 0x40u);
}

TEST(Rasterizer, NonFiniteVerticesAreSkipped) {
  std::uint32_t dest[16] = {};
  Rect clip(0, 0, 4, 4);
  float inf = std::numeric_limits<float>::infinity();
  TriVertex bad[3] = {V(0, 0), V(inf, 0), V(0, std::nanf(""))};
  RasterizeTriangle(bad, 3, nullptr, nullptr, 0, &clip, dest, 16, RASTER_FORMAT_8888, false, false);
  for (std::uint32_t p : dest) EXPECT_EQ(p, 0u);
}

// Images up to 32767 pixels a side: positions and texture columns past 16383 are drawn
// exactly where they belong, by BltMatrix and BltTrianglesTex alike.
namespace {

constexpr int kWidest = 32767;

// Draws a w x h texture so that its pixel (0, 0) lands on destination pixel (x, y), one texel
// per pixel, through BltMatrix (matrix true) or BltTrianglesTex with u running from 0 to uEnd.
void DrawOneToOne(Image* dest, MemoryImage* tex, int x, int y, bool matrix, float uEnd = 1) {
  const float w = static_cast<float>(tex->mWidth), h = static_cast<float>(tex->mHeight);
  const Rect all(0, 0, dest->mWidth, dest->mHeight);
  if (matrix) {
    dest->BltMatrix(tex, x + w / 2, y + h / 2, Matrix3(), all, Color::White, 0, Rect(0, 0, tex->mWidth, tex->mHeight),
                    false);
    return;
  }
  // Pixel centres lie on whole coordinates: the texture's edges are half a pixel off them.
  const TriVertex quad[2][3] = {{{0, 0, 0, 0, 0}, {w, 0, uEnd, 0, 0}, {0, h, 0, 1, 0}},
                                {{w, 0, uEnd, 0, 0}, {w, h, uEnd, 1, 0}, {0, h, 0, 1, 0}}};
  dest->BltTrianglesTex(tex, quad, 2, all, Color::White, 0, x - 0.5f, y - 0.5f, false);
}

}  // namespace

TEST(RasterizerLargeImages, SmallSquareLandsAtAnyColumn) {
  std::unique_ptr<MemoryImage> square(Solid(4, 4, 0xFFFFFFFF));
  for (bool matrix : {true, false}) {
    for (int x : {100, 16380, 16383, 16384, 16390, 24000, kWidest - 4}) {
      std::unique_ptr<MemoryImage> dest(Solid(kWidest, 8, 0xFF000000));
      dest->SetImageMode(false, false);
      DrawOneToOne(dest.get(), square.get(), x, 2, matrix);
      const std::uint32_t* bits = dest->GetBits();
      int inside = 0, outside = 0;
      for (int py = 0; py < 8; ++py)
        for (int px = 0; px < kWidest; ++px) {
          const bool white = bits[static_cast<std::size_t>(py) * kWidest + px] == 0xFFFFFFFFu;
          const bool want = px >= x && px < x + 4 && py >= 2 && py < 6;
          (want ? inside : outside) += white == want ? 0 : 1;
        }
      EXPECT_EQ(inside, 0) << "pixels of the square missing at x " << x << (matrix ? ", matrix" : ", triangles");
      EXPECT_EQ(outside, 0) << "pixels drawn off the square at x " << x << (matrix ? ", matrix" : ", triangles");
    }
  }
}

TEST(RasterizerLargeImages, WidestTextureCopiesEveryColumn) {
  std::vector<std::uint32_t> px(kWidest);
  for (int i = 0; i < kWidest; ++i) px[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 257);
  std::unique_ptr<MemoryImage> tex(gtest_util::FromPixels(kWidest, 1, px));
  for (bool matrix : {true, false}) {
    std::unique_ptr<MemoryImage> dest(Solid(kWidest, 1, 0xFF000000));
    DrawOneToOne(dest.get(), tex.get(), 0, 0, matrix);
    int wrong = 0, first = -1;
    for (int i = 0; i < kWidest; ++i)
      if (dest->GetBits()[i] != px[i] && wrong++ == 0) first = i;
    EXPECT_EQ(wrong, 0) << "first wrong column " << first << (matrix ? ", matrix" : ", triangles");
  }
}

TEST(RasterizerLargeImages, TextureCoordinatesPastOneOnAWideTexture) {
  // Left half red, right half blue, stretched twice over 100 pixels: u = 2 at the right edge.
  std::vector<std::uint32_t> px(20000, 0xFFFF0000);
  std::fill(px.begin() + 10000, px.end(), 0xFF0000FF);
  std::unique_ptr<MemoryImage> tex(gtest_util::FromPixels(20000, 1, px));
  std::unique_ptr<MemoryImage> dest(Solid(100, 1, 0xFF000000));
  const TriVertex quad[2][3] = {{{0, 0, 0, 0, 0}, {100, 0, 2, 0, 0}, {0, 1, 0, 1, 0}},
                                {{100, 0, 2, 0, 0}, {100, 1, 2, 1, 0}, {0, 1, 0, 1, 0}}};
  dest->BltTrianglesTex(tex.get(), quad, 2, Rect(0, 0, 100, 1), Color::White, 0, -0.5f, -0.5f, false);
  int red = 0, blue = 0;
  for (int i = 0; i < 100; ++i) (dest->GetBits()[i] == 0xFFFF0000u ? red : blue) += 1;
  EXPECT_EQ(red, 25);  // texel 400 i + 200 of pixel i: red below texel 10000
  EXPECT_EQ(blue, 75);
}

TEST(RasterizerLargeImages, TextureColumnsPast16383OnA2DSurface) {
  plat::ResetDirectDrawBehaviour();
  plat::DirectDrawTestBehaviour().desktopBitCount = 32;
  {
    DDInterface display(nullptr);
    ASSERT_EQ(display.Init(nullptr, true), DDInterface::RESULT_OK);
    std::vector<std::uint32_t> px(kWidest);
    for (int i = 0; i < kWidest; ++i) px[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 257);
    std::unique_ptr<MemoryImage> tex(gtest_util::FromPixels(kWidest, 1, px));
    constexpr int kSide = 16384;  // the largest surface
    constexpr int kShift = kWidest - kSide;
    for (bool matrix : {true, false}) {
      DDImage surfaceImage(&display);
      std::vector<std::uint32_t> ground(kSide, 0xFF000000);
      surfaceImage.SetBits(ground.data(), kSide, 1);
      // Texture column kShift + i lands on surface column i.
      DrawOneToOne(&surfaceImage, tex.get(), -kShift, 0, matrix);
      ASSERT_EQ(surfaceImage.mBits, nullptr) << "drawn on the surface";
      int wrong = 0, first = -1;
      for (int i = 0; i < kSide; ++i)
        if ((surfaceImage.GetSurface()->PixelAt(i, 0) & 0xFFFFFFu) != (px[kShift + i] & 0xFFFFFFu) && wrong++ == 0)
          first = i;
      EXPECT_EQ(wrong, 0) << "first wrong column " << first << (matrix ? ", matrix" : ", triangles");
    }
  }
  plat::ResetDirectDrawBehaviour();
}
