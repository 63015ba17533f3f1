// objview DATA_DIR OUT_DIR [NAME.p3d ...]: renders each object file the way the scenes project
// it (the loader's axes and ObjectScale, the matrix kit, focal length 640, the eye behind the
// origin, the screen-area test) into OUT_DIR/NAME.png: four views at half size, the first
// textured as the crypt and temple scenes draw it, the others shaded by face normal; and the
// textured view at full size into OUT_DIR/NAME_full.png. For looking at the objects;
// nothing in the build depends on it.
#include "formats/Cel.h"
#include "kit/Image.h"
#include "objects/Meshes.h"
#include "geom/Matrix.h"
#include "geom/P3d.h"
#include "geom/Projection.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<mkdata::Image> Textures;
std::filesystem::path DataDir;

TextureId LoadPreviewTexture(const char* name) {
  std::ifstream in(DataDir / name, std::ios::binary);
  if (!in) return -1;
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto indexed = mkdata::DecodeCel(bytes);
  if (!indexed) return -1;
  Textures.push_back(mkdata::ToImage(*indexed));
  return static_cast<TextureId>(Textures.size() - 1);
}

// One 640 x 480 view of `object` under CurrentMatrix, eye `eye` units behind the origin.
mkdata::Image RenderView(const P3dObject& object, float eye, bool textured) {
  constexpr int kW = 640, kH = 480;
  mkdata::Image image(kW, kH, {8, 8, 16, 255});
  std::vector<float> depth(kW * kH, 0.0f);  // 1/z, larger is nearer
  std::vector<Vertex4> points(object.vertexCount);
  TransformPoints(points.data(), object.vertices, static_cast<uint32_t>(object.vertexCount));
  const Vector3 light{-0.4f, -0.6f, -0.7f};  // view space: from upper left, towards the viewer
  for (int i = 0; i < object.faceCount; ++i) {
    const P3dFace& f = object.faces[i];
    const Vertex4 p[3] = {points[f.vertex0], points[f.vertex1], points[f.vertex2]};
    ScreenPoint s[3];
    bool behind = false;
    for (int k = 0; k < 3; ++k) {
      if (!(p[k].z + eye > 0)) behind = true;
      s[k] = ProjectToScreen(p[k], eye);
    }
    if (behind) continue;
    const float area = (s[0].x - s[1].x) * (s[2].y - s[1].y) - (s[0].y - s[1].y) * (s[2].x - s[1].x);
    if (!(area > 0.9f)) continue;
    const Vector3 e1{p[1].x - p[0].x, p[1].y - p[0].y, p[1].z - p[0].z};
    const Vector3 e2{p[2].x - p[0].x, p[2].y - p[0].y, p[2].z - p[0].z};
    Vector3 n;
    CrossProduct(&e1, &e2, &n);
    const float len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    const float lit = len > 0 ? std::max(0.0f, (n.x * light.x + n.y * light.y + n.z * light.z) / (len * 0.995f)) : 0;
    const float us[3] = {f.texU0, f.texU1, f.texU2}, vs[3] = {f.texV0, f.texV1, f.texV2};
    const mkdata::Image* tex = textured && f.textureId >= 0 ? &Textures[f.textureId] : nullptr;
    const int x0 = std::max(0, int(std::min({s[0].x, s[1].x, s[2].x})));
    const int x1 = std::min(kW - 1, int(std::max({s[0].x, s[1].x, s[2].x})));
    const int y0 = std::max(0, int(std::min({s[0].y, s[1].y, s[2].y})));
    const int y1 = std::min(kH - 1, int(std::max({s[0].y, s[1].y, s[2].y})));
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) {
        const float px = x + 0.5f, py = y + 0.5f;
        float w[3];
        for (int k = 0; k < 3; ++k) {
          const ScreenPoint &a = s[(k + 1) % 3], &b = s[(k + 2) % 3];
          w[k] = ((a.x - px) * (b.y - py) - (a.y - py) * (b.x - px)) / -area;  // area is -(s1-s0)x(s2-s0)
        }
        if (w[0] < 0 || w[1] < 0 || w[2] < 0) continue;
        const float oow = w[0] * s[0].oow + w[1] * s[1].oow + w[2] * s[2].oow;
        float& d = depth[y * kW + x];
        if (oow <= d) continue;
        d = oow;
        mkdata::Rgba8 c;
        if (tex) {
          float u = 0, v = 0;
          for (int k = 0; k < 3; ++k) {
            u += w[k] * us[k] * s[k].oow;
            v += w[k] * vs[k] * s[k].oow;
          }
          const int tx = std::clamp(int(u / oow / 256.0f * tex->width), 0, tex->width - 1);
          const int ty = std::clamp(int(v / oow / 256.0f * tex->height), 0, tex->height - 1);
          c = tex->At(tx, ty);
        } else {
          const float shade = 0.12f + 0.88f * lit;
          c = {uint8_t(70 + 170 * shade), uint8_t(60 + 180 * shade), uint8_t(50 + 160 * shade * shade + 40), 255};
        }
        image.At(x, y) = c;
      }
    }
  }
  return image;
}

// Four 640 x 480 views halved into one 640 x 480 sheet.
mkdata::Image Sheet(const std::vector<mkdata::Image>& views) {
  mkdata::Image sheet(640, 480);
  for (size_t v = 0; v < views.size() && v < 4; ++v) {
    const int ox = int(v % 2) * 320, oy = int(v / 2) * 240;
    for (int y = 0; y < 240; ++y) {
      for (int x = 0; x < 320; ++x) {
        int r = 0, g = 0, b = 0;
        for (int k = 0; k < 4; ++k) {
          const mkdata::Rgba8 c = views[v].At(2 * x + k % 2, 2 * y + k / 2);
          r += c.r, g += c.g, b += c.b;
        }
        sheet.At(ox + x, oy + y) = {uint8_t(r / 4), uint8_t(g / 4), uint8_t(b / 4), 255};
      }
    }
  }
  return sheet;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: objview DATA_DIR OUT_DIR [NAME.p3d ...]\n");
    return 2;
  }
  DataDir = argv[1];
  const std::filesystem::path outDir = argv[2];
  std::filesystem::create_directories(outDir);
  const std::vector<std::string> only(argv + 3, argv + argc);
  int failures = 0;
  for (const mkdata::ObjectEntry& entry : mkdata::ObjectCatalog()) {
    if (!only.empty() && std::find(only.begin(), only.end(), entry.file) == only.end()) continue;
    P3dObject object{};
    ObjectScale = entry.scale;
    const std::string path = (DataDir / entry.file).string();
    if (LoadP3d(path.c_str(), &object, LoadPreviewTexture) != 0) {
      std::fprintf(stderr, "objview: cannot load %s\n", path.c_str());
      ++failures;
      continue;
    }
    // The first view as the crypt and temple scenes turn their objects, then three others.
    const float turns[4][2] = {{30.0f, 35.0f}, {0.0f, 0.0f}, {140.0f, 20.0f}, {250.0f, -60.0f}};
    std::vector<mkdata::Image> views;
    for (int v = 0; v < 4; ++v) {
      LoadMatrix(MakeRotationY(turns[v][0]));
      MultMatrix(MakeRotationX(turns[v][1]));
      views.push_back(RenderView(object, entry.eyeDistance, v == 0));
    }
    const std::string png = (outDir / (entry.file.substr(0, entry.file.size() - 4) + ".png")).string();
    if (!mkdata::WritePng(png, Sheet(views))) ++failures;
    const std::string full = (outDir / (entry.file.substr(0, entry.file.size() - 4) + "_full.png")).string();
    if (!mkdata::WritePng(full, views[0])) ++failures;
    ReleaseP3d(&object);
  }
  return failures == 0 ? 0 : 1;
}
