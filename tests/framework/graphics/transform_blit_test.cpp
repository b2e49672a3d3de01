// Pixel tests for the resampling blitters: nearest and filtered stretches, rotated blits,
// matrix blits and textured triangles, and a sweep of random geometry that must never read
// or write outside either image.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "tests/framework/graphics/GraphicsTestUtil.h"

using namespace Orvo;
using gtest_util::ChannelDiff;
using gtest_util::FromPixels;
using gtest_util::Hex;
using gtest_util::Px;
using gtest_util::Solid;

using ImagePtr = std::unique_ptr<MemoryImage>;

namespace {

std::vector<std::uint32_t> Gradient(int w, int h) {
  std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      px[static_cast<std::size_t>(y) * w + x] = 0xFF000000u | static_cast<std::uint32_t>((x * 40) << 16 | (y * 40) << 8 | 7);
  return px;
}

const Rect kNoClip(0, 0, 10000, 10000);

}  // namespace

TEST(Stretch, NearestOneToOneAndDoubling) {
  ImagePtr src(FromPixels(3, 1, {0xFF100000, 0xFF200000, 0xFF300000}));
  ImagePtr dest(Solid(6, 1, 0x00000000));
  dest->StretchBlt(src.get(), Rect(0, 0, 3, 1), Rect(0, 0, 3, 1), kNoClip, Color::White, 0, true);
  // Over transparent black each channel becomes c * 255 >> 8: column i from source column i.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Px(dest.get(), i, 0), 0xFF000000u | (((0x10u * (i + 1)) * 255) >> 8) << 16) << i;
  ImagePtr wide(Solid(6, 1, 0xFF000000));
  wide->StretchBlt(src.get(), Rect(0, 0, 6, 1), Rect(0, 0, 3, 1), kNoClip, Color::White, 0, true);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Px(wide.get(), i, 0) >> 16 & 0xFF, ((0x10u * (i / 2 + 1)) * 255) >> 8) << i;
}

// A tinted nearest stretch used to draw nothing; it now tints as the 1:1 blit does.
TEST(Stretch, TintedNearestDrawsLikeTheTintedBlit) {
  ImagePtr src(FromPixels(2, 2, {0xFFFFFFFF, 0x80FF8040, 0x00FFFFFF, 0xFF102030}));
  Color tint(200, 100, 50, 180);
  ImagePtr a(Solid(2, 2, 0xFF405060)), b(Solid(2, 2, 0xFF405060));
  a->StretchBlt(src.get(), Rect(0, 0, 2, 2), Rect(0, 0, 2, 2), kNoClip, tint, 0, true);
  b->Blt(src.get(), 0, 0, Rect(0, 0, 2, 2), tint, 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Hex(a->GetBits()[i]), Hex(b->GetBits()[i])) << i;
  EXPECT_NE(a->GetBits()[0], 0xFF405060u);
}

TEST(Stretch, FilteredOneToOneAndShrink) {
  ImagePtr src(Solid(4, 4, 0xFFC86432));
  ImagePtr same(Solid(4, 4, 0x00000000));
  same->StretchBlt(src.get(), Rect(0, 0, 4, 4), Rect(0, 0, 4, 4), kNoClip, Color::White, 0, false);
  // Full coverage sums to 255 and blends as (c * 255 >> 8) over transparent black.
  EXPECT_EQ(Hex(Px(same.get(), 2, 2)), Hex(0xFFC76331));
  ImagePtr half(Solid(2, 2, 0x00000000));
  half->StretchBlt(src.get(), Rect(0, 0, 2, 2), Rect(0, 0, 4, 4), kNoClip, Color::White, 0, false);
  for (int i = 0; i < 4; ++i) EXPECT_LE(ChannelDiff(half->GetBits()[i], 0xFFC86432), 2) << Hex(half->GetBits()[i]);
}

// A left- or top-clipped filtered enlargement used to sample with the clipped size's step and
// so showed its pixels shifted; every visible pixel now equals the unclipped one.
TEST(Stretch, ClippedFilteredStretchShowsTheSamePixels) {
  ImagePtr src(FromPixels(5, 4, Gradient(5, 4)));
  Rect dest(3, 2, 23, 17);
  for (bool fast : {false, true}) {
    ImagePtr whole(Solid(32, 24, 0xFF000000));
    whole->StretchBlt(src.get(), dest, Rect(0, 0, 5, 4), kNoClip, Color::White, 0, fast);
    for (Rect clip : {Rect(10, 0, 32, 24), Rect(0, 9, 32, 24), Rect(8, 7, 9, 6), Rect(0, 0, 12, 11)}) {
      ImagePtr part(Solid(32, 24, 0xFF000000));
      part->StretchBlt(src.get(), dest, Rect(0, 0, 5, 4), clip, Color::White, 0, fast);
      for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32; ++x) {
          std::uint32_t want = clip.Contains(x, y) ? Px(whole.get(), x, y) : 0xFF000000u;
          ASSERT_EQ(Hex(Px(part.get(), x, y)), Hex(want)) << fast << " clip " << clip.mX << "," << clip.mY << " at "
                                                          << x << "," << y;
        }
    }
  }
}

TEST(Stretch, MirroredStretchReversesRows) {
  ImagePtr src(FromPixels(2, 1, {0xFFFF0000, 0xFF0000FF}));
  ImagePtr dest(Solid(4, 1, 0xFF000000));
  dest->StretchBltMirror(src.get(), Rect(0, 0, 4, 1), Rect(0, 0, 2, 1), kNoClip, Color::White, 0, true);
  EXPECT_EQ(Px(dest.get(), 0, 0), 0xFF0000FEu);
  EXPECT_EQ(Px(dest.get(), 3, 0), 0xFFFE0000u);
}

TEST(Rotated, SubPixelBlitAtWholePixelsDrawsAllButTheLastRowAndColumn) {
  ImagePtr src(Solid(4, 3, 0xFFFFFFFF));
  ImagePtr dest(Solid(8, 8, 0xFF000000));
  dest->BltF(src.get(), 2, 1, Rect(0, 0, 4, 3), kNoClip, Color::White, 0);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      bool in = x >= 2 && x < 5 && y >= 1 && y < 3;  // the 2 x 2 neighbourhood must fit the source
      EXPECT_EQ(Px(dest.get(), x, y), in ? 0xFFFDFDFDu : 0xFF000000u) << x << "," << y;
    }
}

TEST(Rotated, QuarterTurnMovesQuadrantsCounterClockwise) {
  std::vector<std::uint32_t> px(64);
  const std::uint32_t tl = 0xFFFF0000, tr = 0xFF00FF00, bl = 0xFF0000FF, br = 0xFFFFFFFF;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) px[y * 8 + x] = y < 4 ? (x < 4 ? tl : tr) : (x < 4 ? bl : br);
  ImagePtr src(FromPixels(8, 8, px));
  ImagePtr dest(Solid(24, 24, 0xFF000000));
  dest->BltRotated(src.get(), 8, 8, Rect(0, 0, 8, 8), kNoClip, Color::White, 0, std::numbers::pi / 2, 4, 4);
  auto near = [&](int x, int y, std::uint32_t want) { return ChannelDiff(Px(dest.get(), x, y), want) <= 3; };
  EXPECT_TRUE(near(10, 10, tr)) << Hex(Px(dest.get(), 10, 10));
  EXPECT_TRUE(near(14, 10, br)) << Hex(Px(dest.get(), 14, 10));
  EXPECT_TRUE(near(10, 14, tl)) << Hex(Px(dest.get(), 10, 14));
  EXPECT_TRUE(near(14, 14, bl)) << Hex(Px(dest.get(), 14, 14));
  EXPECT_EQ(Px(dest.get(), 2, 2), 0xFF000000u);
}

TEST(Rotated, TintAdditiveAndClip) {
  ImagePtr src(Solid(6, 6, 0xFFFFFFFF));
  ImagePtr tinted(Solid(10, 10, 0xFF000000));
  tinted->BltF(src.get(), 2, 2, Rect(0, 0, 6, 6), kNoClip, Color(255, 0, 0), 0);
  EXPECT_EQ(Hex(Px(tinted.get(), 4, 4)), Hex(0xFFFC0000));

  ImagePtr add(Solid(10, 10, 0x40102030));
  add->BltF(src.get(), 2, 2, Rect(0, 0, 6, 6), kNoClip, Color::White, 1);
  EXPECT_EQ(Px(add.get(), 4, 4) >> 24, 0x40u);
  EXPECT_EQ(Px(add.get(), 4, 4) & 0xFFFFFF, 0xFFFFFFu);

  ImagePtr clipped(Solid(10, 10, 0xFF000000));
  clipped->BltRotated(src.get(), 2, 2, Rect(0, 0, 6, 6), Rect(4, 0, 2, 10), Color::White, 0, 0.3, 3, 3);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      if (x < 4 || x >= 6) {
        ASSERT_EQ(Px(clipped.get(), x, y), 0xFF000000u) << x << "," << y;
      }
    }
  EXPECT_NE(Px(clipped.get(), 4, 4), 0xFF000000u);
}

TEST(Rotated, HalfCoveredPixelsBlendOverTransparentDestinations) {
  ImagePtr src(Solid(4, 4, 0xFFFFFFFF));
  ImagePtr dest(Solid(8, 8, 0x00000000));
  dest->BltF(src.get(), 2.5f, 2, Rect(0, 0, 4, 4), kNoClip, Color::White, 0);
  std::uint32_t p = Px(dest.get(), 3, 3);
  EXPECT_EQ(p >> 24, 255u);  // both neighbours opaque: full weight
  ImagePtr edge(FromPixels(3, 3, {0xFFFFFFFF, 0x00000000, 0, 0xFFFFFFFF, 0, 0, 0, 0, 0}));
  ImagePtr d2(Solid(6, 6, 0x00000000));
  d2->BltF(edge.get(), 1.5f, 1, Rect(0, 0, 3, 3), kNoClip, Color::White, 0);
  std::uint32_t q = Px(d2.get(), 2, 1);
  EXPECT_GT(q >> 24, 100u);
  EXPECT_LT(q >> 24, 160u);
}

TEST(Matrix, IdentityMatrixCopiesTexelsOneToOne) {
  ImagePtr src(FromPixels(4, 4, Gradient(4, 4)));
  ImagePtr dest(Solid(8, 8, 0xFF000000));
  Matrix3 identity;
  dest->BltMatrix(src.get(), 4, 4, identity, kNoClip, Color::White, 0, Rect(0, 0, 4, 4), false);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      bool in = x >= 2 && x < 6 && y >= 2 && y < 6;
      ASSERT_EQ(Hex(Px(dest.get(), x, y)), Hex(in ? Px(src.get(), x - 2, y - 2) : 0xFF000000u)) << x << "," << y;
    }
  EXPECT_TRUE(src->mDrawn);
}

TEST(Matrix, RotationScaleTintClipAndBlend) {
  ImagePtr src(FromPixels(2, 1, {0xFFFF0000, 0xFF0000FF}));
  ImagePtr dest(Solid(8, 8, 0xFF000000));
  Matrix3 m;
  m.Scale(2, 2);
  m.Rotate(std::numbers::pi_v<float> / 2);  // red left half goes down, blue right half up
  dest->BltMatrix(src.get(), 4, 4, m, kNoClip, Color::White, 0, Rect(0, 0, 2, 1), false);
  EXPECT_EQ(Px(dest.get(), 3, 5), 0xFFFF0000u);
  EXPECT_EQ(Px(dest.get(), 3, 2), 0xFF0000FFu);

  ImagePtr half(Solid(4, 4, 0x80FFFFFF));
  ImagePtr d2(Solid(8, 8, 0xFF000000));
  Matrix3 id;
  d2->BltMatrix(half.get(), 4, 4, id, Rect(0, 0, 4, 8), Color(255, 255, 255, 255), 0, Rect(0, 0, 4, 4), false);
  EXPECT_EQ(Hex(Px(d2.get(), 3, 3)), Hex(0xFF7F7F7F));
  EXPECT_EQ(Px(d2.get(), 4, 3), 0xFF000000u);  // clipped away

  ImagePtr d3(Solid(8, 8, 0xFF000000));
  ImagePtr white(Solid(4, 4, 0xFFFFFFFF));
  d3->BltMatrix(white.get(), 4, 4, id, kNoClip, Color(0, 255, 0, 255), 0, Rect(0, 0, 4, 4), false);
  EXPECT_EQ(Px(d3.get(), 3, 3), 0xFF00FF00u);
}

TEST(Triangles, TexturedAndVertexColouredTriangles) {
  ImagePtr dest(Solid(8, 8, 0xFF000000));
  TriVertex tris[1][3] = {{{0, 0, 0, 0, 0xFFFF0000}, {8, 0, 0, 0, 0xFFFF0000}, {0, 8, 0, 0, 0xFFFF0000}}};
  dest->BltTrianglesTex(nullptr, tris, 1, kNoClip, Color::White, 0, 0, 0, false);
  EXPECT_EQ(Px(dest.get(), 1, 1), 0xFFFF0000u);
  EXPECT_EQ(Px(dest.get(), 7, 7), 0xFF000000u);

  ImagePtr tex(Solid(2, 2, 0xFF00FF00));
  ImagePtr d2(Solid(8, 8, 0xFF000000));
  TriVertex uv[1][3] = {{{0, 0, 0, 0, 0}, {8, 0, 1, 0, 0}, {0, 8, 0, 1, 0}}};
  d2->BltTrianglesTex(tex.get(), uv, 1, kNoClip, Color::White, 0, 1, 0, false);
  EXPECT_EQ(Px(d2.get(), 2, 1), 0xFF00FF00u);  // colour 0 vertices: the texture alone
  EXPECT_EQ(Px(d2.get(), 0, 1), 0xFF000000u);  // moved right by the offset
}

// Random geometry, sizes and clip rectangles: run under the address sanitizer, any read or
// write outside the source or destination fails the build's tests.
TEST(TransformSweep, RandomGeometryStaysInsideBothImages) {
  std::mt19937 rng(1234);
  auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto unf = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  for (int iter = 0; iter < 300; ++iter) {
    int sw = uni(1, 9), sh = uni(1, 9);
    ImagePtr src(FromPixels(sw, sh, Gradient(sw, sh)));
    if (iter % 3 == 0) src->Palletize();
    ImagePtr dest(Solid(uni(1, 20), uni(1, 20), iter % 2 ? 0xFF000000 : 0x00000000));
    Rect srcRect(uni(-2, sw), uni(-2, sh), uni(0, sw + 2), uni(0, sh + 2));
    Rect clip(uni(-5, 20), uni(-5, 20), uni(-2, 30), uni(-2, 30));
    Rect destRect(uni(-30, 30), uni(-30, 30), uni(0, 60), uni(0, 60));
    Color color = iter % 4 == 0 ? Color::White : Color(uni(0, 255), uni(0, 255), uni(0, 255), uni(0, 255));
    int mode = uni(0, 1);
    dest->StretchBlt(src.get(), destRect, srcRect, clip, color, mode, iter % 2 == 0);
    dest->StretchBltMirror(src.get(), destRect, srcRect, clip, color, mode, iter % 2 == 1);
    dest->BltRotated(src.get(), static_cast<float>(unf(-20, 30)), static_cast<float>(unf(-20, 30)), srcRect, clip,
                     color, mode, unf(-7, 7), static_cast<float>(unf(-5, 10)), static_cast<float>(unf(-5, 10)));
    dest->Blt(src.get(), uni(-10, 20), uni(-10, 20), srcRect, color, mode);
    dest->BltMirror(src.get(), uni(-10, 20), uni(-10, 20), srcRect, color, mode);
    Matrix3 m;
    m.Rotate(static_cast<float>(unf(-4, 4)));
    m.Scale(static_cast<float>(unf(-3, 3)), static_cast<float>(unf(-3, 3)));
    dest->BltMatrix(src.get(), static_cast<float>(unf(-10, 30)), static_cast<float>(unf(-10, 30)), m, clip, color,
                    mode, srcRect, iter % 2 == 0);
    dest->DrawLineAA(unf(-30, 30), unf(-30, 30), unf(-30, 30), unf(-30, 30), color, 0);
    dest->DrawLine(unf(-30, 30), unf(-30, 30), unf(-30, 30), unf(-30, 30), color, mode);
    ASSERT_EQ(dest->GetBits()[dest->mWidth * dest->mHeight], MEMORYIMAGE_GUARD_WORD);
  }
}
