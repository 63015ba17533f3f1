// libFuzzer harness for the CEL and PAL loaders. The first input byte picks the loader and a
// file size (an accepted size, or one next to it); the rest of the input is the file, cut or
// padded to that size. After every load the table, the arena and the glow flag must be in a
// state a loader may leave.
// Build: tests/fuzz/CMakeLists.txt.
#include "gfx/Display.h"
#include "gfx/Loaders.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const size_t kSizes[] = {864, 1056, 1824, 4896, 17184, 66336, 52000, 768, 776, 327680};

struct Loader {
  TextureId (*load)(const char*);
};
const Loader kLoaders[] = {{LoadCelPaletted}, {LoadCelRgb565}, {LoadCelGlow},
                           {LoadScreenRgb565}, {LoadScreenGlow}, {LoadCelSoftSprite}};

// The input repeated to `fileSize` bytes, written in one block.
std::string WriteInput(const char* name, const uint8_t* data, size_t size, size_t fileSize) {
  static std::vector<uint8_t> bytes;
  bytes.resize(fileSize);
  for (size_t i = 0; i < fileSize; ++i) bytes[i] = size > 0 ? data[i % size] : 0;
  std::FILE* file = std::fopen(name, "wb");
  if (!file) std::abort();
  if (fileSize > 0 && std::fwrite(bytes.data(), 1, fileSize, file) != fileSize) std::abort();
  std::fclose(file);
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("GLIDE_PRESENT", "none", 0);
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  const std::filesystem::path base =
      std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
  const auto dir = base / ("keldrin-fuzz-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  OpenDisplay();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t choice = data[0];
  const int delta = static_cast<int>(data[1] % 5) - 2;  // -2 ... +2 bytes around the size
  data += 2;
  size -= 2;
  const size_t base = kSizes[choice % (sizeof kSizes / sizeof kSizes[0])];
  const bool offSize = size > 0 && (data[0] & 1) != 0;
  const size_t fileSize = static_cast<size_t>(static_cast<long>(base) + (offSize ? delta : 0));
  TextureCount = (choice & 0x80) ? kTextureTableRows - 1 : 0;
  TextureArenaNext = TextureArenaBase;
  const int32_t countBefore = TextureCount;
  const FxU32 arenaBefore = TextureArenaNext;

  if (base == 768 || base == 776) {
    LoadPalette(WriteInput("f.pal", data, size, fileSize).c_str());
    return 0;
  }
  if (base == 327680) {
    WriteInput("fractal.dat", data, size, fileSize);
    TextureId ids[kFractalFrameCount];
    const int32_t result = LoadFractalFrames(ids);
    if (result != 20 && (TextureCount != countBefore || TextureArenaNext != arenaBefore)) std::abort();
    return 0;
  }
  GlowDoubling = choice & 0x40;
  const TextureId id = kLoaders[(choice >> 3) % 6].load(WriteInput("f.cel", data, size, fileSize).c_str());
  if (id < 0 && (TextureCount != countBefore || TextureArenaNext != arenaBefore)) std::abort();
  if (id >= 0 && (id != countBefore || TextureCount != countBefore + 1 || TextureArenaNext <= arenaBefore)) std::abort();
  return 0;
}
