#include "geom/Matrix.h"

#include <cmath>
#include <cstring>

Matrix4 CurrentMatrix{};

namespace {

Matrix4 RotationXResult;
Matrix4 RotationYResult;
Matrix4 RotationZResult;
Matrix4 TranslationResult;

// Fills `out` with the given rows; every element is written.
void SetRows(Matrix4& out, const float (&rows)[4][4]) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) out.m[r][c] = rows[r][c];
  }
}

}  // namespace

Matrix4* MakeRotationX(float degrees) {
  const float radians = degrees * kDegreesToRadians;
  const float c = std::cos(radians);
  const float s = std::sin(radians);
  SetRows(RotationXResult, {{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, 0}, {0, 0, 0, 1}});
  return &RotationXResult;
}

Matrix4* MakeRotationY(float degrees) {
  const float radians = degrees * kDegreesToRadians;
  const float c = std::cos(radians);
  const float s = std::sin(radians);
  SetRows(RotationYResult, {{c, 0, -s, 0}, {0, 1, 0, 0}, {s, 0, c, 0}, {0, 0, 0, 1}});
  return &RotationYResult;
}

Matrix4* MakeRotationZ(float degrees) {
  const float radians = degrees * kDegreesToRadians;
  const float c = std::cos(radians);
  const float s = std::sin(radians);
  SetRows(RotationZResult, {{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}});
  return &RotationZResult;
}

Matrix4* MakeTranslation(float tx, float ty, float tz) {
  SetRows(TranslationResult, {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {tx, ty, tz, 1}});
  return &TranslationResult;
}

void LoadMatrix(const Matrix4* m) { CurrentMatrix = *m; }

void MultMatrix(const Matrix4* m) {
  const Matrix4 b = *m;  // m may be CurrentMatrix itself
  const Matrix4& a = CurrentMatrix;
  Matrix4 r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      // This summation order is part of the animation's exact rounding.
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][3] * b.m[3][j] + a.m[i][1] * b.m[1][j] +
                  a.m[i][2] * b.m[2][j];
    }
  }
  CurrentMatrix = r;
}

void TransformPoints(Vertex4* dst, const Vertex4* src, uint32_t count) {
  const Matrix4 m = CurrentMatrix;
  for (uint32_t i = 0; i < count; ++i) {
    // Read the whole source point before writing, so dst may be src. w moves as raw bits: it
    // may hold a pattern that is not a float, which a float load and store could alter.
    const float x = src[i].x, y = src[i].y, z = src[i].z;
    uint32_t wBits;
    std::memcpy(&wBits, &src[i].w, sizeof wBits);
    dst[i].x = y * m.m[1][0] + z * m.m[2][0] + x * m.m[0][0] + m.m[3][0];
    dst[i].y = y * m.m[1][1] + z * m.m[2][1] + x * m.m[0][1] + m.m[3][1];
    dst[i].z = y * m.m[1][2] + z * m.m[2][2] + x * m.m[0][2] + m.m[3][2];
    std::memcpy(&dst[i].w, &wBits, sizeof wBits);
  }
}

void CrossProduct(const Vector3* a, const Vector3* b, Vector3* out) {
  const float x = a->y * b->z - b->y * a->z;
  const float y = b->x * a->z - a->x * b->z;
  const float z = a->x * b->y - b->x * a->y;
  *out = Vector3{x, y, z};
}
