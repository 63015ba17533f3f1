#include "objects/Mesh.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <numbers>
#include <set>
#include <utility>

namespace mkdata {

namespace {

constexpr double kPi = std::numbers::pi;

void OrientOutward(Mesh& mesh) {
  if (SignedVolume6(mesh) < 0) FlipFaces(mesh);
}

// A unit vector perpendicular to `t`.
Vec3 AnyPerpendicular(Vec3 t) {
  const Vec3 ref = std::abs(t.z) < 0.9 ? Vec3{0, 0, 1} : Vec3{1, 0, 0};
  return Normalized(Cross(t, ref));
}

// `n` with its component along the unit vector `t` removed, renormalised.
Vec3 Transport(Vec3 n, Vec3 t) { return Normalized(n - t * Dot(n, t)); }

}  // namespace

void Mesh::Append(const Mesh& part) {
  const int base = static_cast<int>(vertices.size());
  vertices.insert(vertices.end(), part.vertices.begin(), part.vertices.end());
  for (MeshFace f : part.faces) {
    for (int& v : f.v) v += base;
    faces.push_back(f);
  }
}

void Mesh::SetTexture(int texture) {
  for (MeshFace& f : faces) f.texture = texture;
}

Mesh RingBand(const std::vector<std::vector<Vec3>>& rings) {
  Mesh mesh;
  std::vector<int> first;
  for (const auto& ring : rings) {
    first.push_back(static_cast<int>(mesh.vertices.size()));
    for (Vec3 p : ring) mesh.AddVertex(p);
  }
  const double bands = static_cast<double>(rings.size() - 1);
  for (size_t i = 0; i + 1 < rings.size(); ++i) {
    const int a = first[i], b = first[i + 1];
    const int na = static_cast<int>(rings[i].size()), nb = static_cast<int>(rings[i + 1].size());
    const int n = std::max(na, nb);
    const double va = i / bands, vb = (i + 1) / bands;
    for (int j = 0; j < n; ++j) {
      const int j1 = (j + 1) % n;
      const double u0 = double(j) / n, u1 = double(j + 1) / n, um = (j + 0.5) / n;
      if (na == 1) {
        mesh.AddFace(a, b + j1, b + j, {um, va}, {u1, vb}, {u0, vb});
      } else if (nb == 1) {
        mesh.AddFace(a + j, a + j1, b, {u0, va}, {u1, va}, {um, vb});
      } else {
        mesh.AddFace(a + j, a + j1, b + j1, {u0, va}, {u1, va}, {u1, vb});
        mesh.AddFace(a + j, b + j1, b + j, {u0, va}, {u1, vb}, {u0, vb});
      }
    }
  }
  if (rings.front().size() == 1 && rings.back().size() == 1) OrientOutward(mesh);
  return mesh;
}

Mesh Lathe(const std::vector<std::array<double, 2>>& profile, int segments) {
  std::vector<std::vector<Vec3>> rings;
  auto ringAt = [&](double r, double z) {
    if (r <= 0) return std::vector<Vec3>{{0, 0, z}};
    std::vector<Vec3> ring;
    for (int j = 0; j < segments; ++j) {
      const double a = 2 * kPi * j / segments;
      ring.push_back({r * std::cos(a), r * std::sin(a), z});
    }
    return ring;
  };
  if (profile.front()[0] > 0) rings.push_back(ringAt(0, profile.front()[1]));
  for (const auto& p : profile) rings.push_back(ringAt(p[0], p[1]));
  if (profile.back()[0] > 0) rings.push_back(ringAt(0, profile.back()[1]));
  return RingBand(rings);
}

Mesh UvSphere(int rings, int segments) {
  std::vector<std::array<double, 2>> profile;
  for (int i = 0; i <= rings; ++i) {
    const double a = kPi * i / rings;
    profile.push_back({i == 0 || i == rings ? 0.0 : std::sin(a), std::cos(a)});
  }
  return Lathe(profile, segments);
}

Mesh IcoSphere(int level) {
  const double t = (1 + std::sqrt(5.0)) / 2;
  std::vector<Vec3> v = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0}, {0, -1, t}, {0, 1, t},
                         {0, -1, -t}, {0, 1, -t}, {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
  for (Vec3& p : v) p = Normalized(p);
  std::vector<std::array<int, 3>> f = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                       {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                       {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                       {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
  for (int l = 0; l < level; ++l) {
    std::map<std::pair<int, int>, int> midpoints;
    auto mid = [&](int a, int b) {
      const auto key = std::minmax(a, b);
      auto it = midpoints.find(key);
      if (it != midpoints.end()) return it->second;
      v.push_back(Normalized(v[a] + v[b]));
      const int id = static_cast<int>(v.size()) - 1;
      midpoints[key] = id;
      return id;
    };
    std::vector<std::array<int, 3>> next;
    for (const auto& t3 : f) {
      const int a = mid(t3[0], t3[1]), b = mid(t3[1], t3[2]), c = mid(t3[2], t3[0]);
      next.push_back({t3[0], a, c});
      next.push_back({t3[1], b, a});
      next.push_back({t3[2], c, b});
      next.push_back({a, b, c});
    }
    f = std::move(next);
  }
  Mesh mesh;
  mesh.vertices = v;
  for (const auto& t3 : f) {
    std::array<Uv, 3> uv;
    for (int k = 0; k < 3; ++k) {
      const Vec3 p = v[t3[k]];
      uv[k] = {0.5 + std::atan2(p.y, p.x) / (2 * kPi), 0.5 + std::asin(std::clamp(p.z, -1.0, 1.0)) / kPi};
    }
    // Corners on either side of the seam: keep the face's u range short.
    const double hi = std::max({uv[0].u, uv[1].u, uv[2].u});
    for (Uv& c : uv) {
      if (hi - c.u > 0.5) c.u += 1.0;
    }
    mesh.AddFace(t3[0], t3[1], t3[2], uv[0], uv[1], uv[2]);
  }
  OrientOutward(mesh);
  return mesh;
}

Mesh Box(Vec3 lo, Vec3 hi) {
  Mesh mesh;
  for (int i = 0; i < 8; ++i) {
    mesh.AddVertex({i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z});
  }
  // Each side as a quad a b c d, counter-clockwise seen from outside.
  const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                           {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& q : quads) {
    mesh.AddFace(q[0], q[1], q[2], {0, 0}, {1, 0}, {1, 1});
    mesh.AddFace(q[0], q[2], q[3], {0, 0}, {1, 1}, {0, 1});
  }
  OrientOutward(mesh);
  return mesh;
}

Mesh Tube(const std::vector<Vec3>& path, const std::function<double(double)>& radius, int sides,
          int capRings, double capLength) {
  const size_t m = path.size();
  std::vector<Vec3> tangents(m);
  for (size_t i = 0; i < m; ++i) {
    const Vec3 a = path[i == 0 ? 0 : i - 1], b = path[i + 1 < m ? i + 1 : m - 1];
    tangents[i] = Normalized(b - a);
  }
  std::vector<Vec3> normals(m);
  normals[0] = AnyPerpendicular(tangents[0]);
  for (size_t i = 1; i < m; ++i) normals[i] = Transport(normals[i - 1], tangents[i]);

  auto ring = [&](Vec3 centre, Vec3 t, Vec3 n, double r) {
    const Vec3 b = Cross(t, n);
    std::vector<Vec3> points;
    for (int j = 0; j < sides; ++j) {
      const double a = 2 * kPi * j / sides;
      points.push_back(centre + n * (r * std::cos(a)) + b * (r * std::sin(a)));
    }
    return points;
  };
  std::vector<std::vector<Vec3>> rings;
  const double r0 = radius(0.0), r1 = radius(1.0);
  rings.push_back({path[0] - tangents[0] * (capLength * r0)});
  for (int k = capRings - 1; k >= 1; --k) {
    const double phi = 0.5 * kPi * k / capRings;
    rings.push_back(ring(path[0] - tangents[0] * (capLength * r0 * std::sin(phi)), tangents[0],
                         normals[0], r0 * std::cos(phi)));
  }
  for (size_t i = 0; i < m; ++i) {
    rings.push_back(ring(path[i], tangents[i], normals[i], radius(double(i) / double(m - 1))));
  }
  for (int k = 1; k < capRings; ++k) {
    const double phi = 0.5 * kPi * k / capRings;
    rings.push_back(ring(path[m - 1] + tangents[m - 1] * (capLength * r1 * std::sin(phi)),
                         tangents[m - 1], normals[m - 1], r1 * std::cos(phi)));
  }
  rings.push_back({path[m - 1] + tangents[m - 1] * (capLength * r1)});
  return RingBand(rings);
}

Mesh LoopTube(const std::vector<Vec3>& loop, const std::vector<std::array<double, 2>>& section,
              bool halfTwist) {
  const int m = static_cast<int>(loop.size());
  const int n = static_cast<int>(section.size());
  std::vector<Vec3> tangents(m);
  for (int i = 0; i < m; ++i) tangents[i] = Normalized(loop[(i + 1) % m] - loop[(i + m - 1) % m]);
  std::vector<Vec3> normals(m + 1);
  normals[0] = AnyPerpendicular(tangents[0]);
  for (int i = 1; i <= m; ++i) normals[i] = Transport(normals[i - 1], tangents[i % m]);
  // The frame carried once round comes back turned by `holonomy` about the tangent.
  const Vec3 b0 = Cross(tangents[0], normals[0]);
  const double holonomy = std::atan2(Dot(normals[m], b0), Dot(normals[m], normals[0]));

  Mesh mesh;
  for (int i = 0; i < m; ++i) {
    const double turn = -holonomy * i / m + (halfTwist ? kPi * i / m : 0.0);
    const Vec3 t = tangents[i];
    const Vec3 nb = Cross(t, normals[i]);
    const Vec3 nn = normals[i] * std::cos(turn) + nb * std::sin(turn);
    const Vec3 bb = Cross(t, nn);
    for (const auto& s : section) mesh.AddVertex(loop[i] + nn * s[0] + bb * s[1]);
  }
  const int shift = halfTwist ? n / 2 : 0;
  for (int i = 0; i < m; ++i) {
    const int a = i * n;
    const int b = ((i + 1) % m) * n;
    const int jShift = i + 1 == m ? shift : 0;
    const double va = double(i) / m, vb = double(i + 1) / m;
    for (int j = 0; j < n; ++j) {
      const int j1 = (j + 1) % n;
      const int bj = b + (j + jShift) % n, bj1 = b + (j1 + jShift) % n;
      const double u0 = double(j) / n, u1 = double(j + 1) / n;
      mesh.AddFace(a + j, a + j1, bj1, {u0, va}, {u1, va}, {u1, vb});
      mesh.AddFace(a + j, bj1, bj, {u0, va}, {u1, vb}, {u0, vb});
    }
  }
  OrientOutward(mesh);
  return mesh;
}

std::vector<Vec3> Spline(const std::vector<Vec3>& points, int perSpan) {
  std::vector<Vec3> out;
  const size_t n = points.size();
  for (size_t i = 0; i + 1 < n; ++i) {
    const Vec3 p0 = points[i == 0 ? 0 : i - 1], p1 = points[i], p2 = points[i + 1];
    const Vec3 p3 = points[i + 2 < n ? i + 2 : n - 1];
    for (int k = 0; k < perSpan; ++k) {
      const double t = double(k) / perSpan, t2 = t * t, t3 = t2 * t;
      out.push_back(0.5 * (2 * p1 + (p2 - p0) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2 +
                           (3 * p1 - p0 - 3 * p2 + p3) * t3));
    }
  }
  out.push_back(points.back());
  return out;
}

void TransformVertices(Mesh& mesh, const std::function<Vec3(Vec3)>& f) {
  for (Vec3& p : mesh.vertices) p = f(p);
  if (CheckMesh(mesh).Closed()) OrientOutward(mesh);
}

void FlipFaces(Mesh& mesh) {
  for (MeshFace& f : mesh.faces) {
    std::swap(f.v[1], f.v[2]);
    std::swap(f.uv[1], f.uv[2]);
  }
}

double SignedVolume6(const Mesh& mesh) {
  double sum = 0;
  for (const MeshFace& f : mesh.faces) {
    sum += Dot(mesh.vertices[f.v[0]], Cross(mesh.vertices[f.v[1]], mesh.vertices[f.v[2]]));
  }
  return sum;
}

std::vector<Vec3> VertexNormals(const Mesh& mesh) {
  std::vector<Vec3> normals(mesh.vertices.size());
  for (const MeshFace& f : mesh.faces) {
    const Vec3 n = Cross(mesh.vertices[f.v[1]] - mesh.vertices[f.v[0]],
                         mesh.vertices[f.v[2]] - mesh.vertices[f.v[0]]);
    for (int v : f.v) normals[v] = normals[v] + n;
  }
  for (Vec3& n : normals) n = Normalized(n);
  return normals;
}

MeshCheck CheckMesh(const Mesh& mesh) {
  MeshCheck check;
  const int count = static_cast<int>(mesh.vertices.size());
  std::map<std::pair<int, int>, std::array<int, 2>> edges;  // (lo, hi) -> uses lo->hi, hi->lo
  std::set<std::array<int, 3>> seen;
  for (const MeshFace& f : mesh.faces) {
    if (std::any_of(f.v.begin(), f.v.end(), [&](int v) { return v < 0 || v >= count; })) {
      ++check.badIndices;
      continue;
    }
    const Vec3 n = Cross(mesh.vertices[f.v[1]] - mesh.vertices[f.v[0]],
                         mesh.vertices[f.v[2]] - mesh.vertices[f.v[0]]);
    if (f.v[0] == f.v[1] || f.v[1] == f.v[2] || f.v[0] == f.v[2] || Length(n) < 2e-6) {
      ++check.degenerateFaces;
    }
    std::array<int, 3> sorted = f.v;
    std::sort(sorted.begin(), sorted.end());
    if (!seen.insert(sorted).second) ++check.duplicateFaces;
    for (int k = 0; k < 3; ++k) {
      const int a = f.v[k], b = f.v[(k + 1) % 3];
      auto& uses = edges[std::minmax(a, b)];
      ++uses[a < b ? 0 : 1];
    }
  }
  for (const auto& [edge, uses] : edges) {
    const int total = uses[0] + uses[1];
    if (total == 1) ++check.openEdges;
    if (total > 2) ++check.overusedEdges;
    if (total == 2 && uses[0] != 1) ++check.misorientedEdges;
  }
  if (check.badIndices == 0) check.volume6 = SignedVolume6(mesh);
  return check;
}

std::string MeshCheck::Describe() const {
  char text[256];
  std::snprintf(text, sizeof text,
                "bad indices %d, degenerate %d, duplicate %d, open edges %d, overused edges %d, "
                "misoriented edges %d, volume %.1f",
                badIndices, degenerateFaces, duplicateFaces, openEdges, overusedEdges,
                misorientedEdges, volume6 / 6);
  return text;
}

std::string P3dText(const Mesh& mesh) {
  std::string text = std::to_string(mesh.textures.size()) + "\n";
  for (const std::string& name : mesh.textures) text += name + "\n";
  text += std::to_string(mesh.vertices.size()) + "\n";
  char line[160];
  for (const Vec3& p : mesh.vertices) {
    std::snprintf(line, sizeof line, "%.4f %.4f %.4f\n", p.x, p.y, p.z);
    text += line;
  }
  text += std::to_string(mesh.faces.size()) + "\n";
  for (const MeshFace& f : mesh.faces) {
    std::snprintf(line, sizeof line, "%d  %d %.4f %.4f  %d %.4f %.4f  %d %.4f %.4f\n", f.texture,
                  f.v[0], f.uv[0].u, f.uv[0].v, f.v[1], f.uv[1].u, f.uv[1].v, f.v[2], f.uv[2].u,
                  f.uv[2].v);
    text += line;
  }
  return text;
}

}  // namespace mkdata
