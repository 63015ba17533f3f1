// LoadPalette's two layouts and its keeping of the previous palette; LoadFractalFrames on
// complete, short and missing files, with its stage and the arena afterwards; the per-scene reset.
#include "LoaderTestSupport.h"

#include "gfx/LoaderCommon.h"
#include "gfx/Loaders.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace {

using PaletteTest = LoaderTest;

std::vector<uint8_t> PaletteFile(size_t size, size_t offset, size_t entry, std::array<uint8_t, 3> rgb) {
  std::vector<uint8_t> bytes(size, 0);
  for (size_t i = 0; i < 256 && offset + 3 * i + 2 < size; ++i) {
    bytes[offset + 3 * i] = static_cast<uint8_t>(i / 4);  // a ramp, so that every entry is checked
    bytes[offset + 3 * i + 1] = static_cast<uint8_t>(i / 8);
    bytes[offset + 3 * i + 2] = 1;
  }
  for (size_t k = 0; k < 3; ++k) {
    if (offset + 3 * entry + k < size) bytes[offset + 3 * entry + k] = rgb[k];
  }
  return bytes;
}

TEST_F(PaletteTest, TheFileSizeChoosesTheLayout) {
  struct Case {
    size_t size;
    size_t offset;
    int shift;
    std::array<uint8_t, 3> rgb;
    FxU32 expected;
  } cases[] = {
      {768, 0, 2, {63, 32, 1}, 0x00FC8004},     // 6-bit, scaled by 4
      {776, 8, 0, {255, 128, 7}, 0x00FF8007},   // header, then 8-bit as they are
      {1000, 8, 0, {1, 2, 3}, 0x00010203},      // any other size is the 8-bit layout
      {768, 0, 2, {255, 64, 63}, 0x00FCFCFC},   // 6-bit values above 63 are capped, nothing spills
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.size) + " bytes");
    WriteFile("x.pal", PaletteFile(c.size, c.offset, 77, c.rgb));
    const size_t downloads = Recorded().palettes.size();
    LoadPalette("x.pal");
    EXPECT_EQ(CurrentPalette[77], c.expected);
    for (size_t i : {0u, 5u, 255u}) {
      const FxU32 ramp = static_cast<FxU32>(i / 4) << c.shift << 16 | static_cast<FxU32>(i / 8) << c.shift << 8 | 1u << c.shift;
      EXPECT_EQ(CurrentPalette[i], ramp) << "entry " << i;
    }
    ASSERT_EQ(Recorded().palettes.size(), downloads + 1);
    EXPECT_TRUE(std::equal(std::begin(CurrentPalette), std::end(CurrentPalette), Recorded().palettes.back().begin()));
  }
}

TEST_F(PaletteTest, MissingOrShortFileKeepsThePreviousPalette) {
  WriteFile("good.pal", PaletteFile(768, 0, 3, {10, 20, 30}));
  LoadPalette("good.pal");
  const std::vector<FxU32> good(std::begin(CurrentPalette), std::end(CurrentPalette));
  std::filesystem::create_directory("dir.pal");
  WriteFile("short.pal", PaletteFile(775, 8, 3, {1, 1, 1}));  // 8-bit layout one byte short
  WriteFile("tiny.pal", PaletteFile(767, 0, 3, {1, 1, 1}));
  WriteFile("empty.pal", {});
  for (const char* name : {"missing.pal", "dir.pal", "short.pal", "tiny.pal", "empty.pal"}) {
    const size_t downloads = Recorded().palettes.size();
    LoadPalette(name);
    EXPECT_EQ(std::vector<FxU32>(std::begin(CurrentPalette), std::end(CurrentPalette)), good) << name;
    EXPECT_EQ(Recorded().palettes.size(), downloads) << name << ": nothing downloaded";
  }
}

using FractalTest = LoaderTest;

constexpr size_t kFrame = 16384;

std::vector<uint8_t> FractalBytes(size_t frames) {
  std::vector<uint8_t> bytes(frames * kFrame);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i / kFrame * 13 + i % 251);
  return bytes;
}

TEST_F(FractalTest, CompleteFileGivesTwentyConsecutiveFrames) {
  WriteFile("white.cel", PlainCel(64));
  ASSERT_EQ(LoadCelPaletted("white.cel"), 0);  // a texture before them: the frames follow it
  const Snapshot before = Take();
  const std::vector<uint8_t> file = FractalBytes(20);
  WriteFile("fractal.dat", file);
  TextureId ids[kFractalFrameCount];
  std::fill(std::begin(ids), std::end(ids), -1);
  ASSERT_EQ(LoadFractalFrames(ids), 20);
  EXPECT_EQ(FractalLoadStage, 10);
  EXPECT_EQ(TextureCount, before.textureCount + 20);
  EXPECT_EQ(TextureArenaNext, before.arenaNext + 20 * kFrame);
  for (int k = 0; k < 20; ++k) {
    SCOPED_TRACE("frame " + std::to_string(k));
    EXPECT_EQ(ids[k], 1 + k);
    const TextureHandle& row = TextureTable[ids[k]];
    EXPECT_EQ(row.largeLod, GR_LOD_128);
    EXPECT_EQ(row.format, GR_TEXFMT_P_8);
    EXPECT_EQ(row.startAddress, before.arenaNext + static_cast<FxU32>(k) * kFrame);
    const RecordedDownload& d = Recorded().downloads[static_cast<size_t>(1 + k)];
    EXPECT_TRUE(std::equal(d.bytes.begin(), d.bytes.end(), file.begin() + static_cast<ptrdiff_t>(k * kFrame)));
  }
}

// Each failure: -1, the stage that becomes the exit code, and the table and arena as before the
// call (frames registered before the failure are unregistered again).
TEST_F(FractalTest, FailuresReportTheirStageAndUnregisterTheFrames) {
  struct Case {
    const char* what;
    void (*arrange)();
    int32_t stage;
  } cases[] = {
      {"missing file", [] {}, 0},
      {"directory", [] { std::filesystem::create_directory("fractal.dat"); }, 0},
      {"empty file", [] { WriteFile("fractal.dat", {}); }, 8},
      {"five and a half frames", [] { WriteFile("fractal.dat", std::vector<uint8_t>(5 * kFrame + kFrame / 2, 1)); }, 8},
      {"one byte short", [] { WriteFile("fractal.dat", std::vector<uint8_t>(20 * kFrame - 1, 1)); }, 8},
      {"buffer allocation fails",
       [] {
         WriteFile("fractal.dat", FractalBytes(20));
         gfx_internal::AllocationsBeforeFailure = 0;
       },
       1},
      {"memory requirement differs",
       [] {
         WriteFile("fractal.dat", FractalBytes(20));
         Recorded().requiredSkew = 8;
       },
       9},
      {"table fills up at frame 8",
       [] {
         WriteFile("fractal.dat", FractalBytes(20));
         TextureCount = kTextureTableRows - 8;
       },
       9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.arrange();
    const Snapshot before = Take();
    TextureId ids[kFractalFrameCount] = {};
    FractalLoadStage = 5;
    EXPECT_EQ(LoadFractalFrames(ids), -1);
    EXPECT_EQ(FractalLoadStage, c.stage);
    EXPECT_EQ(TextureCount, before.textureCount);
    EXPECT_EQ(TextureArenaNext, before.arenaNext);
    std::error_code ignored;
    std::filesystem::remove_all("fractal.dat", ignored);
    gfx_internal::AllocationsBeforeFailure = -1;
    Recorded().requiredSkew = 0;
    TextureCount = 0;
    TextureArenaNext = TextureArenaBase;
  }
}

using SceneResetTest = LoaderTest;

TEST_F(SceneResetTest, TwoScenesInARowBothStartAtIdZero) {
  WriteFile("a.cel", PlainCel(4096));
  BeginScene();
  EXPECT_EQ(LoadCelRgb565("a.cel"), 0);
  EXPECT_EQ(LoadCelRgb565("a.cel"), 1);
  BeginScene();
  EXPECT_EQ(LoadCelGlow("a.cel"), 0);
  EXPECT_EQ(TextureTable[0].startAddress, TextureArenaBase);
  EXPECT_EQ(TextureTable[0].format, GR_TEXFMT_ARGB_4444);
  EXPECT_EQ(TextureArenaNext, TextureArenaBase + 8192);

  BeginScene();
  SetTextureArenaTop(grTexMinAddress(GR_TMU0) + 0x20000);
  EXPECT_EQ(LoadCelPaletted("a.cel"), 0);
  EXPECT_EQ(TextureTable[0].startAddress, grTexMinAddress(GR_TMU0) + 0x20000);
}

}  // namespace

namespace {

// Every pixel of a colour buffer, read back.
std::vector<uint16_t> ReadBuffer(GrBuffer_t buffer) {
  std::vector<uint16_t> pixels(640 * 480);
  EXPECT_TRUE(grLfbReadRegion(buffer, 0, 0, 640, 480, 1280, pixels.data()));
  return pixels;
}

using SceneResetBuffersTest = LoaderTest;

TEST_F(SceneResetBuffersTest, BeginSceneLeavesBothColourBuffersBlack) {
  // Both buffers hold a picture first.
  for (int i = 0; i < 2; ++i) {
    grBufferClear(0x00FF00FF, 0, GR_WDEPTHVALUE_FARTHEST);
    grBufferSwap(0);
  }
  ASSERT_NE(ReadBuffer(GR_BUFFER_FRONTBUFFER)[0], 0);
  ASSERT_NE(ReadBuffer(GR_BUFFER_BACKBUFFER)[0], 0);
  BeginScene();
  for (GrBuffer_t buffer : {GR_BUFFER_FRONTBUFFER, GR_BUFFER_BACKBUFFER}) {
    const auto pixels = ReadBuffer(buffer);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0), 640 * 480) << "buffer " << buffer;
  }
}

}  // namespace
