// The program's transformation kit: row-major 4 x 4 single-precision matrices applied to row
// vectors (p' = p . M, translation in row 3), one global current transformation, a batch point
// transformer and a cross product. Angles are in degrees. No stack, no inverse, no projection:
// each renderer divides by depth itself.
#pragma once

#include <cstdint>

struct Matrix4 {
  float m[4][4];  // m[row][column]; the (4 * row + column)-th float
};

struct Vector3 {
  float x, y, z;
};

// A point as the renderers carry it. w takes no part in any arithmetic: it is copied bit for bit,
// so callers may keep any 32-bit pattern there (loaded objects hold 1.0).
struct Vertex4 {
  float x, y, z, w;
};

static_assert(sizeof(Matrix4) == 64 && sizeof(Vertex4) == 16 && sizeof(Vector3) == 12);

// Degrees to radians: eight digits, a hair smaller than the float nearest to pi / 180. The
// animation of every 3D scene is defined with this value, so it is not "corrected".
inline constexpr float kDegreesToRadians = 0.01745328f;

// Loaded by LoadMatrix, updated by MultMatrix, applied by TransformPoints. All zeros at start.
extern Matrix4 CurrentMatrix;

// Each builder owns one static matrix, rewrites all 16 elements on every call and returns it:
// the previous result of the same builder is gone after the next call. Pass it straight on.
Matrix4* MakeRotationX(float degrees);  // turns +Y towards +Z
Matrix4* MakeRotationY(float degrees);  // turns +Z towards +X
Matrix4* MakeRotationZ(float degrees);  // turns +X towards +Y
Matrix4* MakeTranslation(float tx, float ty, float tz);

// CurrentMatrix = m.
void LoadMatrix(const Matrix4* m);
// CurrentMatrix = CurrentMatrix . m, so the transformation multiplied in last acts on points
// last. m may be CurrentMatrix itself.
void MultMatrix(const Matrix4* m);
// dst[i] = src[i] . CurrentMatrix for i < count, with w copied unchanged. dst may equal src;
// otherwise the arrays must not overlap.
void TransformPoints(Vertex4* dst, const Vertex4* src, uint32_t count);
// out = a x b. out may alias a or b.
void CrossProduct(const Vector3* a, const Vector3* b, Vector3* out);
