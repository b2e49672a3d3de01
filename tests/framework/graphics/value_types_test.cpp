// Colour packing, rectangle intersection and the matrix's order of composition.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "framework/graphics/Color.h"
#include "framework/graphics/Matrix3.h"
#include "framework/graphics/Rect.h"

using namespace Orvo;

TEST(Color, PackedValuesReadAlphaZeroAsOpaque) {
  struct Case {
    std::uint32_t packed;
    int r, g, b, a;
  } cases[] = {
      {0x00000000, 0, 0, 0, 255},
      {0x80FF0000, 255, 0, 0, 128},
      {0x00123456, 0x12, 0x34, 0x56, 255},
      {0x01FFFFFF, 255, 255, 255, 1},
  };
  for (const Case& c : cases) {
    Color col(static_cast<int>(c.packed));
    EXPECT_EQ(col, Color(c.r, c.g, c.b, c.a)) << std::hex << c.packed;
  }
}

TEST(Color, ToIntPacksWithoutMasking) {
  EXPECT_EQ(static_cast<std::uint32_t>(Color(255, 0, 0, 128).ToInt()), 0x80FF0000u);
  EXPECT_EQ(static_cast<std::uint32_t>(Color(1, 2, 3).ToInt()), 0xFF010203u);
  // A red of 256 spills its ninth bit into the alpha byte.
  EXPECT_EQ(static_cast<std::uint32_t>(Color(256, 0, 0, 254).ToInt()), 0xFF000000u);
}

TEST(Color, WhiteIsOnlyOpaqueWhite) {
  EXPECT_EQ(Color(255, 255, 255), Color::White);
  EXPECT_NE(Color(255, 255, 255, 254), Color::White);
  EXPECT_EQ(Color(), Color::Black);
  int rgb[3] = {1, 2, 3};
  EXPECT_EQ(Color(rgb), Color(1, 2, 3, 255));
}

TEST(Rect, Intersection) {
  struct Case {
    Rect a, b, want;
  } cases[] = {
      {{0, 0, 10, 10}, {10, 0, 5, 5}, {10, 0, 0, 5}},  // touching: zero width, kept in place
      {{0, 0, 10, 10}, {11, 0, 5, 5}, {0, 0, 0, 0}},   // apart: all zero
      {{0, 0, 10, 10}, {2, 3, 4, 4}, {2, 3, 4, 4}},    // contained
      {{-5, -5, 10, 10}, {0, 0, 10, 10}, {0, 0, 5, 5}},
      {{0, 0, 10, 10}, {3, 12, 2, 2}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.a.Intersection(c.b), c.want);
    EXPECT_EQ(c.b.Intersection(c.a), c.want);
    FRect fa(c.a.mX, c.a.mY, c.a.mWidth, c.a.mHeight), fb(c.b.mX, c.b.mY, c.b.mWidth, c.b.mHeight);
    FRect fw(c.want.mX, c.want.mY, c.want.mWidth, c.want.mHeight);
    EXPECT_EQ(fa.Intersection(fb), fw);
  }
  EXPECT_EQ(FRect(0, 0, 1.5, 1.5).Intersection(FRect(1, 1, 2, 2)), FRect(1, 1, 0.5, 0.5));
}

TEST(Matrix3, BuildingOperationsApplyAfterThoseHeld) {
  Matrix3 m;
  m.Translate(2, 3);
  Vector2 p = m.TransformPoint(1, 1);
  EXPECT_FLOAT_EQ(p.x, 3);
  EXPECT_FLOAT_EQ(p.y, 4);
  m.Scale(2, 2);
  p = m.TransformPoint(1, 1);
  EXPECT_FLOAT_EQ(p.x, 6);
  EXPECT_FLOAT_EQ(p.y, 8);

  Matrix3 r;
  r.Rotate(std::numbers::pi_v<float> / 2);
  p = r.TransformPoint(1, 0);  // counter-clockwise on a y-down screen
  EXPECT_NEAR(p.x, 0, 1e-6);
  EXPECT_NEAR(p.y, -1, 1e-6);

  // Rotating about a centre: translate to the origin, rotate, translate back.
  Matrix3 c;
  c.Translate(-5, -5);
  c.Rotate(std::numbers::pi_v<float>);
  c.Translate(5, 5);
  p = c.TransformPoint(6, 5);
  EXPECT_NEAR(p.x, 4, 1e-5);
  EXPECT_NEAR(p.y, 5, 1e-5);
}

TEST(Matrix3, MultiplyAndFullVectorTransform) {
  Matrix3 a, b;
  float va[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9}, vb[9] = {9, 8, 7, 6, 5, 4, 3, 2, 1};
  for (int i = 0; i < 9; ++i) {
    a.m[i / 3][i % 3] = va[i];
    b.m[i / 3][i % 3] = vb[i];
  }
  Matrix3 r = a * b;
  float want[9] = {30, 24, 18, 84, 69, 54, 138, 114, 90};
  for (int i = 0; i < 9; ++i) EXPECT_FLOAT_EQ(r.m[i / 3][i % 3], want[i]);
  Vector3 v = a.TransformVector(1, 0, 2);
  EXPECT_FLOAT_EQ(v.x, 7);
  EXPECT_FLOAT_EQ(v.y, 16);
  EXPECT_FLOAT_EQ(v.z, 25);  // the third row takes part, unlike TransformPoint
}
