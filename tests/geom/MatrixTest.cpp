#include "geom/Matrix.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>

namespace {

Vertex4 Transform(float x, float y, float z) {
  Vertex4 in{x, y, z, 1.0f};
  Vertex4 out{};
  TransformPoints(&out, &in, 1);
  return out;
}

void ExpectNear(const Vertex4& p, float x, float y, float z) {
  EXPECT_NEAR(p.x, x, 1e-5f);
  EXPECT_NEAR(p.y, y, 1e-5f);
  EXPECT_NEAR(p.z, z, 1e-5f);
}

TEST(Matrix, RotationsTurnRightHanded) {
  LoadMatrix(MakeRotationZ(90.0f));
  ExpectNear(Transform(1, 0, 0), 0, 1, 0);  // X turns towards Y
  LoadMatrix(MakeRotationX(90.0f));
  ExpectNear(Transform(0, 1, 0), 0, 0, 1);  // Y turns towards Z
  LoadMatrix(MakeRotationY(90.0f));
  ExpectNear(Transform(0, 0, 1), 1, 0, 0);  // Z turns towards X
  ExpectNear(Transform(1, 0, 0), 0, 0, -1);
  LoadMatrix(MakeTranslation(1.5f, -2.0f, 7.0f));
  ExpectNear(Transform(1, 1, 1), 2.5f, -1.0f, 8.0f);
}

TEST(Matrix, LaterMultipliedTransformationActsLater) {
  LoadMatrix(MakeRotationZ(90.0f));
  MultMatrix(MakeTranslation(5.0f, 0.0f, 0.0f));
  ExpectNear(Transform(1, 0, 0), 5, 1, 0);  // rotated first, then moved
  LoadMatrix(MakeTranslation(5.0f, 0.0f, 0.0f));
  MultMatrix(MakeRotationZ(90.0f));
  ExpectNear(Transform(1, 0, 0), 0, 6, 0);  // moved first, then rotated
  LoadMatrix(MakeRotationZ(90.0f));
  MultMatrix(MakeRotationX(90.0f));
  ExpectNear(Transform(1, 0, 0), 0, 0, 1);  // Z takes X to Y, then X takes Y to Z
}

TEST(Matrix, BuildersKeepOneStaticResultEach) {
  Matrix4* first = MakeRotationY(10.0f);
  const float firstCos = first->m[0][0];
  Matrix4* second = MakeRotationY(80.0f);
  EXPECT_EQ(first, second);
  EXPECT_NE(second->m[0][0], firstCos);
  EXPECT_FLOAT_EQ(second->m[0][0], std::cos(80.0f * kDegreesToRadians));

  Matrix4* results[] = {MakeRotationX(1), MakeRotationY(1), MakeRotationZ(1), MakeTranslation(1, 2, 3)};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NE(results[i], &CurrentMatrix);
    for (int j = i + 1; j < 4; ++j) EXPECT_NE(results[i], results[j]);
  }
  // Every element is rewritten: a translation after a rotation leaves no trace of the rotation.
  Matrix4* t = MakeTranslation(4, 5, 6);
  const float expected[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 4, 5, 6, 1};
  EXPECT_EQ(std::memcmp(t->m, expected, sizeof expected), 0);
}

TEST(Matrix, AnglesUseTheEightDigitConstant) {
  // 2500 degrees (the figure's spin after 1000 frames) is where the constant's shortfall from
  // pi / 180 shows in the sixth digit.
  const float degrees = 2500.0f;
  const float angle = degrees * 0.01745328f;
  const float exactAngle = static_cast<float>(degrees * (3.14159265358979323846 / 180.0));
  ASSERT_NE(std::sin(angle), std::sin(exactAngle));
  Matrix4* m = MakeRotationZ(degrees);
  EXPECT_EQ(m->m[0][0], std::cos(angle));
  EXPECT_EQ(m->m[0][1], std::sin(angle));
  EXPECT_EQ(m->m[1][0], -std::sin(angle));
  EXPECT_EQ(m->m[3][3], 1.0f);
}

TEST(Matrix, MultMatrixSumsInItsOwnOrder) {
  // With A's row all ones, R[0][0] = B00 + B30 + B10 + B20, left to right. The terms are chosen
  // so that any other order rounds differently: 1e8 + 1 is 1e8 in single precision.
  Matrix4 a{};
  for (int c = 0; c < 4; ++c) a.m[0][c] = 1.0f;
  Matrix4 b{};
  b.m[0][0] = 1e8f;
  b.m[1][0] = -1e8f;
  b.m[2][0] = 1.0f;
  b.m[3][0] = 1.0f;
  LoadMatrix(&a);
  MultMatrix(&b);
  EXPECT_EQ(CurrentMatrix.m[0][0], 1.0f);  // (((1e8 + 1) - 1e8) + 1); the plain order gives 2
}

TEST(Matrix, MultMatrixByItselfSquares) {
  LoadMatrix(MakeTranslation(1.0f, 2.0f, 3.0f));
  MultMatrix(&CurrentMatrix);
  ExpectNear(Transform(0, 0, 0), 2, 4, 6);

  LoadMatrix(MakeRotationZ(30.0f));
  MultMatrix(&CurrentMatrix);
  const Matrix4 squared = CurrentMatrix;
  LoadMatrix(MakeRotationZ(60.0f));
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(squared.m[r][c], CurrentMatrix.m[r][c], 1e-6f);
  }
}

TEST(Matrix, TransformPointsInPlaceAndEdgeCounts) {
  LoadMatrix(MakeRotationX(33.0f));
  MultMatrix(MakeTranslation(3.0f, -4.0f, 5.0f));
  Vertex4 points[3] = {{1, 2, 3, 1}, {-4, 5, -6, 1}, {7, 8, 9, 1}};
  Vertex4 separate[3];
  TransformPoints(separate, points, 3);
  TransformPoints(points, points, 3);
  EXPECT_EQ(std::memcmp(points, separate, sizeof points), 0);

  Vertex4 untouched[2] = {{9, 9, 9, 9}, {8, 8, 8, 8}};
  const Vertex4 before[2] = {untouched[0], untouched[1]};
  TransformPoints(untouched, points, 0);
  EXPECT_EQ(std::memcmp(untouched, before, sizeof before), 0);
}

TEST(Matrix, TransformPointsSumsInItsOwnOrder) {
  // x' = y.M10 + z.M20 + x.M00 + M30, left to right.
  Matrix4 m{};
  m.m[0][0] = m.m[1][0] = m.m[2][0] = m.m[3][0] = 1.0f;
  LoadMatrix(&m);
  const Vertex4 p = Transform(1.0f, 1e8f, -1e8f);
  EXPECT_EQ(p.x, 2.0f);  // ((1e8 - 1e8) + 1) + 1; the plain x + y + z + t order gives 1
}

TEST(Matrix, TransformPointsCarriesWBitForBit) {
  LoadMatrix(MakeRotationY(45.0f));
  MultMatrix(MakeTranslation(1, 2, 3));
  const uint32_t patterns[] = {0x7F800001u /* signalling NaN */, 0xFFC00001u, 0x00000001u /* denormal */,
                               0x80000000u, 0x12345678u, 0xFFFFFFFFu, std::bit_cast<uint32_t>(1.0f)};
  Vertex4 in[std::size(patterns)];
  Vertex4 out[std::size(patterns)];
  for (size_t i = 0; i < std::size(patterns); ++i) {
    in[i] = {float(i), 1.0f, -2.0f, 0.0f};
    std::memcpy(&in[i].w, &patterns[i], 4);
  }
  TransformPoints(out, in, static_cast<uint32_t>(std::size(patterns)));
  TransformPoints(in, in, static_cast<uint32_t>(std::size(patterns)));
  for (size_t i = 0; i < std::size(patterns); ++i) {
    uint32_t wOut, wInPlace;
    std::memcpy(&wOut, &out[i].w, 4);
    std::memcpy(&wInPlace, &in[i].w, 4);
    EXPECT_EQ(wOut, patterns[i]) << i;
    EXPECT_EQ(wInPlace, patterns[i]) << i;
  }
}

TEST(Matrix, CrossProduct) {
  const Vector3 x{1, 0, 0}, y{0, 1, 0};
  Vector3 out{};
  CrossProduct(&x, &y, &out);
  EXPECT_EQ(out.x, 0.0f);
  EXPECT_EQ(out.y, 0.0f);
  EXPECT_EQ(out.z, 1.0f);
  CrossProduct(&y, &x, &out);
  EXPECT_EQ(out.z, -1.0f);

  const Vector3 a{2, -3, 5}, b{-1, 4, 0.5f};
  CrossProduct(&a, &b, &out);
  EXPECT_FLOAT_EQ(out.x, -3 * 0.5f - 4 * 5);
  EXPECT_FLOAT_EQ(out.y, -1 * 5 - 2 * 0.5f);
  EXPECT_FLOAT_EQ(out.z, 2 * 4 - (-1) * -3);
  // The result may overwrite an input and still be the true product.
  Vector3 aliased = a;
  CrossProduct(&aliased, &b, &aliased);
  EXPECT_EQ(std::memcmp(&aliased, &out, sizeof out), 0);
}

}  // namespace
