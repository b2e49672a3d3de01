// Colour, rectangle and matrix arithmetic.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "framework/graphics/Color.h"
#include "framework/graphics/Matrix3.h"
#include "framework/graphics/Rect.h"

namespace Orvo {

const Color Color::Black(0, 0, 0, 255);
const Color Color::White(255, 255, 255, 255);

Color::Color(int argb)
    : mRed((argb >> 16) & 0xFF), mGreen((argb >> 8) & 0xFF), mBlue(argb & 0xFF), mAlpha((argb >> 24) & 0xFF) {
  if (mAlpha == 0) mAlpha = 255;
}

int Color::ToInt() const {
  // Built unsigned so that an alpha of 128 and above is not a signed overflow.
  std::uint32_t v = static_cast<std::uint32_t>(mAlpha);
  v = (v << 8) | static_cast<std::uint32_t>(mRed);
  v = (v << 8) | static_cast<std::uint32_t>(mGreen);
  v = (v << 8) | static_cast<std::uint32_t>(mBlue);
  return static_cast<int>(v);
}

Rect Rect::Intersection(const Rect& o) const {
  // 64-bit edges so that huge rectangles cannot overflow.
  long long left = std::max(mX, o.mX);
  long long top = std::max(mY, o.mY);
  long long right = std::min(static_cast<long long>(mX) + mWidth, static_cast<long long>(o.mX) + o.mWidth);
  long long bottom = std::min(static_cast<long long>(mY) + mHeight, static_cast<long long>(o.mY) + o.mHeight);
  if (right - left < 0 || bottom - top < 0) return Rect();
  return Rect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
              static_cast<int>(bottom - top));
}

FRect FRect::Intersection(const FRect& o) const {
  double left = std::max(mX, o.mX);
  double top = std::max(mY, o.mY);
  double right = std::min(mX + mWidth, o.mX + o.mWidth);
  double bottom = std::min(mY + mHeight, o.mY + o.mHeight);
  if (right - left < 0 || bottom - top < 0) return FRect();
  return FRect(left, top, right - left, bottom - top);
}

void Matrix3::LoadIdentity() {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m[i][j] = (i == j) ? 1.0f : 0.0f;
}

Matrix3 Matrix3::Multiply(const Matrix3& b) const {
  Matrix3 r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] = m[i][0] * b.m[0][j] + m[i][1] * b.m[1][j] + m[i][2] * b.m[2][j];
  return r;
}

Vector2 Matrix3::TransformPoint(float x, float y) const {
  return Vector2{m[0][0] * x + m[0][1] * y + m[0][2], m[1][0] * x + m[1][1] * y + m[1][2]};
}

Vector3 Matrix3::TransformVector(float x, float y, float z) const {
  return Vector3{m[0][0] * x + m[0][1] * y + m[0][2] * z, m[1][0] * x + m[1][1] * y + m[1][2] * z,
                 m[2][0] * x + m[2][1] * y + m[2][2] * z};
}

void Matrix3::Translate(float tx, float ty) {
  Matrix3 t;
  t.m[0][2] = tx;
  t.m[1][2] = ty;
  *this = t.Multiply(*this);
}

void Matrix3::Rotate(float angle) {
  Matrix3 r;
  float c = std::cos(angle);
  float s = std::sin(angle);
  r.m[0][0] = c;
  r.m[0][1] = s;
  r.m[1][0] = -s;
  r.m[1][1] = c;
  *this = r.Multiply(*this);
}

void Matrix3::Scale(float sx, float sy) {
  Matrix3 s;
  s.m[0][0] = sx;
  s.m[1][1] = sy;
  *this = s.Multiply(*this);
}

}  // namespace Orvo
