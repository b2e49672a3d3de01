// The Direct3D drawing path of the display: textured quads in each draw mode on 32- and
// 16-bit targets against the 2D picture, texture pieces and formats, read-back, the polygon
// clipper, lines and rectangles, and the run-time error record.
#include "framework/graphics/D3DInterface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "platform/Direct3D.h"
#include "platform/DirectDraw.h"
#include "tests/framework/graphics/GraphicsTestUtil.h"

using namespace Orvo;
using gtest_util::ChannelDiff;
using gtest_util::Hex;

namespace {

// A windowed display of 64 x 48 on a desktop of the given depth, with or without 3D.
std::unique_ptr<DDInterface> OpenDisplay(bool is3D, plat::DWORD desktopBits) {
  plat::DirectDrawTestBehaviour().desktopBitCount = desktopBits;
  auto dd = std::make_unique<DDInterface>(nullptr);
  dd->mRequest.width = 64;
  dd->mRequest.height = 48;
  dd->mIs3D = is3D;
  EXPECT_EQ(dd->Init(reinterpret_cast<plat::HWND>(0x10), true), DDInterface::RESULT_OK) << dd->mErrorString;
  return dd;
}

// The draw buffer as 0xRRGGBB, whatever its depth.
std::uint32_t Shown(DDInterface& dd, int x, int y) {
  const plat::DWORD p = dd.mDrawSurface->PixelAt(x, y);
  if (dd.mDrawSurface->PixelFormat().dwRGBBitCount == 32) return p & 0xFFFFFF;
  const std::uint32_t r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
  return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

class D3DRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::ResetDirectDrawBehaviour();
    plat::ResetDirect3DBehaviour();
    D3DInterface::sLastError.clear();
  }
  void TearDown() override {
    plat::ResetDirectDrawBehaviour();
    plat::ResetDirect3DBehaviour();
  }
};

// A 12 x 10 source with a gradient, a transparent corner and a half-transparent band.
std::unique_ptr<MemoryImage> Pattern() {
  std::vector<std::uint32_t> px(12 * 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) {
      std::uint32_t a = x < 3 && y < 3 ? 0 : (y >= 6 ? 0x80 : 0xFF);
      px[static_cast<std::size_t>(y) * 12 + x] = a << 24 | static_cast<std::uint32_t>(x * 20) << 16 |
                                                 static_cast<std::uint32_t>(y * 25) << 8 | 0x40;
    }
  return std::unique_ptr<MemoryImage>(gtest_util::FromPixels(12, 10, px));
}

TEST_F(D3DRenderTest, TexturedQuadsMatchTheSoftwarePictureInEveryModeAndDepth) {
  struct Case {
    const char* name;
    Color color;
    int mode;
  } cases[] = {
      {"normal", Color::White, 0},
      {"tinted, half alpha", Color(255, 128, 64, 160), 0},
      {"additive", Color::White, 1},
      {"additive tinted", Color(100, 200, 255, 200), 1},
  };
  auto source = Pattern();
  for (plat::DWORD bits : {32u, 16u}) {
    for (const Case& c : cases) {
      std::uint32_t pictures[2][48][64];
      for (int is3D = 0; is3D < 2; ++is3D) {
        auto dd = OpenDisplay(is3D != 0, bits);
        DDImage* screen = dd->GetScreenImage();
        ASSERT_EQ(screen->Check3D(), is3D != 0);
        screen->FillRect(Rect(0, 0, 64, 48), Color(30, 90, 150), 0);
        screen->Blt(source.get(), 5, 7, Rect(0, 0, 12, 10), c.color, c.mode);
        screen->Blt(source.get(), 40, 30, Rect(2, 1, 8, 7), c.color, c.mode);
        dd->mD3DInterface->Flush();
        for (int y = 0; y < 48; ++y)
          for (int x = 0; x < 64; ++x) pictures[is3D][y][x] = Shown(*dd, x, y);
      }
      const int tolerance = bits == 32 ? 3 : 9;
      int worst = 0;
      for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) worst = std::max(worst, ChannelDiff(pictures[0][y][x], pictures[1][y][x]));
      EXPECT_LE(worst, tolerance) << c.name << " at " << bits << " bits";
    }
  }
}

TEST_F(D3DRenderTest, TransformedDrawsLandWhereTheSoftwareDrawsPutThem) {
  // Tolerance: where the software path samples between texels (bilinear rotation, the
  // triangle filler) the colours may differ by one texel step of the pattern (25).
  struct Case {
    const char* name;
    int tolerance;
    void (*draw)(DDImage* screen, MemoryImage* source);
  } cases[] = {
      {"mirror", 8, [](DDImage* s, MemoryImage* src) { s->BltMirror(src, 20, 10, Rect(0, 0, 12, 10), Color::White, 0); }},
      {"rotated a quarter turn", 26,
       [](DDImage* s, MemoryImage* src) {
         s->BltRotated(src, 20, 10, Rect(0, 0, 12, 10), Rect(0, 0, 64, 48), Color::White, 0, 1.5707963267948966, 6, 5);
       }},
      {"nearest stretch, clipped", 8,
       [](DDImage* s, MemoryImage* src) {
         s->StretchBlt(src, Rect(10, 10, 24, 20), Rect(0, 0, 12, 10), Rect(0, 0, 30, 48), Color::White, 0, true);
       }},
      {"mirrored nearest stretch", 8,
       [](DDImage* s, MemoryImage* src) {
         s->StretchBltMirror(src, Rect(10, 10, 24, 20), Rect(0, 0, 12, 10), Rect(0, 0, 64, 48), Color::White, 0, true);
       }},
      {"triangles", 26,
       [](DDImage* s, MemoryImage* src) {
         const TriVertex tris[2][3] = {{{10, 10, 0, 0, 0}, {34, 10, 1, 0, 0}, {10, 30, 0, 1, 0}},
                                       {{34, 10, 1, 0, 0}, {34, 30, 1, 1, 0}, {10, 30, 0, 1, 0}}};
         s->BltTrianglesTex(src, tris, 2, Rect(0, 0, 64, 48), Color::White, 0, 0, 0, false);
       }},
      {"coverage spans", 8,
       [](DDImage* s, MemoryImage*) {
         Span spans[2] = {{20, 5, 3}, {21, 5, 3}};
         const std::uint8_t coverage[6] = {255, 0, 255, 128, 128, 128};
         s->FillScanLinesWithCoverage(spans, 2, Color(255, 255, 0), 0, coverage, 5, 20, 3, 2);
       }},
  };
  auto source = Pattern();
  for (const Case& c : cases) {
    std::uint32_t pictures[2][48][64];
    for (int is3D = 0; is3D < 2; ++is3D) {
      auto dd = OpenDisplay(is3D != 0, 32);
      DDImage* screen = dd->GetScreenImage();
      screen->FillRect(Rect(0, 0, 64, 48), Color(30, 90, 150), 0);
      c.draw(screen, source.get());
      dd->mD3DInterface->Flush();
      for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) pictures[is3D][y][x] = Shown(*dd, x, y);
    }
    // The software paths trim or round their edges differently from texture sampling, so
    // the two pictures must cover the same box within two pixels and agree where both drew;
    // a misplaced, mirrored or turned draw fails both.
    int box[2][4] = {{64, 48, -1, -1}, {64, 48, -1, -1}};
    int both = 0;
    int differing = 0;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        bool drawn[2];
        for (int k = 0; k < 2; ++k) {
          drawn[k] = ChannelDiff(pictures[k][y][x], 0x1E5A96) > 3;
          if (!drawn[k]) continue;
          box[k][0] = std::min(box[k][0], x);
          box[k][1] = std::min(box[k][1], y);
          box[k][2] = std::max(box[k][2], x);
          box[k][3] = std::max(box[k][3], y);
        }
        if (drawn[0] && drawn[1]) {
          ++both;
          if (ChannelDiff(pictures[0][y][x], pictures[1][y][x]) > c.tolerance) ++differing;
        }
      }
    EXPECT_GT(both, 2) << c.name;
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(box[0][i], box[1][i], 2) << c.name << " box side " << i;
    EXPECT_LE(differing, both / 10) << c.name << ": " << differing << " of " << both;
  }
}

TEST_F(D3DRenderTest, ImagesInSeveralPiecesLandPixelForPixel) {
  std::vector<std::uint32_t> px(100 * 70);
  for (std::size_t i = 0; i < px.size(); ++i) px[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
  for (std::uint32_t flags : {0u, static_cast<std::uint32_t>(TextureFlag_Pieces64x64)}) {
    plat::Direct3DTestBehaviour().maxTextureWidth = 64;  // limits are read at start-up
    auto dd = OpenDisplay(true, 32);
    std::unique_ptr<MemoryImage> image(gtest_util::FromPixels(100, 70, px));
    image->mD3DFlags = flags | TextureFlag_UseA8R8G8B8;
    dd->GetScreenImage()->Blt(image.get(), -20, -10, Rect(0, 0, 100, 70), Color::White, 0);
    dd->mD3DInterface->Flush();
    ASSERT_NE(image->mD3DData, nullptr);
    EXPECT_GT(image->mD3DData->mTextures.size(), 1u);
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x)
        ASSERT_EQ(Shown(*dd, x, y), px[static_cast<std::size_t>(y + 10) * 100 + x + 20] & 0xFFFFFF)
            << "flags " << flags << " at " << x << "," << y;
  }
}

TEST_F(D3DRenderTest, TriangleListsAreBatchedOnOnePieceAndSplitAcrossPieces) {
  plat::Direct3DTestBehaviour().maxTextureWidth = 64;
  auto dd = OpenDisplay(true, 32);
  D3DInterface* d3d = dd->mD3DInterface;
  std::unique_ptr<MemoryImage> small(gtest_util::Solid(8, 8, 0xFFFF0000));
  std::vector<TriVertex> flat;
  for (int i = 0; i < 250; ++i) {
    flat.push_back({0, 0, 0, 0, 0});
    flat.push_back({4, 0, 1, 0, 0});
    flat.push_back({0, 4, 0, 1, 0});
  }
  ASSERT_TRUE(d3d->PreDraw());
  int before = d3d->mD3DDevice->drawCalls;
  d3d->DrawTrianglesTex(reinterpret_cast<const TriVertex(*)[3]>(flat.data()), 250, Color::White, 0, small.get(), 0, 0,
                        false);
  EXPECT_EQ(d3d->mD3DDevice->drawCalls - before, 3);

  // A 100-pixel-wide image in two piece columns, left half green and right half blue.
  std::vector<std::uint32_t> px(100 * 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 100; ++x) px[static_cast<std::size_t>(y) * 100 + x] = x < 50 ? 0xFF00FF00 : 0xFF0000FF;
  std::unique_ptr<MemoryImage> wide(gtest_util::FromPixels(100, 8, px));
  wide->mD3DFlags = TextureFlag_UseA8R8G8B8;
  const TriVertex spanning[1][3] = {{{0, 20, 0, 0, 0}, {100, 20, 1, 0, 0}, {0, 28, 0, 1, 0}}};
  before = d3d->mD3DDevice->drawCalls;
  d3d->DrawTrianglesTex(spanning, 1, Color::White, 0, wide.get(), 0, 0, false);
  EXPECT_EQ(d3d->mD3DDevice->drawCalls - before, 2) << "one fan per piece column";
  d3d->Flush();
  EXPECT_EQ(Shown(*dd, 10, 21), 0x00FF00u);
  EXPECT_EQ(Shown(*dd, 60, 21), 0x0000FFu);
}

TEST_F(D3DRenderTest, PieceSizesFollowTheDeviceLimits) {
  D3DInterface d3d;
  D3DInterface::sMinTextureWidth = D3DInterface::sMinTextureHeight = 1;
  D3DInterface::sMaxTextureWidth = D3DInterface::sMaxTextureHeight = 1024;
  D3DInterface::sMaxTextureAspectRatio = 65536;
  struct Case {
    int w, h;
    std::uint32_t flags;
    int columns, rows, pieceW, pieceH, lastW, lastH;
    float maxU, maxV;
  } cases[] = {
      {100, 100, 0, 1, 1, 128, 128, 128, 128, 100.0f / 128, 100.0f / 128},
      {640, 480, 0, 2, 1, 512, 512, 128, 512, 1.25f, 0.9375f},
      {100, 100, TextureFlag_Pieces64x64, 2, 2, 64, 64, 64, 64, 100.0f / 64, 100.0f / 64},
      {400, 600, 0, 4, 10, 128, 64, 16, 32, 400.0f / 128, 600.0f / 64},
      {400, 600, TextureFlag_FewestPieces, 1, 1, 512, 1024, 512, 1024, 400.0f / 512, 600.0f / 1024},
  };
  for (const Case& c : cases) {
    MemoryImage image(nullptr);
    image.mWidth = c.w;
    image.mHeight = c.h;
    TextureData data;
    data.mImageFlags = c.flags;
    data.CreateTextureDimensions(&image);
    EXPECT_EQ(data.mTexVecWidth, c.columns) << c.w << "x" << c.h;
    EXPECT_EQ(data.mTexVecHeight, c.rows) << c.w << "x" << c.h;
    EXPECT_EQ(data.mTexPieceWidth, c.pieceW);
    EXPECT_EQ(data.mTexPieceHeight, c.pieceH);
    EXPECT_EQ(data.mTextures.back().mWidth, c.lastW);
    EXPECT_EQ(data.mTextures.back().mHeight, c.lastH);
    EXPECT_FLOAT_EQ(data.mMaxTotalU, c.maxU);
    EXPECT_FLOAT_EQ(data.mMaxTotalV, c.maxV);
  }
  // A device without limits gets 64 x 64 pieces; a narrow aspect ratio widens the short edge.
  int w = 300, h = 20;
  D3DInterface::sMaxTextureAspectRatio = 2;
  D3DInterface::GetBestTextureDimensions(w, h, true, true, 0);
  EXPECT_EQ(w, 512);
  EXPECT_EQ(h, 256);
}

TEST_F(D3DRenderTest, DeviceLimitsAreTakenFromTheCapsWithTheirCorrections) {
  struct Case {
    plat::DWORD minW, maxW, ratio;
    int wantMin, wantMax, wantRatio;
  } cases[] = {{0, 2048, 0, 1, 1024, 65536}, {4, 256, 8, 4, 256, 8}, {16, 0, 3, 64, 64, 1}};
  for (const Case& c : cases) {
    auto& b = plat::Direct3DTestBehaviour();
    b.minTextureWidth = b.minTextureHeight = c.minW;
    b.maxTextureWidth = b.maxTextureHeight = c.maxW;
    b.maxTextureAspectRatio = c.ratio;
    auto dd = OpenDisplay(true, 32);
    EXPECT_EQ(D3DInterface::sMinTextureWidth, c.wantMin);
    EXPECT_EQ(D3DInterface::sMaxTextureHeight, c.wantMax);
    EXPECT_EQ(D3DInterface::sMaxTextureAspectRatio, c.wantRatio);
    EXPECT_EQ(D3DInterface::sSupportedPixelFormats, 11u);  // the unknown X1R5G5B5 format is passed over
  }
}

TEST_F(D3DRenderTest, FormatChoiceAndReadBack) {
  {
    // The software device offers no R5G6B5: an opaque image keeps its 32 bits.
    auto dd = OpenDisplay(true, 32);
    std::unique_ptr<MemoryImage> opaque(gtest_util::Solid(5, 3, 0xFF123456));
    ASSERT_TRUE(dd->mD3DInterface->PrepareTexture(opaque.get()));
    EXPECT_EQ(opaque->mD3DData->mPixelFormat, PixelFormat_A8R8G8B8);
  }
  plat::Direct3DTestBehaviour().textureFormats = 1 | 2 | 4 | 8;
  auto dd = OpenDisplay(true, 32);
  D3DInterface* d3d = dd->mD3DInterface;
  // Opaque, on a device that offers it: R5G6B5, read back opaque with red 0x1F as 0xF8.
  std::unique_ptr<MemoryImage> opaque(gtest_util::Solid(5, 3, 0xFFFF0000));
  ASSERT_TRUE(d3d->PrepareTexture(opaque.get()));
  EXPECT_EQ(opaque->mD3DData->mPixelFormat, PixelFormat_R5G6B5);
  std::vector<std::uint32_t> back(15);
  ASSERT_TRUE(d3d->GetTextureBits(opaque.get(), back.data()));
  EXPECT_EQ(Hex(back[14]), Hex(0xFFF80000));
  // The hint keeps 32 bits; alpha images use A8R8G8B8 or, asked to, A4R4G4B4 (alpha kept).
  std::unique_ptr<MemoryImage> hinted(gtest_util::Solid(5, 3, 0xFF123456));
  hinted->mD3DFlags = TextureFlag_UseA8R8G8B8;
  ASSERT_TRUE(d3d->PrepareTexture(hinted.get()));
  EXPECT_EQ(hinted->mD3DData->mPixelFormat, PixelFormat_A8R8G8B8);
  std::unique_ptr<MemoryImage> faded(gtest_util::Solid(5, 3, 0x80FF8040));
  faded->mD3DFlags = TextureFlag_UseA4R4G4B4;
  ASSERT_TRUE(d3d->PrepareTexture(faded.get()));
  EXPECT_EQ(faded->mD3DData->mPixelFormat, PixelFormat_A4R4G4B4);
  ASSERT_TRUE(d3d->GetTextureBits(faded.get(), back.data()));
  EXPECT_EQ(Hex(back[0]), Hex(0x88F08040));
  // Changed pixels refill the same pieces; a purged image gets its pixels from the texture.
  plat::IDirectDrawSurface7* piece = faded->mD3DData->mTextures[0].mTexture;
  faded->GetBits()[0] = 0xFF00FF00;
  faded->BitsChanged();
  ASSERT_TRUE(d3d->PrepareTexture(faded.get()));
  EXPECT_EQ(faded->mD3DData->mTextures[0].mTexture, piece);
  ASSERT_TRUE(MemoryImage::sTextureReadBack(hinted.get(), back.data()));
  EXPECT_EQ(Hex(back[7]), Hex(0xFF123456));
  // A palettized image becomes an 8-bit texture with an alpha palette; when no palette can be
  // made, its colours are uploaded and palette textures are not tried again.
  for (bool paletteRefused : {false, true}) {
    plat::DirectDrawTestBehaviour().createPaletteResult = paletteRefused ? plat::DDERR_OUTOFMEMORY : plat::DD_OK;
    std::unique_ptr<MemoryImage> indexed(gtest_util::FromPixels(2, 2, {0x80102030, 0xFF405060, 0x80102030, 0x00000000}));
    ASSERT_TRUE(indexed->Palletize());
    ASSERT_NE(indexed->mColorTable, nullptr);
    ASSERT_TRUE(d3d->PrepareTexture(indexed.get()));
    EXPECT_EQ(indexed->mD3DData->mPixelFormat, paletteRefused ? PixelFormat_A8R8G8B8 : PixelFormat_Palette8);
    EXPECT_EQ((D3DInterface::sSupportedPixelFormats & PixelFormat_Palette8) != 0, !paletteRefused);
    ASSERT_TRUE(d3d->GetTextureBits(indexed.get(), back.data()));
    EXPECT_EQ(Hex(back[1]), Hex(0xFF405060));
    EXPECT_EQ(Hex(back[2]), Hex(0x80102030));
    EXPECT_EQ(Hex(back[3]), Hex(0x00000000));
    dd->GetScreenImage()->Blt(indexed.get(), 30, 30, Rect(0, 0, 2, 2), Color::White, 0);
    d3d->Flush();
    EXPECT_EQ(Shown(*dd, 31, 30), 0x405060u);
  }
  // Deleting an image drops its texture record from the renderer.
  EXPECT_EQ(d3d->mImageSet.count(opaque.get()), 1u);
  MemoryImage* gone = opaque.get();
  opaque.reset();
  EXPECT_EQ(d3d->mImageSet.count(gone), 0u);
}

TEST_F(D3DRenderTest, PolygonClipperKeepsTheInsideOfEachBoundary) {
  VertexList square;
  for (auto [x, y] : {std::pair{0.f, 0.f}, {10.f, 0.f}, {10.f, 10.f}, {0.f, 10.f}}) {
    D3DVertex v;
    v.sx = x;
    v.sy = y;
    v.tu = x / 10;
    v.color = x == 0 ? 0xFF000000 : 0xFFFFFFFF;
    square.push_back(v);
  }
  VertexList out;
  D3DInterface::ClipPolygon(square, out, CLIP_X, 4.0f, true);
  ASSERT_EQ(out.size(), 4);
  for (int i = 0; i < out.size(); ++i) {
    EXPECT_GE(out[i].sx, 4.0f);
    EXPECT_FLOAT_EQ(out[i].tu, out[i].sx / 10);
  }
  // The new vertices carry colours interpolated channel by channel.
  bool sawMidColour = false;
  for (int i = 0; i < out.size(); ++i) sawMidColour |= out[i].color == 0xFF666666;
  EXPECT_TRUE(sawMidColour);
  D3DInterface::ClipPolygon(square, out, CLIP_Y, -1.0f, false);
  EXPECT_EQ(out.size(), 0);
  VertexList one;
  one.push_back(square[0]);
  D3DInterface::ClipPolygon(one, out, CLIP_X, -5.0f, true);
  EXPECT_EQ(out.size(), 0);
  // A list grows past its inline room.
  VertexList big;
  for (int i = 0; i < 150; ++i) big.push_back(square[0]);
  EXPECT_EQ(big.capacity(), 200);
  VertexList copy = big;
  EXPECT_EQ(copy.size(), 150);
}

TEST_F(D3DRenderTest, LinesRectanglesPolygonsAndClippedBlits) {
  auto dd = OpenDisplay(true, 32);
  DDImage* screen = dd->GetScreenImage();
  screen->DrawLine(2, 3, 12, 3, Color(255, 0, 0), 0);
  screen->FillRect(Rect(5, 5, 10, 10), Color(0, 255, 0), 0);
  Point tri[3] = {{40, 5}, {60, 5}, {40, 25}};
  Rect clip(0, 0, 50, 48);
  EXPECT_TRUE(screen->PolyFill(tri, 3, &clip, Color(0, 0, 255), 0, 0, 0, true));
  Point two[2] = {{0, 40}, {10, 40}};
  EXPECT_TRUE(screen->PolyFill(two, 2, nullptr, Color(0, 0, 255), 0, 0, 0, true));
  std::unique_ptr<MemoryImage> white(gtest_util::Solid(10, 10, 0xFFFFFFFF));
  screen->BltF(white.get(), 20.0f, 30.0f, Rect(0, 0, 10, 10), Rect(0, 0, 25, 48), Color::White, 0);
  dd->mD3DInterface->Flush();
  for (int x = 0; x < 16; ++x) EXPECT_EQ(Shown(*dd, x, 3) == 0xFF0000, x >= 2 && x <= 12) << "line x " << x;
  for (int x = 0; x < 20; ++x) EXPECT_EQ(Shown(*dd, x, 9) == 0x00FF00, x >= 5 && x <= 14) << "rect x " << x;
  EXPECT_EQ(Shown(*dd, 14, 14), 0x00FF00u);
  EXPECT_EQ(Shown(*dd, 15, 15), 0u);
  EXPECT_EQ(Shown(*dd, 45, 6), 0x0000FFu);
  EXPECT_EQ(Shown(*dd, 52, 6), 0u);  // clipped away
  EXPECT_EQ(Shown(*dd, 5, 40), 0u);  // two points draw nothing
  for (int x = 18; x < 32; ++x) EXPECT_EQ(Shown(*dd, x, 35) == 0xFFFFFF, x >= 20 && x < 25) << "blit x " << x;
}

TEST_F(D3DRenderTest, FarAwayAndBrokenCoordinatesAreCutSafely) {
  auto dd = OpenDisplay(true, 32);
  DDImage* screen = dd->GetScreenImage();
  // A line across a billion pixels walks only the visible part: the screen's diagonal.
  screen->DrawLine(-1e9, -1e9, 1e9, 1e9, Color(255, 255, 255), 0);
  Point far[3] = {{0, 40}, {2000000000, 40}, {0, 47}};
  EXPECT_TRUE(screen->PolyFill(far, 3, nullptr, Color(255, 0, 0), 0, 0, 0, true));
  screen->DrawLine(std::nan(""), 0, std::nan(""), 5, Color(0, 255, 0), 0);
  std::unique_ptr<MemoryImage> image(gtest_util::Solid(4, 4, 0xFF0000FF));
  screen->Blt(image.get(), 50, 5, Rect(-2, -2, 10, 10), Color::White, 0);  // larger than the image
  dd->mD3DInterface->Flush();
  for (int i = 0; i < 30; ++i) EXPECT_EQ(Shown(*dd, i, i), 0xFFFFFFu) << i;
  EXPECT_EQ(Shown(*dd, 63, 41), 0xFF0000u);
  EXPECT_EQ(Shown(*dd, 52, 7), 0x0000FFu) << "the image's own pixels land where the rectangle puts them";
  EXPECT_EQ(Shown(*dd, 50, 5), 0u);
}

TEST_F(D3DRenderTest, FilterStateTouchesTheDeviceOnlyWhenItChanges) {
  auto dd = OpenDisplay(true, 32);
  D3DInterface* d3d = dd->mD3DInterface;
  ASSERT_TRUE(d3d->PreDraw());
  const int before = d3d->mD3DDevice->textureStageCalls;
  d3d->SetLinearFilter(true);
  d3d->SetLinearFilter(true);
  EXPECT_EQ(d3d->mD3DDevice->textureStageCalls - before, 3);
  EXPECT_EQ(d3d->mD3DDevice->TextureStageState(plat::D3DTSS_MAGFILTER), plat::D3DTFG_LINEAR);
  d3d->SetDrawMode(1);
  EXPECT_EQ(d3d->mD3DDevice->RenderState(plat::D3DRENDERSTATE_DESTBLEND), plat::D3DBLEND_ONE);
}

TEST_F(D3DRenderTest, FailuresAreRecordedAndTurn3DOffAtTheNextRedraw) {
  {
    plat::Direct3DTestBehaviour().getCapsResult = plat::D3DERR_INITFAILED;
    plat::DirectDrawTestBehaviour().desktopBitCount = 32;
    DDInterface dd(nullptr);
    dd.mRequest.width = 64;
    dd.mRequest.height = 48;
    dd.mIs3D = true;
    EXPECT_EQ(dd.Init(reinterpret_cast<plat::HWND>(0x10), true), DDInterface::RESULT_3D_FAIL);
    EXPECT_EQ(dd.mErrorString, "3D init error: : D3DERR_INITFAILED");
    plat::ResetDirect3DBehaviour();
  }
  auto dd = OpenDisplay(true, 32);
  std::unique_ptr<MemoryImage> image(gtest_util::Solid(8, 8, 0xFF336699));
  dd->GetScreenImage()->Blt(image.get(), 0, 0, Rect(0, 0, 8, 8), Color::White, 0);
  EXPECT_TRUE(dd->Redraw());
  plat::SimulateSurfaceLoss();  // the texture lives in video memory
  image->BitsChanged();
  dd->mD3DInterface->PrepareTexture(image.get());
  EXPECT_EQ(D3DInterface::sLastError, "Lock Texture: DDERR_SURFACELOST");
  EXPECT_FALSE(dd->Redraw());
  EXPECT_FALSE(dd->mIs3D);
}

}  // namespace
