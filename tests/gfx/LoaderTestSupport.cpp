#include "LoaderTestSupport.h"

#include "gfx/LoaderCommon.h"
#include "gfx/Loaders.h"

#include <glide.h>

#include <fstream>
#include <random>

GlideRecord& Recorded() {
  static GlideRecord record;
  return record;
}

extern "C" {
void __real_grTexDownloadMipMap(GrChipID_t tmu, FxU32 startAddress, FxU32 evenOdd, GrTexInfo* info);
void __real_grTexDownloadTable(GrChipID_t tmu, GrTexTable_t type, void* data);
FxU32 __real_grTexTextureMemRequired(FxU32 evenOdd, GrTexInfo* info);

void __wrap_grTexDownloadMipMap(GrChipID_t tmu, FxU32 startAddress, FxU32 evenOdd, GrTexInfo* info) {
  RecordedDownload download;
  download.startAddress = startAddress;
  download.info = *info;
  const size_t side = static_cast<size_t>(256 >> info->largeLod);
  const size_t bytesPerTexel = info->format >= GR_TEXFMT_16BIT ? 2 : 1;
  const auto* data = static_cast<const uint8_t*>(info->data);
  download.bytes.assign(data, data + side * side * bytesPerTexel);
  Recorded().downloads.push_back(std::move(download));
  __real_grTexDownloadMipMap(tmu, startAddress, evenOdd, info);
}

void __wrap_grTexDownloadTable(GrChipID_t tmu, GrTexTable_t type, void* data) {
  std::array<FxU32, 256> entries{};
  std::copy_n(static_cast<const FxU32*>(data), 256, entries.begin());
  Recorded().palettes.push_back(entries);
  __real_grTexDownloadTable(tmu, type, data);
}

FxU32 __wrap_grTexTextureMemRequired(FxU32 evenOdd, GrTexInfo* info) {
  return __real_grTexTextureMemRequired(evenOdd, info) + static_cast<FxU32>(Recorded().requiredSkew);
}
}

uint16_t RecordedDownload::Texel16(int s, int t) const {
  const size_t at = 2 * (static_cast<size_t>(t) * static_cast<size_t>(Side()) + static_cast<size_t>(s));
  return static_cast<uint16_t>(bytes.at(at) | bytes.at(at + 1) << 8);
}

uint8_t RecordedDownload::Texel8(int s, int t) const {
  return bytes.at(static_cast<size_t>(t) * static_cast<size_t>(Side()) + static_cast<size_t>(s));
}

std::vector<uint8_t> CelBytes(const std::vector<Rgb6>& palette, const std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> bytes(800 + pixels.size(), 0);
  // A header that would mislead a loader which trusted it: the size comes from the file size.
  bytes[0] = 0x19;
  bytes[1] = 0x91;
  bytes[2] = bytes[3] = bytes[4] = bytes[5] = 0xFF;
  for (size_t i = 0; i < palette.size() && i < 256; ++i) {
    bytes[32 + 3 * i] = palette[i].r;
    bytes[33 + 3 * i] = palette[i].g;
    bytes[34 + 3 * i] = palette[i].b;
  }
  std::copy(pixels.begin(), pixels.end(), bytes.begin() + 800);
  return bytes;
}

std::vector<uint8_t> PlainCel(size_t pixels) {
  std::vector<Rgb6> palette;
  for (int i = 0; i < 256; ++i) palette.push_back({static_cast<uint8_t>(i / 4), static_cast<uint8_t>(i / 4), static_cast<uint8_t>(i / 4)});
  return CelBytes(palette, std::vector<uint8_t>(pixels, 0));
}

void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream file(name, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(file.good()) << "cannot write " << name;
}

void LoaderTest::SetUp() {
  previous_ = std::filesystem::current_path();
  std::random_device random;
  dir_ = std::filesystem::temp_directory_path() /
         ("keldrin-gfx-" + std::to_string(random()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::create_directories(dir_);
  std::filesystem::current_path(dir_);
  TextureArenaBase = grTexMinAddress(GR_TMU0);
  TextureArenaNext = TextureArenaBase;
  TextureCount = 0;
  GlowDoubling = 0;
  FractalLoadStage = 0;
  gfx_internal::AllocationsBeforeFailure = -1;
  Recorded() = GlideRecord{};
}

void LoaderTest::TearDown() {
  std::filesystem::current_path(previous_);
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
  gfx_internal::AllocationsBeforeFailure = -1;
}

LoaderTest::Snapshot LoaderTest::Take() const {
  return {TextureCount, TextureArenaNext, Recorded().downloads.size()};
}
