// The 3x3 float matrix that carries an affine transform into the matrix blits and the
// 3D drawing path. Row-major m[row][column]; points are column vectors (x, y, 1). Every
// building operation pre-multiplies: the new transform applies after those already held.
#pragma once

namespace Orvo {

struct Vector2 {
  float x = 0;
  float y = 0;
};

struct Vector3 {
  float x = 0;
  float y = 0;
  float z = 0;
};

class Matrix3 {
 public:
  float m[3][3];

  Matrix3() { LoadIdentity(); }

  void LoadIdentity();
  Matrix3 Multiply(const Matrix3& b) const;
  Matrix3 operator*(const Matrix3& b) const { return Multiply(b); }
  // Uses the first two rows only.
  Vector2 TransformPoint(float x, float y) const;
  Vector3 TransformVector(float x, float y, float z) const;

  void Translate(float tx, float ty);
  // Radians; with y pointing down, a positive angle turns counter-clockwise on screen.
  void Rotate(float angle);
  void Scale(float sx, float sy);
};

}  // namespace Orvo
