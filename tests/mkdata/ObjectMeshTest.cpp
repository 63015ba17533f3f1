// The 3D objects: the mesh builders and checks, the P3D text, and every generated object as the
// scenes will see it: vertex limit, closed and outward where closed, textures that exist, and
// faces that the scenes' screen-area test keeps exactly when they face the eye.
#include "formats/Cel.h"
#include "objects/Mesh.h"
#include "objects/Meshes.h"
#include "objects/ObjectTextures.h"
#include "geom/Matrix.h"
#include "geom/P3d.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <numeric>
#include <set>
#include <string>

namespace mkdata {
namespace {

constexpr double kPi = std::numbers::pi;

TEST(MeshBuilders, AreClosedOutwardAndOfTheRightVolume) {
  struct Case {
    const char* what;
    Mesh mesh;
    double volume;
    double tolerance;  // relative
  };
  std::vector<std::array<double, 2>> circle;
  for (int j = 0; j < 16; ++j) circle.push_back({3 * std::cos(2 * kPi * j / 16), 3 * std::sin(2 * kPi * j / 16)});
  std::vector<Vec3> ring;  // fine enough that a twisted flat section's facets cut off little
  for (int i = 0; i < 256; ++i) ring.push_back({20 * std::cos(2 * kPi * i / 256), 20 * std::sin(2 * kPi * i / 256), 0});
  std::vector<std::array<double, 2>> slab;  // a flat section, symmetric under a half turn
  for (int j = 0; j < 4; ++j) slab.push_back({j < 2 ? 5.0 : -5.0, j == 0 || j == 3 ? -1.0 : 1.0});
  std::vector<Case> cases;
  cases.push_back({"box", Box({-1, -2, -3}, {4, 5, 6}), 5.0 * 7 * 9, 1e-12});
  cases.push_back({"uv sphere", UvSphere(24, 32), 4.0 / 3 * kPi, 0.03});
  cases.push_back({"ico sphere", IcoSphere(3), 4.0 / 3 * kPi, 0.03});
  cases.push_back({"lathe cylinder", Lathe({{2, 0}, {2, 10}}, 64), kPi * 4 * 10, 0.01});
  cases.push_back({"torus", LoopTube(ring, circle, false), 2 * kPi * kPi * 20 * 9, 0.04});
  cases.push_back({"half-twisted slab", LoopTube(ring, slab, true), 2 * kPi * 20 * 20, 0.03});
  cases.push_back({"capped tube", Tube({{0, 0, 0}, {0, 0, 10}}, [](double) { return 1.0; }, 24, 6, 1.0),
                   kPi * 10 + 4.0 / 3 * kPi, 0.03});
  for (const Case& c : cases) {
    const MeshCheck check = CheckMesh(c.mesh);
    EXPECT_TRUE(check.Closed()) << c.what << ": " << check.Describe();
    EXPECT_EQ(check.degenerateFaces, 0) << c.what;
    EXPECT_EQ(check.duplicateFaces, 0) << c.what;
    EXPECT_NEAR(check.volume6 / 6, c.volume, c.volume * c.tolerance) << c.what;
  }
  // A mirror keeps a mesh closed and TransformVertices turns it outward again.
  Mesh mirrored = Box({0, 0, 0}, {1, 2, 3});
  TransformVertices(mirrored, [](Vec3 p) { return Vec3{-p.x, p.y, p.z}; });
  EXPECT_NEAR(SignedVolume6(mirrored), 36.0, 1e-9);
}

TEST(MeshChecks, FindEveryKindOfFault) {
  const Mesh good = Box({0, 0, 0}, {1, 1, 1});
  ASSERT_TRUE(CheckMesh(good).Closed());

  Mesh flipped = good;
  std::swap(flipped.faces[3].v[1], flipped.faces[3].v[2]);
  EXPECT_GT(CheckMesh(flipped).misorientedEdges, 0);

  Mesh holed = good;
  holed.faces.pop_back();
  EXPECT_EQ(CheckMesh(holed).openEdges, 3);

  Mesh doubled = good;
  doubled.faces.push_back(doubled.faces[0]);
  EXPECT_EQ(CheckMesh(doubled).duplicateFaces, 1);
  EXPECT_GT(CheckMesh(doubled).overusedEdges, 0);

  Mesh flat = good;
  flat.faces.push_back({{0, 0, 1}});
  const int mid = flat.AddVertex({0.5, 0, 0});
  flat.faces.push_back({{0, mid, 1}});  // three corners on one line
  EXPECT_EQ(CheckMesh(flat).degenerateFaces, 2);

  Mesh outOfRange = good;
  outOfRange.faces[0].v[2] = 8;
  EXPECT_EQ(CheckMesh(outOfRange).badIndices, 1);

  Mesh inverted = good;
  FlipFaces(inverted);
  EXPECT_TRUE(CheckMesh(inverted).Closed());
  EXPECT_LT(CheckMesh(inverted).volume6, 0);
}

TextureId FirstTexture(const char*) { return 0; }

TEST(P3dText, ReadsBackThroughTheLoader) {
  Mesh mesh = Box({-1, 2, -3}, {4, 5, 6});
  mesh.textures = {"a.cel", "b.cel"};
  mesh.faces[5].texture = 1;
  P3dObject object{};
  ObjectScale = 1.0f;
  ASSERT_EQ(LoadP3dText(P3dText(mesh), &object, FirstTexture), 0);
  ASSERT_EQ(object.vertexCount, 8);
  ASSERT_EQ(object.faceCount, 12);
  EXPECT_EQ(object.textureCount, 2);
  for (int i = 0; i < 8; ++i) {  // x = 2a, y = -2c, z = 2b
    EXPECT_FLOAT_EQ(object.vertices[i].x, float(2 * mesh.vertices[i].x));
    EXPECT_FLOAT_EQ(object.vertices[i].y, float(-2 * mesh.vertices[i].z));
    EXPECT_FLOAT_EQ(object.vertices[i].z, float(2 * mesh.vertices[i].y));
  }
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(object.faces[i].vertex0, mesh.faces[i].v[0]);
    EXPECT_EQ(object.faces[i].vertex2, mesh.faces[i].v[2]);
    EXPECT_FLOAT_EQ(object.faces[i].texU1, float(mesh.faces[i].uv[1].u * 255));
    EXPECT_FLOAT_EQ(object.faces[i].texV1, float((1 - mesh.faces[i].uv[1].v) * 255));
  }
  ReleaseP3d(&object);
}

// The connected parts of a mesh (faces joined through shared vertices), as lists of faces.
std::vector<std::vector<int>> Components(const Mesh& mesh) {
  std::vector<int> parent(mesh.vertices.size());
  std::iota(parent.begin(), parent.end(), 0);
  auto find = [&](int v) {
    while (parent[v] != v) v = parent[v] = parent[parent[v]];
    return v;
  };
  for (const MeshFace& f : mesh.faces) {
    parent[find(f.v[1])] = find(f.v[0]);
    parent[find(f.v[2])] = find(f.v[0]);
  }
  std::map<int, std::vector<int>> byRoot;
  for (size_t i = 0; i < mesh.faces.size(); ++i) byRoot[find(mesh.faces[i].v[0])].push_back(int(i));
  std::vector<std::vector<int>> parts;
  for (auto& [root, faces] : byRoot) parts.push_back(std::move(faces));
  return parts;
}

// Crossings of the ray from `origin` along `dir` with the faces `faces` (Moller-Trumbore).
int Crossings(const Mesh& mesh, const std::vector<int>& faces, Vec3 origin, Vec3 dir) {
  int hits = 0;
  for (int i : faces) {
    const Vec3 a = mesh.vertices[mesh.faces[i].v[0]], b = mesh.vertices[mesh.faces[i].v[1]];
    const Vec3 c = mesh.vertices[mesh.faces[i].v[2]];
    const Vec3 e1 = b - a, e2 = c - a, p = Cross(dir, e2);
    const double det = Dot(e1, p);
    if (std::abs(det) < 1e-12) continue;
    const Vec3 s = origin - a;
    const double u = Dot(s, p) / det;
    if (u < 0 || u > 1) continue;
    const Vec3 q = Cross(s, e1);
    const double v = Dot(dir, q) / det;
    if (v < 0 || u + v > 1) continue;
    if (Dot(e2, q) / det > 1e-9) ++hits;
  }
  return hits;
}

class GeneratedObject : public ::testing::TestWithParam<size_t> {
 protected:
  const ObjectEntry& Entry() const { return ObjectCatalog()[GetParam()]; }
};

TEST_P(GeneratedObject, IsSoundAndNamesExistingTextures) {
  const Mesh mesh = Entry().make();
  EXPECT_LE(mesh.vertices.size(), size_t(kMaxObjectVertices));
  EXPECT_GT(mesh.faces.size(), 0u);
  const MeshCheck check = CheckMesh(mesh);
  EXPECT_EQ(check.badIndices, 0);
  EXPECT_EQ(check.degenerateFaces, 0);
  EXPECT_EQ(check.duplicateFaces, 0);
  if (Entry().closed) {
    EXPECT_TRUE(check.Closed()) << check.Describe();
    EXPECT_GT(check.volume6, 0) << check.Describe();
  }
  // Every face's texture exists, and every texture named is one the generator writes.
  ASSERT_GE(mesh.textures.size(), 1u);
  ASSERT_LE(mesh.textures.size(), size_t(kP3dMaxTextures));
  static const std::vector<NamedImage> textures = ObjectTextures();
  std::set<int> used;
  for (const MeshFace& f : mesh.faces) {
    ASSERT_GE(f.texture, 0);
    ASSERT_LT(f.texture, int(mesh.textures.size()));
    used.insert(f.texture);
    for (const Uv& uv : f.uv) {
      EXPECT_TRUE(uv.u >= 0 && uv.u <= 1.1 && uv.v >= 0 && uv.v <= 1) << uv.u << " " << uv.v;
    }
  }
  for (const std::string& name : mesh.textures) {
    auto it = std::find_if(textures.begin(), textures.end(), [&](const NamedImage& t) { return t.name == name; });
    ASSERT_NE(it, textures.end()) << name;
    EXPECT_TRUE(IsCelSize(it->image.width, it->image.height)) << name;
    EXPECT_EQ(it->image.width, it->image.height) << name;  // LoadCelRgb565 takes squares only
  }
}

TEST_P(GeneratedObject, FacesPointOutOfEachClosedPart) {
  const Mesh mesh = Entry().make();
  if (!Entry().closed) {
    // An open silhouette lies flat in the file's x-z plane, every face towards the viewer (-y).
    for (const MeshFace& f : mesh.faces) {
      const Vec3 n = Normalized(Cross(mesh.vertices[f.v[1]] - mesh.vertices[f.v[0]],
                                      mesh.vertices[f.v[2]] - mesh.vertices[f.v[0]]));
      EXPECT_NEAR(n.y, -1.0, 1e-9);
    }
    return;
  }
  // A ray leaving a face along its normal must cross its own part an even number of times:
  // it starts outside. Parts may overlap one another, so each part is tested on its own.
  for (const std::vector<int>& part : Components(mesh)) {
    const size_t step = std::max<size_t>(1, part.size() / 60);
    for (size_t k = 0; k < part.size(); k += step) {
      const MeshFace& f = mesh.faces[part[k]];
      const Vec3 a = mesh.vertices[f.v[0]], b = mesh.vertices[f.v[1]], c = mesh.vertices[f.v[2]];
      const Vec3 n = Normalized(Cross(b - a, c - a));
      const Vec3 centre = (a + b + c) * (1.0 / 3);
      int outward = 0;
      const Vec3 jitters[3] = {{0.013, 0.007, -0.011}, {-0.009, 0.015, 0.004}, {0.006, -0.012, 0.014}};
      for (const Vec3& j : jitters) {
        outward += Crossings(mesh, part, centre + n * 1e-6, Normalized(n + j)) % 2 == 0;
      }
      EXPECT_GE(outward, 2) << Entry().file << " face " << part[k];
    }
  }
}

TEST_P(GeneratedObject, SceneAreaTestKeepsExactlyTheFacesTowardTheEye) {
  const ObjectEntry& entry = Entry();
  const Mesh mesh = entry.make();
  P3dObject object{};
  ObjectScale = entry.scale;
  ASSERT_EQ(LoadP3dText(P3dText(mesh), &object, FirstTexture), 0);
  ASSERT_EQ(size_t(object.faceCount), mesh.faces.size());
  std::vector<Vertex4> points(object.vertexCount);
  // Outward normals of the generator's faces, taken to view axes as the loader maps points.
  std::vector<Vertex4> normals;
  for (const MeshFace& f : mesh.faces) {
    const Vec3 n = Normalized(Cross(mesh.vertices[f.v[1]] - mesh.vertices[f.v[0]],
                                    mesh.vertices[f.v[2]] - mesh.vertices[f.v[0]]));
    normals.push_back({float(n.x), float(-n.z), float(n.y), 1.0f});
  }
  std::vector<Vertex4> turned(normals.size());
  const float eye = entry.eyeDistance;
  int kept = 0, checked = 0;
  // The figure spins about the vertical and tilts; everything else tumbles about z then x.
  for (int r = 0; r < 36; ++r) {
    const float a = 23.0f * r, b = r % 2 ? 45.0f : 13.0f * r - 100.0f;
    if (r % 3 == 0) {
      LoadMatrix(MakeRotationY(a));
      MultMatrix(MakeRotationX(b));
    } else {
      LoadMatrix(MakeRotationZ(a));
      MultMatrix(MakeRotationX(b * 1.23f));
    }
    TransformPoints(turned.data(), normals.data(), uint32_t(normals.size()));  // no translation yet
    // Off-centre as the space and temple scenes move their objects.
    MultMatrix(MakeTranslation(r % 4 == 1 ? 30.0f : 0.0f, r % 4 == 2 ? -25.0f : 0.0f, 0.0f));
    TransformPoints(points.data(), object.vertices, uint32_t(object.vertexCount));
    for (int i = 0; i < object.faceCount; ++i) {
      const P3dFace& f = object.faces[i];
      const Vertex4 p[3] = {points[f.vertex0], points[f.vertex1], points[f.vertex2]};
      double sx[3], sy[3], ex[3], ey[3];
      for (int k = 0; k < 3; ++k) {
        const float z = p[k].z + eye;
        ASSERT_GT(z, 1.0f) << entry.file << ": a corner reaches the eye";
        const float oow = 1.0f / z;
        ex[k] = p[k].x * 640.0 / z + 320, ey[k] = p[k].y * 640.0 / z + 240;
        sx[k] = std::trunc(p[k].x * oow * 640 + 320), sy[k] = std::trunc(p[k].y * oow * 640 + 240);
      }
      const double area = (sx[0] - sx[1]) * (sy[2] - sy[1]) - (sy[0] - sy[1]) * (sx[2] - sx[1]);
      const double exact = (ex[0] - ex[1]) * (ey[2] - ey[1]) - (ey[0] - ey[1]) * (ex[2] - ex[1]);
      double perimeter = 0;
      for (int k = 0; k < 3; ++k) perimeter += std::hypot(ex[k] - ex[(k + 1) % 3], ey[k] - ey[(k + 1) % 3]);
      // Edge-on (or under a pixel): whole-pixel positions may tip the area test either way.
      const bool edgeOn = std::abs(exact) <= 1.5 * perimeter + 2.0;
      const Vertex4& n = turned[i];
      const double toEye = n.x * -p[0].x + n.y * -p[0].y + n.z * (-eye - p[0].z);
      const bool facing = toEye > 0;
      const bool drawn = area > 0.9;
      kept += drawn;
      ++checked;
      if (!edgeOn) {
        ASSERT_EQ(drawn, facing) << entry.file << " face " << i << " rotation " << r << " area " << area;
      }
    }
  }
  // Closed objects show about half their faces; the silhouette, turned towards the eye only
  // in some rotations, shows some.
  EXPECT_GT(kept, checked / (entry.closed ? 4 : 10)) << entry.file;
  EXPECT_LT(kept, checked * 3 / 4) << entry.file;
  ReleaseP3d(&object);
}

TEST(PlaneObject, FacesTheEyeWhereTheSpaceSceneDrawsIt) {
  // The space scene turns its plane copies by -30 degrees about the vertical and moves them
  // aside; every face must survive the area test there.
  const Mesh mesh = MakePlane();
  P3dObject object{};
  ObjectScale = 0.205f;
  ASSERT_EQ(LoadP3dText(P3dText(mesh), &object, FirstTexture), 0);
  std::vector<Vertex4> points(object.vertexCount);
  for (float d : {0.0f, 15.0f, 30.0f}) {
    LoadMatrix(MakeRotationY(-30.0f));
    MultMatrix(MakeTranslation(2.7f * d - 30.0f, d, -5.0f * d));
    TransformPoints(points.data(), object.vertices, uint32_t(object.vertexCount));
    for (int i = 0; i < object.faceCount; ++i) {
      const P3dFace& f = object.faces[i];
      float x[3], y[3];
      const int v[3] = {f.vertex0, f.vertex1, f.vertex2};
      for (int k = 0; k < 3; ++k) {
        const float oow = 1.0f / (points[v[k]].z + 350.0f);
        x[k] = std::trunc(points[v[k]].x * oow * 640 + 320);
        y[k] = std::trunc(points[v[k]].y * oow * 640 + 240);
      }
      const float area = (x[0] - x[1]) * (y[2] - y[1]) - (y[0] - y[1]) * (x[2] - x[1]);
      EXPECT_GT(area, 0.9f) << "face " << i << " at D " << d;
    }
  }
  ReleaseP3d(&object);
}

INSTANTIATE_TEST_SUITE_P(Objects, GeneratedObject, ::testing::Range<size_t>(0, ObjectCatalog().size()),
                         [](const ::testing::TestParamInfo<size_t>& param) {
                           std::string name = ObjectCatalog()[param.param].file;
                           return name.substr(0, name.find('.'));
                         });

}  // namespace
}  // namespace mkdata
