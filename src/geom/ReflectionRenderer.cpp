#include "geom/ReflectionRenderer.h"

#include "geom/Projection.h"
#include "geom/ScreenArea.h"

#include <glide.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr float kMapCentre = 128.0f;
constexpr float kMapRadius = 126.0f;

// The three corners of the triangle being drawn; fields other than those written stay zero.
GrVertex Corners[3];

// Per-vertex normal sums of the smooth variant (x, y, z, face count) and the resulting map
// coordinates. Kept between calls at the largest size needed: every frame of the enviro scene
// needs them, so one allocation serves the whole run.
struct NormalSum {
  float x, y, z, faces;
};
std::vector<NormalSum> NormalSums;
std::vector<float> MapS, MapT;
// The smooth variant's corners, projected once per vertex (a vertex serves about six faces),
// and whether each lies in front of the eye.
std::vector<GrVertex> ProjectedCorners;
std::vector<uint8_t> InFront;

Vector3 Difference(const Vertex4& a, const Vertex4& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

Vector3 FaceNormal(const Vertex4& p0, const Vertex4& p1, const Vertex4& p2) {
  const Vector3 e1 = Difference(p1, p0);
  const Vector3 e2 = Difference(p2, p0);
  Vector3 n;
  CrossProduct(&e1, &e2, &n);
  return n;
}

// Common steps 1 to 4 for one corner: depth, colour, 1/w and the screen position truncated to
// whole pixels. False when the corner is at or behind the eye.
bool ProjectCorner(const Vertex4& p, float alpha, GrVertex& corner) {
  if (!(p.z + kReflectionEyeDistance > 0.0f)) return false;
  const ScreenPoint screen = ProjectToScreenScaledFirst(p, kReflectionEyeDistance);
  corner.r = corner.g = corner.b = 0.0f;
  corner.a = alpha;
  corner.oow = screen.oow;
  corner.x = screen.x;
  corner.y = screen.y;
  return true;
}

bool ProjectFace(const Vertex4& p0, const Vertex4& p1, const Vertex4& p2, float alpha) {
  return ProjectCorner(p0, alpha, Corners[0]) && ProjectCorner(p1, alpha, Corners[1]) &&
         ProjectCorner(p2, alpha, Corners[2]);
}

void SetMapCoordinates(GrVertex& corner, float s, float t) {
  corner.tmuvtx[0].sow = s * corner.oow;
  corner.tmuvtx[0].tow = t * corner.oow;
}

// Common steps 6 and 7: draws the face if it runs counter-clockwise on the screen and covers
// more than about half a pixel.
void CullAndDraw(const GrVertex& c0, const GrVertex& c1, const GrVertex& c2) {
  if (ScreenArea(c0, c1, c2) > kMinScreenArea) grDrawTriangle(&c0, &c1, &c2);
}

}  // namespace

void DrawEnvMappedObject(const Vertex4* points, const P3dObject* object, float alpha) {
  const auto vertexCount = static_cast<size_t>(object->vertexCount);
  if (NormalSums.size() < vertexCount) {
    NormalSums.resize(vertexCount);
    MapS.resize(vertexCount);
    MapT.resize(vertexCount);
    ProjectedCorners.resize(vertexCount);
    InFront.resize(vertexCount);
  }
  std::fill_n(NormalSums.begin(), vertexCount, NormalSum{0.0f, 0.0f, 0.0f, 0.0f});

  const P3dFace* faces = object->faces;
  for (int32_t i = 0; i < object->faceCount; ++i) {
    const P3dFace& face = faces[i];
    const Vector3 n = FaceNormal(points[face.vertex0], points[face.vertex1], points[face.vertex2]);
    for (int32_t v : {face.vertex0, face.vertex1, face.vertex2}) {
      NormalSum& sum = NormalSums[static_cast<size_t>(v)];
      sum.x += n.x;
      sum.y += n.y;
      sum.z += n.z;
      sum.faces += 1.0f;
    }
  }

  for (size_t v = 0; v < vertexCount; ++v) {
    const NormalSum& sum = NormalSums[v];
    if (sum.faces == 0.0f) continue;
    const float x = sum.x / sum.faces;
    const float y = sum.y / sum.faces;
    const float z = sum.z / sum.faces;
    const float length = std::sqrt(x * x + y * y + z * z);
    // A normal that sums to nothing looks straight at the viewer: the centre of the map.
    MapS[v] = length > 0.0f ? kMapCentre + kMapRadius * x / length : kMapCentre;
    MapT[v] = length > 0.0f ? kMapCentre + kMapRadius * y / length : kMapCentre;
  }

  // Every corner of a vertex is the same: projected once, then each face in front of the eye
  // culled and drawn from its vertices' corners.
  for (size_t v = 0; v < vertexCount; ++v) {
    GrVertex& corner = ProjectedCorners[v];
    InFront[v] = ProjectCorner(points[v], alpha, corner);
    if (InFront[v]) SetMapCoordinates(corner, MapS[v], MapT[v]);
  }
  for (int32_t i = 0; i < object->faceCount; ++i) {
    const P3dFace& face = faces[i];
    const auto v0 = static_cast<size_t>(face.vertex0), v1 = static_cast<size_t>(face.vertex1),
               v2 = static_cast<size_t>(face.vertex2);
    if (!(InFront[v0] && InFront[v1] && InFront[v2])) continue;
    CullAndDraw(ProjectedCorners[v0], ProjectedCorners[v1], ProjectedCorners[v2]);
  }
}

void DrawFaceMappedObject(const Vertex4* points, const P3dObject* object, float alpha) {
  const P3dFace* faces = object->faces;
  for (int32_t i = 0; i < object->faceCount; ++i) {
    const P3dFace& face = faces[i];
    const Vertex4& p0 = points[face.vertex0];
    const Vertex4& p1 = points[face.vertex1];
    const Vertex4& p2 = points[face.vertex2];
    if (!ProjectFace(p0, p1, p2, alpha)) continue;
    const Vector3 n = FaceNormal(p0, p1, p2);
    const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    // A face without a normal has no screen area and is culled below; any finite value serves.
    const float nx = length > 0.0f ? kMapRadius * n.x / length : 0.0f;
    const float ny = length > 0.0f ? kMapRadius * n.y / length : 0.0f;
    SetMapCoordinates(Corners[0], kMapCentre + nx, kMapCentre + ny);
    SetMapCoordinates(Corners[1], kMapCentre + 0.075f * nx, kMapCentre + ny);
    SetMapCoordinates(Corners[2], kMapCentre + nx, kMapCentre + 0.075f * ny);
    CullAndDraw(Corners[0], Corners[1], Corners[2]);
  }
}
