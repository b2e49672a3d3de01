// Drawing with hostile geometry: vertices far outside the image, huge matrix scales, NaN,
// infinite and out-of-range coordinates, and empty source rectangles on the 3D path. Every
// draw stays inside its clip rectangle (AddressSanitizer checks the image edges), refuses
// what it cannot draw, and returns.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "framework/graphics/D3DInterface.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/TriangleRasterizer.h"
#include "platform/Direct3D.h"
#include "platform/DirectDraw.h"
#include "tests/framework/graphics/GraphicsTestUtil.h"

using namespace Orvo;

namespace {

constexpr std::uint32_t kGround = 0xFF203040;
const Rect kClip(8, 6, 16, 12);

// Every pixel outside kClip of a 32 x 24 image still holds kGround.
int ChangedOutsideClip(const std::uint32_t* bits) {
  int changed = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 32; ++x)
      if (!kClip.Contains(x, y) && bits[y * 32 + x] != kGround) ++changed;
  return changed;
}

int ChangedAnywhere(const std::uint32_t* bits) {
  int changed = 0;
  for (int i = 0; i < 32 * 24; ++i)
    if (bits[i] != kGround) ++changed;
  return changed;
}

std::unique_ptr<MemoryImage> Texture() {
  std::vector<std::uint32_t> px(8 * 8);
  for (std::size_t i = 0; i < px.size(); ++i) px[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 0x030507);
  return std::unique_ptr<MemoryImage>(gtest_util::FromPixels(8, 8, px));
}

std::unique_ptr<MemoryImage> Ground() {
  std::unique_ptr<MemoryImage> image(gtest_util::Solid(32, 24, kGround));
  image->SetImageMode(false, false);
  return image;
}

// A windowed 32 x 24 display in 2D or 3D whose screen is filled with one colour.
struct Screen {
  explicit Screen(bool is3D) {
    plat::ResetDirectDrawBehaviour();
    plat::ResetDirect3DBehaviour();
    plat::DirectDrawTestBehaviour().desktopBitCount = 32;
    display = std::make_unique<DDInterface>(nullptr);
    display->mRequest.width = 32;
    display->mRequest.height = 24;
    display->mIs3D = is3D;
    EXPECT_EQ(display->Init(reinterpret_cast<plat::HWND>(0x10), true), DDInterface::RESULT_OK);
    image = display->GetScreenImage();
    EXPECT_EQ(image->Check3D(), is3D);
    image->FillRect(Rect(0, 0, 32, 24), Color(0x20, 0x30, 0x40), 0);
    Finish();
    ground = display->mDrawSurface->PixelAt(0, 0) & 0xFFFFFF;
  }
  ~Screen() {
    display.reset();
    plat::ResetDirectDrawBehaviour();
    plat::ResetDirect3DBehaviour();
  }
  void Finish() {
    if (display->mD3DInterface != nullptr) display->mD3DInterface->Flush();
  }
  // Pixels that no longer hold the fill colour.
  int Changed() {
    Finish();
    int changed = 0;
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 32; ++x) changed += (display->mDrawSurface->PixelAt(x, y) & 0xFFFFFF) != ground ? 1 : 0;
    return changed;
  }
  std::unique_ptr<DDInterface> display;
  DDImage* image = nullptr;
  std::uint32_t ground = 0;
};

// Coverage spans far apart, far outside the image and reaching past the int range: only their
// parts inside the image are drawn, on a software image and on the 2D and 3D screens alike
// (the 3D screen draws them through an image of their bounding box).
TEST(DrawSafety, CoverageSpansFarApartOrPastTheIntRange) {
  constexpr int kMax = std::numeric_limits<int>::max();
  Span spans[] = {
      {3, 2, 4},                     // row 3, columns 2..5
      {60000, 60000, 4},             // far below and to the right, as far from the first as 14 GB of box
      {20, -2000000000, 2000000010},  // row 20, columns 0..9
      {10, kMax - 1, kMax},          // starts and ends past the int range
      {12, 30, kMax},                // row 12, columns 30 and 31
      {-2000000000, 4, 4},           // far above
  };
  auto want = [](int x, int y) { return (y == 3 && x >= 2 && x <= 5) || (y == 20 && x <= 9) || (y == 12 && x >= 30); };
  const std::vector<std::uint8_t> coverage(32 * 24, 255);
  auto draw = [&](Image* target) {
    target->FillScanLinesWithCoverage(spans, 6, Color::White, 0, coverage.data(), 0, 0, 32, 24);
    // A coverage origin past the int range from the spans covers none of them.
    target->FillScanLinesWithCoverage(spans, 6, Color::White, 0, coverage.data(), std::numeric_limits<int>::min(),
                                      0, 32, 24);
  };
  auto count = [&](auto changedAt, const char* what) {
    int missing = 0, stray = 0;
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 32; ++x) {
        const bool changed = changedAt(x, y);
        if (want(x, y) && !changed) ++missing;
        if (!want(x, y) && changed) ++stray;
      }
    EXPECT_EQ(missing, 0) << what;
    EXPECT_EQ(stray, 0) << what;
  };

  auto image = Ground();
  draw(image.get());
  count([&](int x, int y) { return gtest_util::Px(image.get(), x, y) != kGround; }, "software image");
  for (bool is3D : {false, true}) {
    Screen screen(is3D);
    draw(screen.image);
    screen.Finish();
    count([&](int x, int y) { return (screen.display->mDrawSurface->PixelAt(x, y) & 0xFFFFFF) != screen.ground; },
          is3D ? "3D screen" : "2D screen");
  }
}

// Triangles with one vertex about 1e8 pixels away in each direction, and one with all
// three far away around the image.
const float kFar = 1e8f;
const TriVertex kFarTriangles[][3] = {
    {{10, 8, 0, 0, 0}, {kFar, 12, 1, 0, 0}, {12, 16, 0, 1, 0}},
    {{10, 8, 0, 0, 0}, {-kFar, 12, 1, 0, 0}, {20, 16, 0, 1, 0}},
    {{10, 8, 0, 0, 0}, {14, kFar, 1, 0, 0}, {20, 9, 0, 1, 0}},
    {{10, 8, 0, 0, 0}, {14, -kFar, 1, 0, 0}, {20, 16, 0, 1, 0}},
    {{-kFar, -kFar, 0, 0, 0}, {kFar, -kFar / 3, 1, 0, 0}, {0, kFar, 0, 1, 0}},
    {{kFar, kFar * 0.7f, 0, 0, 0}, {-kFar * 0.9f, kFar, 1, 1, 0}, {3, -kFar, 0, 1, 0}},
};

TEST(DrawSafety, FarVerticesStayInsideTheClipOfTheRasteriser) {
  auto texture = Texture();
  for (int format : {RASTER_FORMAT_8888, RASTER_FORMAT_565}) {
    for (const auto& tri : kFarTriangles) {
      // Exactly the image's bytes on the heap: a write past them is an AddressSanitizer report.
      std::vector<std::uint32_t> dest(32 * 24, kGround);
      const int pitch = format == RASTER_FORMAT_8888 ? 128 : 64;
      RasterizeTriangle(tri, 3, texture.get(), &Color::White, 0, &kClip, dest.data(), pitch, format, false, false);
      if (format == RASTER_FORMAT_8888) {
        EXPECT_EQ(ChangedOutsideClip(dest.data()), 0) << tri[1].x << "," << tri[1].y;
        EXPECT_GT(ChangedAnywhere(dest.data()), 0) << "the visible part is still drawn";
      }
    }
  }
}

TEST(DrawSafety, FarVerticesAndHugeMatricesOnImagesAndSurfaces) {
  auto texture = Texture();
  Matrix3 huge;
  huge.Scale(1e6f, 1e6f);
  Matrix3 hugeTurned = huge;
  hugeTurned.Rotate(0.3f);

  auto check = [&](Image* target, std::uint32_t* (*read)(Image*), const char* what) {
    target->BltTrianglesTex(texture.get(), kFarTriangles, 6, kClip, Color::White, 0, 0, 0, false);
    target->BltTrianglesTex(texture.get(), kFarTriangles, 6, kClip, Color(255, 128, 0, 200), 0, 0.5f, 0.5f, true);
    target->BltMatrix(texture.get(), 16, 12, huge, kClip, Color::White, 0, Rect(0, 0, 8, 8), false);
    target->BltMatrix(texture.get(), 16, 12, hugeTurned, kClip, Color::White, 0, Rect(0, 0, 8, 8), true);
    const std::uint32_t* bits = read(target);
    ASSERT_NE(bits, nullptr) << what;
    EXPECT_EQ(ChangedOutsideClip(bits), 0) << what;
    EXPECT_GT(ChangedAnywhere(bits), 0) << what;
  };

  auto image = Ground();
  check(image.get(), [](Image* i) { return static_cast<MemoryImage*>(i)->GetBits(); }, "software image");

  for (plat::DWORD green : {0u, 0x07E0u, 0x03E0u}) {
    plat::ResetDirectDrawBehaviour();
    plat::DirectDrawTestBehaviour().desktopBitCount = green == 0 ? 32 : 16;
    plat::DirectDrawTestBehaviour().desktopGreenMask = green;
    DDInterface display(nullptr);
    ASSERT_EQ(display.Init(nullptr, true), DDInterface::RESULT_OK);
    DDImage surfaceImage(&display);
    std::vector<std::uint32_t> px(32 * 24, kGround);
    surfaceImage.SetBits(px.data(), 32, 24);
    // The read-back drops the low bits of each channel on 16-bit surfaces: compare with the
    // ground as it reads back.
    const std::uint32_t* before = surfaceImage.GetBits();
    const std::uint32_t groundAsRead = before[0];
    surfaceImage.BltTrianglesTex(texture.get(), kFarTriangles, 6, kClip, Color::White, 0, 0, 0, false);
    surfaceImage.BltMatrix(texture.get(), 16, 12, huge, kClip, Color::White, 0, Rect(0, 0, 8, 8), false);
    surfaceImage.BltMatrix(texture.get(), 16, 12, hugeTurned, kClip, Color::White, 0, Rect(0, 0, 8, 8), true);
    ASSERT_EQ(surfaceImage.mBits, nullptr) << "drawn on the surface";
    const std::uint32_t* bits = surfaceImage.GetBits();
    int outside = 0, inside = 0;
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 32; ++x) {
        const bool changed = bits[y * 32 + x] != groundAsRead;
        (kClip.Contains(x, y) ? inside : outside) += changed ? 1 : 0;
      }
    EXPECT_EQ(outside, 0) << "green mask " << green;
    EXPECT_GT(inside, 0) << "green mask " << green;
  }
  plat::ResetDirectDrawBehaviour();
}

// NaN, infinities and positions past +-1e9 in every float-taking draw: nothing is drawn and
// nothing overflows (UndefinedBehaviorSanitizer checks every float-to-int conversion).
// Any finite angle is an angle, and lines are the exception for finite ends: a far line is cut to the image and its visible
// part drawn, as the 3D device does.
TEST(DrawSafety, NonFiniteAndFarCoordinatesDrawNothing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float bad[] = {nan, inf, -inf, 1e9f, -1e9f, 3e38f};
  auto texture = Texture();
  auto drawAll = [&](Image* target, float v) {
    const Rect all(0, 0, 32, 24);
    const Color half(255, 255, 255, 128);
    if (!std::isfinite(v)) {
      target->DrawLine(v, 3, 20, 9, Color::White, 0);
      target->DrawLine(3, v, 20, 9, half, 1);
      target->DrawLine(v, 5, 7, 5, Color::White, 0);
      target->DrawLine(4, v, 4, 9, Color::White, 0);
      target->DrawLineAA(2, 3, v, 9, Color::White, 0);
      target->DrawLineAA(2, 3, 20, v, half, 0);
    }
    target->BltF(texture.get(), v, 4, Rect(0, 0, 8, 8), all, Color::White, 0);
    target->BltF(texture.get(), 4, v, Rect(0, 0, 8, 8), all, half, 1);
    target->BltRotated(texture.get(), v, 4, Rect(0, 0, 8, 8), all, Color::White, 0, 0.5, 4, 4);
    if (!std::isfinite(v)) target->BltRotated(texture.get(), 4, 4, Rect(0, 0, 8, 8), all, Color::White, 0, v, 4, 4);
    target->BltRotated(texture.get(), 4, 4, Rect(0, 0, 8, 8), all, half, 1, 0.5, v, 4);
    target->BltRotated(texture.get(), 4, 4, Rect(0, 0, 8, 8), all, Color::White, 0, 0.5, 4, v);
    Matrix3 m;
    m.m[0][0] = v;
    target->BltMatrix(texture.get(), 16, 12, m, all, Color::White, 0, Rect(0, 0, 8, 8), false);
    target->BltMatrix(texture.get(), v, 12, Matrix3(), all, Color::White, 0, Rect(0, 0, 8, 8), true);
    const TriVertex tri[1][3] = {{{2, 2, 0, 0, 0}, {20, 4, 1, 0, 0}, {6, 20, 0, 1, 0}}};
    target->BltTrianglesTex(texture.get(), tri, 1, all, Color::White, 0, v, 0, false);
    const TriVertex badTri[1][3] = {{{2, 2, 0, 0, 0}, {v, 4, 1, 0, 0}, {6, 20, v, 1, 0}}};
    target->BltTrianglesTex(texture.get(), badTri, 1, all, Color::White, 0, 0, 0, false);
  };
  for (float v : bad) {
    auto image = Ground();
    drawAll(image.get(), v);
    EXPECT_EQ(ChangedAnywhere(image->GetBits()), 0) << "software image, " << v;
  }
  for (bool is3D : {false, true}) {
    Screen screen(is3D);
    for (float v : bad) drawAll(screen.image, v);
    EXPECT_EQ(screen.Changed(), 0) << (is3D ? "3D screen" : "2D screen");
  }
}

TEST(DrawSafety, FarLinesAreCutToTheImage) {
  for (int aa = 0; aa < 2; ++aa) {
    auto image = Ground();
    if (aa == 0)
      image->DrawLine(-1e9, -1e9, 1e9, 1e9, Color::White, 0);
    else
      image->DrawLineAA(-1e11, -1e11, 3e10, 3e10, Color::White, 0);
    for (int i = 1; i < 23; ++i) EXPECT_NE(gtest_util::Px(image.get(), i, i), kGround) << i;
    EXPECT_EQ(gtest_util::Px(image.get(), 20, 2), kGround);
  }
}

// Source rectangles with nothing inside the image, in every 3D draw: each returns at once
// (a zero-width source used to loop for ever) and draws nothing.
TEST(DrawSafety, EmptySourcesReturnOnThe3DPath) {
  Screen screen(true);
  DDImage* image = screen.image;
  auto texture = Texture();
  const Rect all(0, 0, 32, 24);
  const Rect empties[] = {Rect(0, 0, 0, 8), Rect(8, 0, 4, 8), Rect(0, 8, 8, 3), Rect(3, 3, 5, 0), Rect(-9, 0, 4, 8)};
  for (const Rect& src : empties) {
    image->Blt(texture.get(), 4, 4, src, Color::White, 0);
    image->Blt(texture.get(), 4, 4, src, Color(255, 0, 0, 128), 1);
    image->BltF(texture.get(), 4.5f, 4.5f, src, all, Color::White, 0);
    image->BltMirror(texture.get(), 4, 4, src, Color::White, 0);
    image->BltRotated(texture.get(), 4, 4, src, all, Color::White, 0, 0.3, 2, 2);
    image->StretchBlt(texture.get(), Rect(2, 2, 20, 10), src, all, Color::White, 0, true);
    image->StretchBltMirror(texture.get(), Rect(2, 2, 20, 10), src, all, Color::White, 0, false);
    Matrix3 m;
    image->BltMatrix(texture.get(), 16, 12, m, all, Color::White, 0, src, false);
  }
  EXPECT_EQ(screen.Changed(), 0);
}

}  // namespace
