// Support for the loader tests: a scratch working directory per test (the loaders read relative
// to it), CEL and PAL file builders, and a record of what reached Glide. The test executable is
// linked with --wrap for grTexDownloadMipMap, grTexDownloadTable and grTexTextureMemRequired, so
// every texel buffer and palette the loaders hand to Glide is copied here before Glide gets it.
#pragma once

#include "gfx/Display.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct RecordedDownload {
  FxU32 startAddress = 0;
  GrTexInfo info{};
  std::vector<uint8_t> bytes;  // the texels as passed

  uint16_t Texel16(int s, int t) const;  // 16-bit formats; the level is square
  uint8_t Texel8(int s, int t) const;
  int Side() const { return 256 >> info.largeLod; }
};

struct GlideRecord {
  std::vector<RecordedDownload> downloads;
  std::vector<std::array<FxU32, 256>> palettes;
  int32_t requiredSkew = 0;  // added to grTexTextureMemRequired's answer, to fake a mismatch
};
GlideRecord& Recorded();

struct Rgb6 {
  uint8_t r, g, b;
};

// CEL bytes: a header of 32 bytes, `palette` (unset entries black), then `pixels` indices.
std::vector<uint8_t> CelBytes(const std::vector<Rgb6>& palette, const std::vector<uint8_t>& pixels);
// A CEL of `pixels` indices, all 0, with a grey ramp palette.
std::vector<uint8_t> PlainCel(size_t pixels);
void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes);

// Every loader test runs in its own empty directory with the texture state of a fresh scene.
class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The table, arena and recorded downloads, compared before and after a failing load.
  struct Snapshot {
    int32_t textureCount;
    FxU32 arenaNext;
    size_t downloads;
    friend bool operator==(const Snapshot&, const Snapshot&) = default;
  };
  Snapshot Take() const;

 private:
  std::filesystem::path previous_;
  std::filesystem::path dir_;
};
