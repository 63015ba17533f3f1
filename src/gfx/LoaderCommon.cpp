#include "gfx/LoaderCommon.h"

#include <filesystem>
#include <system_error>

namespace gfx_internal {

int AllocationsBeforeFailure = -1;

File OpenRegularFile(const char* name, long long& size) {
  size = 0;
  if (name == nullptr) return nullptr;
  std::error_code error;
  if (!std::filesystem::is_regular_file(name, error) || error) return nullptr;
  File file(std::fopen(name, "rb"));
  if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return nullptr;
  const long end = std::ftell(file.get());
  if (end < 0) return nullptr;
  size = end;
  return file;
}

bool ReadExactly(std::FILE* file, long long offset, void* destination, size_t bytes) {
  if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0) return false;
  return std::fread(destination, 1, bytes, file) == bytes;
}

TextureId RegisterTexture(GrLOD_t lod, GrTextureFormat_t format, void* texels, FxU32 bytes) {
  // A full table would write past its last row; the load is refused instead.
  if (TextureCount < 0 || TextureCount >= kTextureTableRows) return -1;
  GrTexInfo info{lod, lod, GR_ASPECT_1x1, format, texels};
  const FxU32 required = grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info);
  if (required != bytes) return -1;
  // grTexMaxAddress is the last usable 8-byte unit: a texture may end at max + 8.
  const FxU32 end = grTexMaxAddress(GR_TMU0) + 8;
  if (TextureArenaNext > end || required > end - TextureArenaNext) return -1;
  const TextureId id = TextureCount;
  TextureTable[id] = TextureHandle{lod, lod, GR_ASPECT_1x1, format, TextureArenaNext};
  grTexDownloadMipMap(GR_TMU0, TextureArenaNext, GR_MIPMAPLEVELMASK_BOTH, &info);
  TextureArenaNext += required;
  TextureCount = id + 1;
  return id;
}

}  // namespace gfx_internal
