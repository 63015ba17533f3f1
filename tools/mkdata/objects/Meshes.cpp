#include "objects/Meshes.h"

#include "kit/Procedural.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <string>

namespace mkdata {

namespace {

constexpr double kPi = std::numbers::pi;

Mesh Ellipsoid(Vec3 centre, Vec3 radii, int rings, int segments) {
  Mesh m = UvSphere(rings, segments);
  TransformVertices(m, [&](Vec3 p) {
    return centre + Vec3{p.x * radii.x, p.y * radii.y, p.z * radii.z};
  });
  return m;
}

Mesh Sphere(Vec3 centre, double radius, int rings, int segments) {
  return Ellipsoid(centre, {radius, radius, radius}, rings, segments);
}

// Rotation about the axis through `pivot` along unit `axis` by `radians` (Rodrigues).
Vec3 RotateAbout(Vec3 p, Vec3 pivot, Vec3 axis, double radians) {
  const Vec3 v = p - pivot;
  const double c = std::cos(radians), s = std::sin(radians);
  return pivot + v * c + Cross(axis, v) * s + axis * (Dot(axis, v) * (1 - c));
}

// ---- The figure ----

// Texture coordinates that shade the part: the material's column of the ramp texture, at the
// height the fixed key light gives each vertex's normal.
void ShadeFigurePart(Mesh& part, int material) {
  const Vec3 light = Normalized({-0.35, -0.75, 0.55});
  const std::vector<Vec3> normals = VertexNormals(part);
  const double centre = (material + 0.5) / kVexolMaterials;
  for (MeshFace& f : part.faces) {
    for (int k = 0; k < 3; ++k) {
      const Vec3 p = part.vertices[f.v[k]];
      const double lit = 0.5 + 0.5 * Dot(normals[f.v[k]], light);
      f.uv[k] = {centre + 0.07 * std::sin(0.45 * p.z + 0.3 * p.x), 0.06 + 0.88 * lit};
    }
  }
}

enum FigureMaterial { kBody = 0, kAccent = 1, kJoint = 2, kGlow = 3 };

}  // namespace

Mesh MakeVexol() {
  Mesh figure;
  auto add = [&](Mesh part, int material) {
    ShadeFigurePart(part, material);
    figure.Append(part);
  };
  // Head transform: tilted a little to its left and nodding down, for some character.
  const Vec3 headPivot{0, -1, 15};
  auto headPose = [&](Vec3 p) {
    p = RotateAbout(p, headPivot, {0, 1, 0}, -0.2);
    return RotateAbout(p, headPivot, {1, 0, 0}, 0.12);
  };

  // Torso: an egg, broad at the chest, leaning slightly forward.
  Mesh torso = UvSphere(13, 20);
  TransformVertices(torso, [](Vec3 p) {
    const double chest = 1.0 + 0.18 * p.z;
    Vec3 q{p.x * 7.6 * chest, p.y * 5.4 - 0.8 * std::max(0.0, -p.y) * (1 - p.z * p.z), p.z * 10.0};
    q.y -= 0.12 * q.z;
    return q + Vec3{0, 0, 3};
  });
  add(torso, kBody);
  add(Ellipsoid({0, 0.6, -8}, {6.2, 4.6, 4.2}, 8, 16), kJoint);
  add(Sphere({0, -5.0, 6.5}, 1.9, 6, 10), kGlow);  // the core in its chest

  Mesh neck = Tube(Spline({{0, 0, 11}, {0, -0.8, 13.5}, {0, -1.2, 16}}, 2), [](double) { return 2.3; }, 10, 2, 0.5);
  add(neck, kJoint);

  // Head: long and narrowing to a snout in front, a crest behind.
  Mesh head = UvSphere(12, 20);
  TransformVertices(head, [&](Vec3 p) {
    const double front = std::max(0.0, -p.y);
    Vec3 q{p.x * 5.0 * (1 - 0.3 * front), p.y * 6.8, p.z * 4.6 * (1 - 0.2 * front)};
    q.z += 1.6 * std::max(0.0, p.y) * std::max(0.0, p.z);  // crest
    return headPose(q + Vec3{0, -2.2, 19.5});
  });
  add(head, kBody);
  for (double side : {-1.0, 1.0}) {
    Mesh eye = Sphere({side * 2.2, -7.0, 20.6}, 1.5, 6, 10);
    TransformVertices(eye, headPose);
    add(eye, kGlow);
  }
  // Horns: swept back, the left one longer and bent further.
  for (double side : {-1.0, 1.0}) {
    const double l = side < 0 ? 1.35 : 1.0;
    std::vector<Vec3> path = {{side * 2.5, 0.5, 22.5},
                              {side * 3.6, 3.5 * l, 25.0},
                              {side * 4.4, 7.5 * l, 25.5 + 0.8 * l},
                              {side * (4.0 + 1.5 * (l - 1)), 11.0 * l, 24.0 + 1.5 * l}};
    for (Vec3& p : path) p = headPose(p);
    add(Tube(Spline(path, 3), [](double t) { return 1.1 - 0.8 * t; }, 7, 2, 0.8), kAccent);
  }

  // Arms: the right one raised in greeting, the left one hanging.
  const Vec3 shoulders[2] = {{-8.8, 0.2, 9.5}, {8.8, 0.2, 9.5}};
  const std::vector<Vec3> armPaths[2] = {
      {shoulders[0], {-11.0, 0.8, 3.0}, {-11.6, 1.0, -2.0}, {-11.0, -1.5, -7.0}},
      {shoulders[1], {12.5, 0.5, 13.5}, {14.5, -1.0, 17.5}, {15.0, -3.0, 22.5}}};
  for (int s = 0; s < 2; ++s) {
    add(Sphere(shoulders[s], 3.0, 6, 10), kAccent);
    add(Tube(Spline(armPaths[s], 4), [](double t) { return 2.1 - 0.6 * t; }, 9, 2, 0.6), kBody);
    const Vec3 hand = armPaths[s].back() + (armPaths[s].back() - armPaths[s][2]) * 0.35;
    add(Ellipsoid(hand, {2.0, 1.6, 2.6}, 6, 10), kJoint);
  }
  // Legs, bent at the knee, and long feet.
  for (double side : {-1.0, 1.0}) {
    const std::vector<Vec3> path = {{side * 3.8, 0.8, -9.0}, {side * 4.6, -2.2, -16.0},
                                    {side * 5.0, 0.6, -21.5}, {side * 5.0, 0.5, -23.5}};
    add(Tube(Spline(path, 4), [](double t) { return 2.8 - 1.0 * t; }, 9, 2, 0.6), kBody);
    add(Sphere({side * 4.6, -2.3, -16.0}, 2.5, 6, 10), kAccent);  // knee
    add(Ellipsoid({side * 5.2, -2.0, -25.2}, {2.3, 4.6, 1.5}, 6, 10), kJoint);
  }
  // Tail: curling up behind, with an accent tip.
  const std::vector<Vec3> tail = {{0, 3.5, -9.5}, {0, 9.0, -13.0}, {0.5, 14.5, -11.0},
                                  {2.0, 17.5, -5.5}, {4.0, 16.0, -0.5}};
  add(Tube(Spline(tail, 4), [](double t) { return 2.2 - 1.6 * t; }, 8, 2, 1.0), kBody);
  add(Sphere({4.3, 15.3, 0.6}, 1.2, 5, 8), kAccent);

  // Modelled about 50 units tall; shown a quarter larger so it fills the screen in the crypt.
  TransformVertices(figure, [](Vec3 p) { return p * 1.25; });
  figure.textures = {"vexol.cel"};
  figure.SetTexture(0);
  return figure;
}

// ---- The classics ----

Mesh MakeTeapot() {
  std::vector<std::array<double, 2>> profile = {
      {0, 0},      {22, 0},     {26, 0.6},   {30, 2.2},  {35, 6},     {38.5, 11},  {40, 17},
      {39.5, 22},  {37, 28},    {33, 33},    {29, 36.5}, {27.5, 38},  {28.6, 38.8}, {27, 40.2},
      {22, 42.6},  {15, 44.5},  {8, 45.6},   {4, 46.2},  {3.6, 47.6}, {5.4, 49},   {6, 50.6},
      {5, 52.2},   {3, 53.1},   {0, 53.5}};
  for (auto& p : profile) p[1] -= 26.0;
  Mesh pot = Lathe(profile, 32);
  std::vector<Vec3> spout = {{27, 0, -16}, {40, 0, -13.5}, {48, 0, -5}, {53.5, 0, 4},
                             {59, 0, 11.5}, {64, 0, 15}};
  pot.Append(Tube(Spline(spout, 5), [](double t) { return 7.5 - 4.3 * t + 1.1 * Smoothstep(0.8, 1.0, t); },
                  14, 2, 0.3));
  std::vector<Vec3> handle = {{-31, 0, 6.5}, {-43, 0, 9}, {-52.5, 0, 5}, {-55, 0, -3},
                              {-51, 0, -11}, {-42, 0, -15}, {-35, 0, -14.5}};
  pot.Append(Tube(Spline(handle, 5), [](double) { return 3.3; }, 10, 2, 0.8));
  pot.textures = {"chrome.cel"};
  return pot;
}

Mesh MakeTorus() {
  std::vector<Vec3> loop;
  for (int i = 0; i < 48; ++i) {
    const double a = 2 * kPi * i / 48;
    loop.push_back({16 * std::cos(a), 16 * std::sin(a), 0});
  }
  std::vector<std::array<double, 2>> section;
  for (int j = 0; j < 24; ++j) {
    const double a = 2 * kPi * j / 24;
    section.push_back({6.5 * std::cos(a), 6.5 * std::sin(a)});
  }
  Mesh torus = LoopTube(loop, section, false);
  torus.textures = {"chrome.cel"};
  return torus;
}

Mesh MakeKnot() {
  std::vector<Vec3> loop;
  for (int i = 0; i < 180; ++i) {
    const double t = 2 * kPi * i / 180;
    const double r = 13 * (2 + std::cos(3 * t));
    loop.push_back({r * std::cos(2 * t), r * std::sin(2 * t), 13 * std::sin(3 * t)});
  }
  std::vector<std::array<double, 2>> section;
  for (int j = 0; j < 12; ++j) {
    const double a = 2 * kPi * j / 12;
    section.push_back({6.0 * std::cos(a), 6.0 * std::sin(a)});
  }
  Mesh knot = LoopTube(loop, section, false);
  knot.textures = {"chrome.cel"};
  return knot;
}

// ---- Six shapes, each a different kind of surface ----

Mesh MakeShapeBlob() {
  Mesh blob = IcoSphere(4);
  TransformVertices(blob, [](Vec3 d) {
    const double wobble = 0.17 * std::sin(2.3 * d.x + 0.6) * std::cos(1.9 * d.y - 0.3) +
                          0.13 * std::sin(3.1 * d.z + 1.4 * d.x) + 0.08 * std::cos(4.2 * d.y + 2.0 * d.z);
    return d * (60.0 * (1.0 + wobble));
  });
  blob.textures = {"chrome.cel"};
  return blob;
}

Mesh MakeShapeStarPrism() {
  constexpr int kTips = 5, kPerEdge = 4, kRings = 28;
  // The star outline, each edge split so the twist bends it smoothly.
  std::vector<std::array<double, 2>> outline;
  for (int c = 0; c < 2 * kTips; ++c) {
    const double a0 = kPi * c / kTips, a1 = kPi * (c + 1) / kTips;
    const double r0 = c % 2 == 0 ? 64.0 : 30.0, r1 = c % 2 == 0 ? 30.0 : 64.0;
    for (int k = 0; k < kPerEdge; ++k) {
      const double f = double(k) / kPerEdge;
      outline.push_back({(1 - f) * r0 * std::cos(a0) + f * r1 * std::cos(a1),
                         (1 - f) * r0 * std::sin(a0) + f * r1 * std::sin(a1)});
    }
  }
  auto ring = [&](double z, double scale) {
    const double twist = 2.6 * z / 110.0;  // 150 degrees over the height
    const double bulge = scale * (1.0 + 0.12 * std::cos(kPi * z / 110.0));
    std::vector<Vec3> pts;
    for (const auto& p : outline) {
      const double x = p[0] * bulge, y = p[1] * bulge;
      pts.push_back({x * std::cos(twist) - y * std::sin(twist), x * std::sin(twist) + y * std::cos(twist), z});
    }
    return pts;
  };
  std::vector<std::vector<Vec3>> rings;
  rings.push_back({{0, 0, -55}});
  rings.push_back(ring(-55, 0.93));
  for (int i = 0; i < kRings; ++i) rings.push_back(ring(-53.5 + 107.0 * i / (kRings - 1), 1.0));
  rings.push_back(ring(55, 0.93));
  rings.push_back({{0, 0, 55}});
  Mesh star = RingBand(rings);
  star.textures = {"chrome.cel"};
  return star;
}

Mesh MakeShapeSpiky() {
  const Mesh ico = IcoSphere(0);
  std::vector<Vec3> tips = ico.vertices;  // twelve long spikes
  std::vector<Vec3> shortTips;            // twenty short ones between them
  for (const MeshFace& f : ico.faces) {
    shortTips.push_back(Normalized(ico.vertices[f.v[0]] + ico.vertices[f.v[1]] + ico.vertices[f.v[2]]));
  }
  Mesh spiky = IcoSphere(4);
  TransformVertices(spiky, [&](Vec3 d) {
    double longest = 0, shortest = 0;
    for (Vec3 t : tips) longest = std::max(longest, Dot(d, t));
    for (Vec3 t : shortTips) shortest = std::max(shortest, Dot(d, t));
    return d * (40.0 + 36.0 * std::pow(longest, 40.0) + 16.0 * std::pow(shortest, 60.0));
  });
  spiky.textures = {"chrome.cel"};
  return spiky;
}

Mesh MakeShapeHelix() {
  constexpr double kTurns = 3.0;
  constexpr int kSamples = 120;
  std::vector<Vec3> path;
  for (int i = 0; i <= kSamples; ++i) {
    const double t = double(i) / kSamples, a = 2 * kPi * kTurns * t;
    path.push_back({38 * std::cos(a), 38 * std::sin(a), -45 + 90 * t});
  }
  Mesh helix = Tube(path, [](double) { return 9.5; }, 12, 3, 1.0);
  helix.textures = {"chrome.cel"};
  return helix;
}

Mesh MakeShapeRoundedCube() {
  // A superellipsoid |x|^6 + |y|^6 + |z|^6 = 1 over a cube grid whose lines crowd towards the
  // edges, where the surface turns.
  constexpr int kGrid = 16;
  constexpr double kPower = 6.0;
  Mesh cube;
  std::map<std::array<int, 3>, int> ids;
  auto vertex = [&](std::array<int, 3> g) {
    auto it = ids.find(g);
    if (it != ids.end()) return it->second;
    Vec3 d;
    double* c[3] = {&d.x, &d.y, &d.z};
    for (int k = 0; k < 3; ++k) *c[k] = std::sin(kPi / 2 * (2.0 * g[k] / kGrid - 1.0));
    const double n = std::pow(std::pow(std::abs(d.x), kPower) + std::pow(std::abs(d.y), kPower) +
                                  std::pow(std::abs(d.z), kPower), 1.0 / kPower);
    const int id = cube.AddVertex(d * (54.0 / n));
    ids[g] = id;
    return id;
  };
  for (int axis = 0; axis < 3; ++axis) {
    for (int side : {0, kGrid}) {
      for (int i = 0; i < kGrid; ++i) {
        for (int j = 0; j < kGrid; ++j) {
          auto at = [&](int a, int b) {
            std::array<int, 3> g{};
            g[axis] = side;
            g[(axis + 1) % 3] = a;
            g[(axis + 2) % 3] = b;
            return vertex(g);
          };
          const int v00 = at(i, j), v10 = at(i + 1, j), v11 = at(i + 1, j + 1), v01 = at(i, j + 1);
          const Uv a{double(i) / kGrid, double(j) / kGrid}, b{double(i + 1) / kGrid, double(j) / kGrid};
          const Uv c{double(i + 1) / kGrid, double(j + 1) / kGrid}, d{double(i) / kGrid, double(j + 1) / kGrid};
          // The far side of each axis is seen from the other way round.
          if (side == kGrid) {
            cube.AddFace(v00, v10, v11, a, b, c);
            cube.AddFace(v00, v11, v01, a, c, d);
          } else {
            cube.AddFace(v00, v11, v10, a, c, b);
            cube.AddFace(v00, v01, v11, a, d, c);
          }
        }
      }
    }
  }
  TransformVertices(cube, [](Vec3 p) { return p; });  // orients it outward
  cube.textures = {"chrome.cel"};
  return cube;
}

Mesh MakeShapeRibbon() {
  // A Möbius band with thickness: a flat, round-edged section turned half a turn round a loop.
  // Turned this way the band is a closed, two-sided solid.
  constexpr int kLoop = 120;
  constexpr double kHalfWidth = 22.0, kHalfThick = 3.5, kStraight = kHalfWidth - kHalfThick;
  std::vector<std::array<double, 2>> section;
  for (int k = 0; k < 5; ++k) {  // the right rounded edge
    const double a = -kPi / 2 + kPi * k / 5;
    section.push_back({kStraight + kHalfThick * std::cos(a), kHalfThick * std::sin(a)});
  }
  for (int k = 0; k < 5; ++k) section.push_back({kStraight * (1 - 2 * (k / 4.0) * 0.75), kHalfThick});
  for (int k = 0; k < 10; ++k) section.push_back({-section[k][0], -section[k][1]});
  std::vector<Vec3> loop;
  for (int i = 0; i < kLoop; ++i) {
    const double a = 2 * kPi * i / kLoop;
    loop.push_back({46 * std::cos(a), 46 * std::sin(a), 0});
  }
  Mesh ribbon = LoopTube(loop, section, true);
  ribbon.textures = {"chrome.cel"};
  return ribbon;
}

// ---- Space ----

namespace {

Mesh Globe(double radius, const char* texture) {
  Mesh globe = UvSphere(32, 48);
  TransformVertices(globe, [&](Vec3 p) { return p * radius; });
  for (MeshFace& f : globe.faces) {
    for (Uv& uv : f.uv) uv.v = 1.0 - uv.v;  // north pole at the texture's top row
  }
  globe.textures = {texture};
  return globe;
}

}  // namespace

Mesh MakePlanet() { return Globe(140.0, "planet.cel"); }
Mesh MakeClouds() { return Globe(141.5, "cloudmap.cel"); }

Mesh MakePlane() {
  // A swept-wing craft seen from above, nose up, as one flat outline in the x-z plane (facing
  // the viewer, who looks along +y). Ear clipping turns the outline into triangles.
  const std::vector<std::array<double, 2>> right = {
      {0, 46}, {2.5, 41}, {4.5, 32}, {5.0, 16}, {45, -8}, {45, -13}, {5.5, -5},
      {4.5, -24}, {17, -34}, {17, -38.5}, {2.5, -35}};
  std::vector<std::array<double, 2>> outline = right;
  outline.push_back({0, -37});
  for (int i = static_cast<int>(right.size()) - 1; i >= 1; --i) outline.push_back({-right[i][0], right[i][1]});

  Mesh plane;
  for (const auto& p : outline) plane.AddVertex({p[0] * 1.4, 0, p[1] * 1.4});
  auto uvOf = [](const Vec3& p) { return Uv{0.5 + p.x / 140.0, 0.5 + p.z / 140.0}; };
  std::vector<int> left;
  for (int i = 0; i < static_cast<int>(outline.size()); ++i) left.push_back(i);
  auto cross2 = [&](int a, int b, int c) {
    const Vec3 &pa = plane.vertices[a], &pb = plane.vertices[b], &pc = plane.vertices[c];
    return (pb.x - pa.x) * (pc.z - pa.z) - (pb.z - pa.z) * (pc.x - pa.x);
  };
  double area = 0;  // the outline's turning sense in the x-z plane
  for (size_t i = 0; i < left.size(); ++i) area += cross2(0, left[i], left[(i + 1) % left.size()]);
  const double sense = area > 0 ? 1.0 : -1.0;
  while (left.size() > 3) {
    bool clipped = false;
    for (size_t i = 0; i < left.size() && !clipped; ++i) {
      const int a = left[(i + left.size() - 1) % left.size()], b = left[i], c = left[(i + 1) % left.size()];
      if (cross2(a, b, c) * sense <= 1e-9) continue;  // reflex or flat corner
      bool inside = false;
      for (int p : left) {
        if (p == a || p == b || p == c) continue;
        if (cross2(a, b, p) * sense >= 0 && cross2(b, c, p) * sense >= 0 && cross2(c, a, p) * sense >= 0) {
          inside = true;
          break;
        }
      }
      if (inside) continue;
      plane.AddFace(a, b, c, uvOf(plane.vertices[a]), uvOf(plane.vertices[b]), uvOf(plane.vertices[c]));
      left.erase(left.begin() + static_cast<long>(i));
      clipped = true;
    }
    if (!clipped) break;  // cannot happen for a simple outline; the mesh check would say so
  }
  if (left.size() == 3) {
    plane.AddFace(left[0], left[1], left[2], uvOf(plane.vertices[left[0]]), uvOf(plane.vertices[left[1]]),
                  uvOf(plane.vertices[left[2]]));
  }
  // Face the viewer: normals along -y.
  for (MeshFace& f : plane.faces) {
    const Vec3 n = Cross(plane.vertices[f.v[1]] - plane.vertices[f.v[0]], plane.vertices[f.v[2]] - plane.vertices[f.v[0]]);
    if (n.y > 0) {
      std::swap(f.v[1], f.v[2]);
      std::swap(f.uv[1], f.uv[2]);
    }
  }
  plane.textures = {"chrome.cel"};
  return plane;
}

// ---- Temple ----

namespace {

// Weathered stone and roof tiles in shades: each face takes the shade its normal gets from a
// fixed sun, and texture coordinates that project the temple onto the plane it faces most, so the
// stone runs on across faces that share a plane.
void ShadeTempleFaces(Mesh& temple, int firstRoofFace) {
  const Vec3 sun = Normalized({-0.45, -0.55, 0.7});
  for (size_t i = 0; i < temple.faces.size(); ++i) {
    MeshFace& f = temple.faces[i];
    const Vec3 p0 = temple.vertices[f.v[0]];
    const Vec3 n = Normalized(Cross(temple.vertices[f.v[1]] - p0, temple.vertices[f.v[2]] - p0));
    const double light = 0.28 + 0.72 * std::max(0.0, Dot(n, sun));
    const bool roof = static_cast<int>(i) >= firstRoofFace;
    const int shades = roof ? kTempleRoofShades : kTempleShades;
    const int shade = std::clamp(static_cast<int>(std::lround(light * (shades - 1))), 0, shades - 1);
    f.texture = roof ? kTempleShades + shade : shade;
    const double ax = std::abs(n.x), ay = std::abs(n.y), az = std::abs(n.z);
    for (int k = 0; k < 3; ++k) {
      const Vec3 p = temple.vertices[f.v[k]];
      double a, b;
      if (az >= ax && az >= ay) {
        a = p.x, b = p.y;
      } else if (ax >= ay) {
        a = p.y, b = p.z;
      } else {
        a = p.x, b = p.z;
      }
      f.uv[k] = {(a + 80.0) / 160.0, (b + 80.0) / 160.0};  // the temple lies within +-80
    }
  }
}

Mesh Column(double cx, double cy, double zb, double zt) {
  constexpr int kSides = 16;
  auto ring = [&](double r, double z, bool fluted) {
    std::vector<Vec3> pts;
    for (int j = 0; j < kSides; ++j) {
      const double a = 2 * kPi * j / kSides;
      const double rr = fluted && j % 2 == 1 ? r * 0.86 : r;
      pts.push_back({cx + rr * std::cos(a), cy + rr * std::sin(a), z});
    }
    return pts;
  };
  Mesh column = RingBand({{{cx, cy, zb}}, ring(4.6, zb, false), ring(4.6, zb + 1.4, false),
                          ring(3.8, zb + 1.7, true), ring(3.2, zt - 3.2, true),
                          ring(4.6, zt - 1.0, false), {{cx, cy, zt - 1.0}}});
  column.Append(Box({cx - 5.0, cy - 5.0, zt - 1.0}, {cx + 5.0, cy + 5.0, zt}));  // abacus
  return column;
}

}  // namespace

Mesh MakeTemple() {
  Mesh temple;
  temple.Append(Box({-44, -62, -35}, {44, 62, -31}));  // three steps
  temple.Append(Box({-40, -58, -31.2}, {40, 58, -27}));
  temple.Append(Box({-36, -54, -27.2}, {36, 54, -23}));
  temple.Append(Box({-20, -34, -23.3}, {20, 34, 10.2}));  // the cella's walls
  // The ring of columns: six across the fronts, eight along the sides.
  for (int i = 0; i < 6; ++i) {
    for (double y : {-46.0, 46.0}) temple.Append(Column(-30.0 + 12.0 * i, y, -23.3, 10.2));
  }
  for (int j = 1; j < 7; ++j) {
    for (double x : {-30.0, 30.0}) temple.Append(Column(x, -46.0 + 92.0 * j / 7, -23.3, 10.2));
  }
  temple.Append(Box({-35, -52, 10}, {35, 52, 14}));        // architrave
  temple.Append(Box({-34, -51, 13.8}, {34, 51, 17.6}));    // frieze
  temple.Append(Box({-37.5, -55.5, 17.5}, {37.5, 55.5, 19.5}));  // cornice
  const int firstRoofFace = static_cast<int>(temple.faces.size());
  // Pitched roof: a prism with its ridge along y and pediments at both ends.
  Mesh roof;
  const int a = roof.AddVertex({-37, -55, 19.5}), b = roof.AddVertex({37, -55, 19.5});
  const int c = roof.AddVertex({0, -55, 31.5}), d = roof.AddVertex({-37, 55, 19.5});
  const int e = roof.AddVertex({37, 55, 19.5}), f = roof.AddVertex({0, 55, 31.5});
  roof.AddFace(a, b, c);
  roof.AddFace(d, f, e);
  roof.AddFace(a, c, f);
  roof.AddFace(a, f, d);
  roof.AddFace(b, e, f);
  roof.AddFace(b, f, c);
  roof.AddFace(a, d, e);
  roof.AddFace(a, e, b);
  TransformVertices(roof, [](Vec3 p) { return p; });  // orients it outward
  temple.Append(roof);
  // Sized so that the scene's lights circle just above the roof and the balls' trails start
  // beside the eaves; the scene turns it about its origin, below the middle of the columns.
  TransformVertices(temple, [](Vec3 p) { return Vec3{p.x, p.y, p.z - 6.0} * 1.2; });
  ShadeTempleFaces(temple, firstRoofFace + 2);  // the prism's first two faces, the pediments, are stone
  for (int k = 0; k < kTempleShades; ++k) temple.textures.push_back("stone" + std::to_string(k) + ".cel");
  for (int k = 0; k < kTempleRoofShades; ++k) temple.textures.push_back("roof" + std::to_string(k) + ".cel");
  return temple;
}

namespace {

// Texture coordinates that keep to the bright middle of the round light textures the temple
// scene draws its lights and balls with, brighter where the surface faces the viewer.
void GlowUvs(Mesh& mesh) {
  const std::vector<Vec3> normals = VertexNormals(mesh);
  for (MeshFace& f : mesh.faces) {
    for (int k = 0; k < 3; ++k) {
      const Vec3 n = normals[f.v[k]];
      f.uv[k] = {0.5 + 0.22 * n.x, 0.5 + 0.22 * n.z};
    }
  }
}

}  // namespace

Mesh MakeLight() {
  Mesh light;
  const int top = light.AddVertex({0, 0, 4.5}), bottom = light.AddVertex({0, 0, -4.5});
  int ring[4];
  for (int j = 0; j < 4; ++j) {
    const double a = kPi / 2 * j;
    ring[j] = light.AddVertex({3.0 * std::cos(a), 3.0 * std::sin(a), 0});
  }
  for (int j = 0; j < 4; ++j) {
    light.AddFace(top, ring[j], ring[(j + 1) % 4]);
    light.AddFace(bottom, ring[(j + 1) % 4], ring[j]);
  }
  TransformVertices(light, [](Vec3 p) { return p; });  // orients it outward
  GlowUvs(light);
  light.textures = {"chrome.cel"};
  return light;
}

Mesh MakeLiteball() {
  Mesh ball = IcoSphere(2);
  TransformVertices(ball, [](Vec3 p) { return p * 2.6; });
  GlowUvs(ball);
  ball.textures = {"chrome.cel"};
  return ball;
}

const std::vector<ObjectEntry>& ObjectCatalog() {
  // Scales and eye distances as the scenes use them (the eye distance is the one at which the
  // object is seen closest, before any translation).
  static const std::vector<ObjectEntry> entries = {
      {"vexol.p3d", MakeVexol, true, 0.7f, 200.0f},
      {"teapot.p3d", MakeTeapot, true, 0.4f, 200.0f},
      {"torus.p3d", MakeTorus, true, 1.0f, 200.0f},
      {"knot.p3d", MakeKnot, true, 0.45f, 200.0f},
      {"shape1.p3d", MakeShapeBlob, true, 0.3f, 200.0f},
      {"shape2.p3d", MakeShapeStarPrism, true, 0.3f, 200.0f},
      {"shape3.p3d", MakeShapeSpiky, true, 0.3f, 200.0f},
      {"shape4.p3d", MakeShapeHelix, true, 0.3f, 200.0f},
      {"shape5.p3d", MakeShapeRoundedCube, true, 0.3f, 200.0f},
      {"shape6.p3d", MakeShapeRibbon, true, 0.3f, 200.0f},
      {"planet.p3d", MakePlanet, true, 0.2f, 350.0f},
      {"clouds.p3d", MakeClouds, true, 0.205f, 350.0f},
      {"plane.p3d", MakePlane, false, 0.205f, 350.0f},
      {"temple.p3d", MakeTemple, true, 0.3f, 450.0f},
      {"light.p3d", MakeLight, true, 1.0f, 350.0f},
      {"liteball.p3d", MakeLiteball, true, 1.0f, 350.0f},
  };
  return entries;
}

}  // namespace mkdata
