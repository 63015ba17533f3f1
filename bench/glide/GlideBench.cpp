// Rasterizer benchmarks, on the threads GLIDE_THREADS names (default: one). Each iteration ends
// when its drawing is done (grSstIdle), and times are wall-clock times, so that the figures of
// one and of several threads compare; run one thread on one core: `taskset -c 1 bench_glide`.
//   bench_glide [google benchmark flags]
//   bench_glide --once CASE [N]   draws CASE N times (quads: default 2; meshes: default 1, each
//                                  after a clear), for callgrind instruction counts, e.g.
//                                  valgrind --tool=callgrind --toggle-collect='*FullScreenQuad*'
//                                  bench_glide --once quad 3, or for timing whole runs
// Cases: a 640 x 480 quad, perspective, bilinear, blended (SRC_ALPHA / ONE_MINUS_SRC_ALPHA),
// 4x4 dithered with subtraction, from a 256 x 256 RGB565 texture (quad); the same from P_8; the
// same opaque; a W-buffered mesh of 6000 small textured triangles from P_8 (mesh) and in the state
// the presentation draws its objects in, from RGB565 scaled by alpha (mesh_objects), covering the
// screen once (about 51 pixels a triangle) or a 400 x 300 area (mesh_scene_size,
// mesh_scene_size_objects: 20 pixels a triangle, the size of the scenes' object triangles). The
// quads and the full-screen P_8 mesh also through the generic path, the straightforward
// per-pixel implementation the specialised paths replace. The cases use the texture + iterated
// colour combine (the feedback passes' and the fractal's); the *_display_combine cases the
// display's default, texture scaled by iterated alpha + iterated colour, for comparison; so does
// blended_white, the same quad from a plain white texture (a fade), which fetches no texels.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Context.h"
#include "glide.h"

namespace {

GrVertex V(float x, float y, float oow, float s, float t, float a) {
  GrVertex v;
  std::memset(&v, 0, sizeof v);
  v.x = x;
  v.y = y;
  v.r = 20;
  v.g = 30;
  v.b = 40;
  v.a = a;
  v.oow = oow;
  v.tmuvtx[0].sow = s * oow;
  v.tmuvtx[0].tow = t * oow;
  return v;
}

std::vector<uint8_t> Texels565;
// A plain white 16 x 16 RGB565 texture, the kind a fade draws.
const std::vector<uint16_t> WhiteTexels(16 * 16, 0xFFFF);
GrTexInfo kWhite{GR_LOD_16, GR_LOD_16, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, const_cast<uint16_t*>(WhiteTexels.data())};
constexpr FxU32 kWhiteAddress = 0x30000;
std::vector<uint8_t> TexelsP8;

void Open() {
  static bool opened = false;
  if (opened) return;
  opened = true;
  setenv("GLIDE_PRESENT", "none", 1);
  setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
  setenv("GLIDE_THREADS", "1", 0);
  grGlideInit();
  GrHwConfiguration hw;
  grSstQueryHardware(&hw);
  grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR,
               GR_ORIGIN_UPPER_LEFT, 2, 1);
  std::mt19937 rng(5);
  Texels565.resize(256 * 256 * 2);
  TexelsP8.resize(256 * 256);
  for (auto& b : Texels565) b = static_cast<uint8_t>(rng());
  for (auto& b : TexelsP8) b = static_cast<uint8_t>(rng());
  GuTexPalette palette;
  for (auto& e : palette.data) e = rng() & 0xFFFFFF;
  grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, &palette);
  GrTexInfo a{GR_LOD_256, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, Texels565.data()};
  GrTexInfo b{GR_LOD_256, GR_LOD_256, GR_ASPECT_1x1, GR_TEXFMT_P_8, TexelsP8.data()};
  grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &a);
  grTexDownloadMipMap(GR_TMU0, 0x20000, GR_MIPMAPLEVELMASK_BOTH, &b);
  grTexDownloadMipMap(GR_TMU0, kWhiteAddress, GR_MIPMAPLEVELMASK_BOTH, &kWhite);
}

// The scenes' usual state: bilinear wrap, texture + iterated colour (the feedback passes' and
// the fractal's combine), iterated alpha; or with `scaled` the display's default combine,
// texture scaled by iterated alpha + iterated colour (the scenes' objects and most quads).
void SceneState(bool p8, bool blend, bool generic, bool scaled = false) {
  Open();
  glide::TheContext().SetGenericOnly(generic);
  GrTexInfo info{GR_LOD_256, GR_LOD_256, GR_ASPECT_1x1, p8 ? GR_TEXFMT_P_8 : GR_TEXFMT_RGB_565,
                 nullptr};
  grTexSource(GR_TMU0, p8 ? 0x20000 : 0, GR_MIPMAPLEVELMASK_BOTH, &info);
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
  grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
  guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
  guColorCombineFunction(scaled ? GR_COLORCOMBINE_TEXTURE_TIMES_ALPHA_ADD_ITRGB : GR_COLORCOMBINE_TEXTURE_ADD_ITRGB);
  guAlphaSource(GR_ALPHASOURCE_ITERATED_ALPHA);
  grDitherMode(GR_DITHER_4x4);
  if (blend) {
    grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
  } else {
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
  }
  grDepthBufferMode(GR_DEPTHBUFFER_DISABLE);
  grClipWindow(0, 0, 640, 480);
}

void FullScreenQuad() {
  // A floor in perspective: far edge at W = 4, near edge at W = 1, s and t over two repeats.
  GrVertex q[4] = {V(0, 0, 0.25f, 0, 0, 160), V(640, 0, 0.25f, 512, 0, 160),
                   V(640, 480, 1.0f, 512, 512, 160), V(0, 480, 1.0f, 0, 512, 160)};
  grDrawPlanarPolygonVertexList(4, q);
}

struct Mesh {
  std::vector<GrVertex> v;
  std::vector<int> tris;
};

// 60 x 50 quads = 6000 triangles, W 1 to 3. Full screen: each about 10 x 9 pixels (51 pixels a
// triangle). Scene size: 400 x 300 pixels at the centre, 20 pixels a triangle, what the scenes'
// objects draw (facemap's triangles average 15 pixels, enviro's 25). Distant: 180 x 135 pixels,
// 4 pixels a triangle, like the far and edge-on faces (a third of the whole run's triangles cover
// at most four pixels).
enum class MeshSize { kFull, kScene, kDistant };

Mesh MakeMesh(float width, float height) {
  Mesh m;
  const int nx = 60, ny = 50;
  const float left = (640.0f - width) / 2, top = (480.0f - height) / 2;
  for (int j = 0; j <= ny; ++j) {
    for (int i = 0; i <= nx; ++i) {
      const float x = left + width * i / nx, y = top + height * j / ny;
      const float w = 1.0f + 2.0f * (0.5f + 0.5f * std::sin(i * 0.3f + j * 0.2f));
      m.v.push_back(V(x, y, 1.0f / w, x * 0.8f, y * 0.8f, 255));
    }
  }
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i) {
      const int a = j * (nx + 1) + i;
      m.tris.insert(m.tris.end(), {a, a + 1, a + nx + 2, a, a + nx + 2, a + nx + 1});
    }
  }
  return m;
}

const Mesh& TheMesh(MeshSize size) {
  static const Mesh full = MakeMesh(640, 480), scene = MakeMesh(400, 300), distant = MakeMesh(180, 135);
  return size == MeshSize::kFull ? full : size == MeshSize::kScene ? scene : distant;
}

// The mesh state: texture alpha times iterated alpha, W buffer LESS with writes. From P_8 with
// no blending; or as the presentation draws its objects, from RGB565 (every object texture is)
// scaled by alpha (SRC_ALPHA, ZERO).
void MeshState(bool generic, bool objects = false, bool scaled = false) {
  SceneState(!objects, false, generic, scaled);
  if (objects) grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
  guAlphaSource(GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA);
  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthBufferFunction(GR_CMP_LESS);
  grDepthMask(FXTRUE);
}

void DrawMesh(MeshSize size) {
  const Mesh& m = TheMesh(size);
  for (size_t i = 0; i < m.tris.size(); i += 3) {
    grDrawTriangle(&m.v[m.tris[i]], &m.v[m.tris[i + 1]], &m.v[m.tris[i + 2]]);
  }
}

void BM_Quad(benchmark::State& state, bool p8, bool blend, bool generic, bool scaled = false) {
  SceneState(p8, blend, generic, scaled);
  for (auto _ : state) {
    FullScreenQuad();
    grSstIdle();
  }
  state.SetItemsProcessed(state.iterations() * 640 * 480);
  state.counters["Mpixel/s"] = benchmark::Counter(640.0 * 480.0 * state.iterations() / 1e6,
                                                  benchmark::Counter::kIsRate);
}

// The white texture faded in over the screen: the display's default combine, blended.
void BM_QuadOneColour(benchmark::State& state, bool generic) {
  SceneState(false, true, generic, true);
  grTexSource(GR_TMU0, kWhiteAddress, GR_MIPMAPLEVELMASK_BOTH, &kWhite);
  for (auto _ : state) {
    FullScreenQuad();
    grSstIdle();
  }
  state.counters["Mpixel/s"] = benchmark::Counter(640.0 * 480.0 * state.iterations() / 1e6,
                                                  benchmark::Counter::kIsRate);
}

void BM_Mesh(benchmark::State& state, bool generic, bool objects, MeshSize size, bool scaled = false) {
  MeshState(generic, objects, scaled);
  for (auto _ : state) {
    state.PauseTiming();
    grBufferClear(0, 0, GR_WDEPTHVALUE_FARTHEST);
    grSstIdle();
    state.ResumeTiming();
    DrawMesh(size);
    grSstIdle();
  }
  const double triangles = static_cast<double>(TheMesh(size).tris.size() / 3);
  state.counters["ns/triangle"] = benchmark::Counter(triangles * state.iterations() / 1e9,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Clear(benchmark::State& state) {
  Open();
  glide::TheContext().SetGenericOnly(false);
  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthMask(FXTRUE);
  grClipWindow(0, 0, 640, 480);
  for (auto _ : state) {
    grBufferClear(0, 0, 0xFFFF);
    grSstIdle();
  }
}

BENCHMARK_CAPTURE(BM_Quad, blended_rgb565, false, true, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Quad, blended_rgb565_generic, false, true, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Quad, blended_rgb565_display_combine, false, true, false, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_QuadOneColour, blended_white, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_QuadOneColour, blended_white_generic, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Quad, blended_p8, true, true, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Quad, blended_p8_generic, true, true, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Quad, opaque_rgb565, false, false, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Quad, opaque_rgb565_generic, false, false, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Mesh, wbuffer_6000, false, false, MeshSize::kFull)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Mesh, wbuffer_6000_generic, true, false, MeshSize::kFull)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Mesh, wbuffer_6000_objects, false, true, MeshSize::kFull)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Mesh, wbuffer_6000_scene_size, false, false, MeshSize::kScene)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Mesh, wbuffer_6000_scene_size_objects, false, true, MeshSize::kScene)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Mesh, wbuffer_6000_scene_size_objects_display_combine, false, true, MeshSize::kScene, true)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Mesh, wbuffer_6000_distant_objects, false, true, MeshSize::kDistant)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Clear)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "--once") == 0) {
    const std::string which = argv[2];
    const int times = argc == 4 ? std::atoi(argv[3]) : 2;
    if (which == "quad") {
      SceneState(false, true, false);
    } else if (which == "quad_generic") {
      SceneState(false, true, true);
    } else if (which.starts_with("mesh")) {
      const bool objects = which.ends_with("_objects");
      const MeshSize size = which.starts_with("mesh_scene_size") ? MeshSize::kScene
                            : which.starts_with("mesh_distant")  ? MeshSize::kDistant
                                                                 : MeshSize::kFull;
      const char* sizeName = size == MeshSize::kScene ? "_scene_size" : size == MeshSize::kDistant ? "_distant" : "";
      if (which != "mesh" + std::string(sizeName) + (objects ? "_objects" : "")) return 2;
      MeshState(false, objects);
      for (int i = 0; i < (argc == 4 ? times : 1); ++i) {
        grBufferClear(0, 0, GR_WDEPTHVALUE_FARTHEST);
        DrawMesh(size);
      }
      grSstIdle();
      return 0;
    } else {
      return 2;
    }
    for (int i = 0; i < times; ++i) FullScreenQuad();
    grSstIdle();
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
