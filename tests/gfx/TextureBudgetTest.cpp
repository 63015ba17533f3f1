// Texture memory per scene: every scene's textures must fit TMU 0's 2 MiB together, since the
// arena places them one after another and each scene starts from an empty arena. The table lists
// the files each scene loads, in its init's order. Files already generated (in KELDRIN_DATA) are
// counted by their real size, objects by the textures they name; files not generated yet by their
// planned size. Sizes come from Glide's own grTexTextureMemRequired.
#include "gfx/Display.h"

#include <glide.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr FxU32 kTmuBytes = 2 * 1024 * 1024;

enum class Kind { kPaletted, kRgb565, kGlow, kScreenRgb565, kScreenGlow, kSoftSprite, kFractalFrames, kObject };

struct SceneFile {
  const char* name;
  Kind kind;
};

struct SceneBudget {
  const char* scene;
  FxU32 reservedBytes;  // memory a scene keeps for itself below its loaded textures
  std::vector<SceneFile> files;
};

const std::vector<SceneBudget>& Scenes() {
  static const std::vector<SceneBudget> scenes = {
      {"cartoon", 0,
       {{"face.cel", Kind::kSoftSprite}, {"shirt.cel", Kind::kSoftSprite}, {"arm.cel", Kind::kSoftSprite},
        {"pillow.cel", Kind::kSoftSprite}, {"face2.cel", Kind::kSoftSprite}, {"arm2.cel", Kind::kSoftSprite},
        {"suit.cel", Kind::kSoftSprite}, {"text.cel", Kind::kSoftSprite}, {"face0.cel", Kind::kSoftSprite},
        {"hand.cel", Kind::kSoftSprite}, {"hifi.cel", Kind::kSoftSprite}, {"white.cel", Kind::kPaletted}}},
      {"title", 0, {{"title.cel", Kind::kScreenRgb565}, {"green.cel", Kind::kRgb565}}},
      {"space", 0,
       {{"space.cel", Kind::kRgb565}, {"sun.cel", Kind::kGlow}, {"flare.cel", Kind::kGlow}, {"glow.cel", Kind::kGlow},
        {"clouds.cel", Kind::kGlow}, {"white.cel", Kind::kRgb565}, {"green.cel", Kind::kRgb565},
        {"planet.p3d", Kind::kObject}, {"clouds.p3d", Kind::kObject}, {"plane.p3d", Kind::kObject}}},
      {"tunnel", 0x20000, {{"tunnel.cel", Kind::kPaletted}}},  // the feedback texture comes first
      {"fire", 0x20000, {{"fire.cel", Kind::kPaletted}}},
      {"fractal", 0, {{"fractal.dat", Kind::kFractalFrames}, {"yellow.cel", Kind::kRgb565}}},
      {"crypt", 0, {{"crypt.cel", Kind::kScreenRgb565}, {"rebuilt.cel", Kind::kScreenGlow}, {"vexol.p3d", Kind::kObject}}},
      {"facemap", 0, {{"refmap2.cel", Kind::kRgb565}, {"vexol.p3d", Kind::kObject}}},
      {"enviro", 0,
       {{"refmap.cel", Kind::kRgb565}, {"refmap2.cel", Kind::kRgb565}, {"refmap3.cel", Kind::kRgb565},
        {"vexol.p3d", Kind::kObject}, {"teapot.p3d", Kind::kObject}, {"torus.p3d", Kind::kObject},
        {"knot.p3d", Kind::kObject}, {"shape1.p3d", Kind::kObject}, {"shape2.p3d", Kind::kObject},
        {"shape3.p3d", Kind::kObject}, {"shape4.p3d", Kind::kObject}, {"shape5.p3d", Kind::kObject},
        {"shape6.p3d", Kind::kObject}}},
      {"temple", 0,
       {{"flare.cel", Kind::kGlow}, {"red.cel", Kind::kGlow}, {"grn.cel", Kind::kGlow}, {"blue.cel", Kind::kGlow},
        {"glow.cel", Kind::kGlow}, {"temple.p3d", Kind::kObject}, {"light.p3d", Kind::kObject},
        {"liteball.p3d", Kind::kObject}}},
  };
  return scenes;
}

std::filesystem::path DataDir() {
  const char* data = std::getenv("KELDRIN_DATA");
  return data && *data ? std::filesystem::path(data) : std::filesystem::path(KELDRIN_BINARY_DIR) / "data";
}

FxU32 Required(GrLOD_t lod, GrTextureFormat_t format) {
  GrTexInfo info{lod, lod, GR_ASPECT_1x1, format, nullptr};
  return grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info);
}

// The LOD a CEL of `fileSize` bytes loads as, for a square or a screen loader.
std::optional<GrLOD_t> CelLod(uintmax_t fileSize, bool screen) {
  if (screen) return fileSize == 52000 ? std::optional<GrLOD_t>(GR_LOD_256) : std::nullopt;
  const struct {
    uintmax_t size;
    GrLOD_t lod;
  } sizes[] = {{864, GR_LOD_8}, {1056, GR_LOD_16}, {1824, GR_LOD_32}, {4896, GR_LOD_64}, {17184, GR_LOD_128}, {66336, GR_LOD_256}};
  for (const auto& s : sizes) {
    if (s.size == fileSize) return s.lod;
  }
  return std::nullopt;
}

struct Tally {
  FxU32 bytes = 0;
  int planned = 0;  // files counted by their planned size
  std::vector<std::string> problems;
};

// One CEL through a loader of `kind`. A missing file counts as the largest it can be.
void CountCel(const std::string& name, Kind kind, Tally& tally) {
  const bool screen = kind == Kind::kScreenRgb565 || kind == Kind::kScreenGlow || kind == Kind::kSoftSprite;
  const GrTextureFormat_t format = kind == Kind::kPaletted ? GR_TEXFMT_P_8
                                   : (kind == Kind::kRgb565 || kind == Kind::kScreenRgb565) ? GR_TEXFMT_RGB_565
                                                                                            : GR_TEXFMT_ARGB_4444;
  const std::filesystem::path path = DataDir() / name;
  std::error_code error;
  GrLOD_t lod = GR_LOD_256;
  if (std::filesystem::is_regular_file(path, error)) {
    const auto found = CelLod(std::filesystem::file_size(path, error), screen);
    if (!found) {
      tally.problems.push_back(name + " has a size its loader refuses");
      return;
    }
    lod = *found;
  } else {
    ++tally.planned;
  }
  tally.bytes += Required(lod, format);
}

// An object's textures, each loaded with LoadCelRgb565. A missing object counts as one 256 x 256
// texture.
void CountObject(const std::string& name, Tally& tally) {
  std::ifstream file(DataDir() / name);
  if (!file) {
    ++tally.planned;
    tally.bytes += Required(GR_LOD_256, GR_TEXFMT_RGB_565);
    return;
  }
  std::string line;
  std::getline(file, line);
  long count = -1;
  try {
    count = std::stol(line, nullptr, 0);
  } catch (...) {
  }
  if (count < 0 || count > 16) {
    tally.problems.push_back(name + " does not start with a texture count of 0 ... 16");
    return;
  }
  for (long i = 0; i < count && std::getline(file, line); ++i) CountCel(line, Kind::kRgb565, tally);
}

Tally CountScene(const SceneBudget& scene) {
  Tally tally;
  tally.bytes = scene.reservedBytes;
  for (const SceneFile& f : scene.files) {
    if (f.kind == Kind::kObject) {
      CountObject(f.name, tally);
    } else if (f.kind == Kind::kFractalFrames) {
      tally.bytes += 20 * Required(GR_LOD_128, GR_TEXFMT_P_8);
    } else {
      CountCel(f.name, f.kind, tally);
    }
  }
  return tally;
}

// The rules the budget relies on, as Glide 2.x computes them for single-level square textures.
TEST(TextureBudgetTest, GlideMemoryRulesForSquareTextures) {
  const struct {
    GrLOD_t lod;
    FxU32 eightBit, sixteenBit;
  } rules[] = {{GR_LOD_256, 65536, 131072}, {GR_LOD_128, 16384, 32768}, {GR_LOD_64, 4096, 8192},
               {GR_LOD_32, 1024, 2048},     {GR_LOD_16, 256, 512},       {GR_LOD_8, 64, 128}};
  for (const auto& r : rules) {
    EXPECT_EQ(Required(r.lod, GR_TEXFMT_P_8), r.eightBit) << "LOD " << r.lod;
    EXPECT_EQ(Required(r.lod, GR_TEXFMT_RGB_565), r.sixteenBit) << "LOD " << r.lod;
    EXPECT_EQ(Required(r.lod, GR_TEXFMT_ARGB_4444), r.sixteenBit) << "LOD " << r.lod;
  }
  EXPECT_GE(grTexMaxAddress(GR_TMU0) + 8 - grTexMinAddress(GR_TMU0), kTmuBytes);
}

TEST(TextureBudgetTest, EverySceneFitsTextureMemory) {
  for (const SceneBudget& scene : Scenes()) {
    const Tally tally = CountScene(scene);
    std::printf("texture budget %-8s %7u of %u bytes (%zu files, %d counted by planned size)\n", scene.scene,
                tally.bytes, kTmuBytes, scene.files.size(), tally.planned);
    for (const std::string& problem : tally.problems) ADD_FAILURE() << scene.scene << ": " << problem;
    EXPECT_LE(tally.bytes, kTmuBytes) << scene.scene << " does not fit TMU 0 memory";
  }
}

}  // namespace
