// Triangle meshes for the presentation's 3D objects, the builders they are made from, the checks
// every object must pass, and the P3D text they are written as.
//
// Coordinates are the P3D file's own: x to the right, y away from the viewer (depth), z up. The
// loader maps them to view space (x, -z, y) after scaling, a rotation, so handedness is kept: a
// face is seen from the side its normal (v1 - v0) x (v2 - v0) points to, and the scenes' screen
// area test keeps exactly those faces. Closed parts are therefore wound with normals outward.
#pragma once

#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace mkdata {

struct Vec3 {
  double x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(double s, Vec3 a) { return a * s; }
inline double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
inline Vec3 Normalized(Vec3 a) {
  const double l = Length(a);
  return l > 0 ? a * (1.0 / l) : Vec3{0, 0, 1};
}

struct Uv {
  double u = 0, v = 0;  // 0 ... 1; v = 1 is the texture's top row
};

struct MeshFace {
  std::array<int, 3> v{};
  std::array<Uv, 3> uv{};
  int texture = 0;
};

struct Mesh {
  std::vector<std::string> textures;  // texture file names, indexed by MeshFace::texture
  std::vector<Vec3> vertices;
  std::vector<MeshFace> faces;

  int AddVertex(Vec3 p) {
    vertices.push_back(p);
    return static_cast<int>(vertices.size()) - 1;
  }
  void AddFace(int a, int b, int c, Uv ua = {}, Uv ub = {}, Uv uc = {}, int texture = 0) {
    faces.push_back({{a, b, c}, {ua, ub, uc}, texture});
  }
  // Adds `part`'s vertices and faces (face texture indices are kept as they are).
  void Append(const Mesh& part);
  // Sets every face's texture index.
  void SetTexture(int texture);
};

// ---- Builders. Each returns one closed part wound outward unless it says otherwise. ----

// Rings of points joined into a band: ring i+1 follows ring i; every ring has the same number of
// points, or exactly one (a pole, joined by a fan). Rings close around (point n-1 joins point 0).
// Open ends stay open. u runs around (0 ... 1 at the seam), v along the rings (0 ... 1).
// The result is then oriented outward if it is closed.
Mesh RingBand(const std::vector<std::vector<Vec3>>& rings);

// A surface of revolution about the z axis from profile points (radius, z); a profile point with
// radius 0 becomes a pole. Open ends (radius above 0 at either end) get a flat cap.
Mesh Lathe(const std::vector<std::array<double, 2>>& profile, int segments);

// A unit sphere with `rings` latitude bands and `segments` around, poles on z.
Mesh UvSphere(int rings, int segments);

// An icosahedron subdivided `level` times and pushed out to the unit sphere.
Mesh IcoSphere(int level);

// An axis-aligned box.
Mesh Box(Vec3 lo, Vec3 hi);

// A tube along the curve `path` (sampled: at least two points, no two equal), with radius
// `radius(t)` for t = 0 ... 1 along it and `sides` points around, frames carried along the curve
// without twisting. Both ends are closed by half-ellipsoid caps `capRings` rings deep (the cap
// reaches `capLength` times the end radius beyond the end point).
Mesh Tube(const std::vector<Vec3>& path, const std::function<double(double)>& radius, int sides,
          int capRings = 4, double capLength = 1.0);

// A tube around the closed curve `loop` (its last point joins its first). The cross-section
// `section` (points in the plane of the frame's normal and binormal, symmetric under a half turn
// if `halfTwist`) turns by `halfTwist ? pi : 0` over the loop plus whatever undoes the frames'
// own turn, so that the tube closes up; with a half twist point j joins point j + n/2.
Mesh LoopTube(const std::vector<Vec3>& loop, const std::vector<std::array<double, 2>>& section,
              bool halfTwist);

// Catmull-Rom spline through `points`, `perSpan` samples per span, ending at the last point.
std::vector<Vec3> Spline(const std::vector<Vec3>& points, int perSpan);

// ---- Editing. ----

// Applies `f` to every vertex, then orients each closed mesh outward again.
void TransformVertices(Mesh& mesh, const std::function<Vec3(Vec3)>& f);
// Reverses every face (corners 1 and 2 swapped, with their texture coordinates).
void FlipFaces(Mesh& mesh);
// Six times the signed volume (positive when a closed mesh is wound outward).
double SignedVolume6(const Mesh& mesh);
// Area-weighted vertex normals (unit length).
std::vector<Vec3> VertexNormals(const Mesh& mesh);

// ---- Checks. ----

struct MeshCheck {
  int badIndices = 0;        // corners outside the vertex array
  int degenerateFaces = 0;   // repeated corners, or an area below 1e-6 square units
  int duplicateFaces = 0;    // the same three corners as another face, in any order
  int openEdges = 0;         // edges used by one face only
  int overusedEdges = 0;     // edges used by more than two faces
  int misorientedEdges = 0;  // edges run the same way by both of their faces
  double volume6 = 0;        // SignedVolume6
  bool Closed() const { return openEdges == 0 && overusedEdges == 0 && misorientedEdges == 0; }
  std::string Describe() const;
};

MeshCheck CheckMesh(const Mesh& mesh);

// The P3D text of `mesh`.
std::string P3dText(const Mesh& mesh);

}  // namespace mkdata
