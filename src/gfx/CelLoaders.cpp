// The CEL texture loaders. A CEL file is a 32-byte header (not read), a 768-byte palette of 6-bit
// components at offset 32, and one palette index per pixel from offset 800; the image size comes
// from the file size alone.
#include "gfx/LoaderCommon.h"
#include "gfx/Loaders.h"
#include "gfx/TexelFormats.h"

#include <cstring>

int32_t GlowDoubling = 0;

namespace {

using gfx_internal::AllocateBuffer;
using gfx_internal::RegisterTexture;

constexpr long long kPaletteOffset = 32;
constexpr long long kPixelOffset = 800;
constexpr int kScreenRows = 200;
constexpr long long kScreenPixels = static_cast<long long>(kSpriteSide) * kScreenRows;  // 51200

struct CelSize {
  int side;
  GrLOD_t lod;
};

constexpr CelSize kSquareSizes[] = {
    {8, GR_LOD_8}, {16, GR_LOD_16}, {32, GR_LOD_32}, {64, GR_LOD_64}, {128, GR_LOD_128}, {256, GR_LOD_256},
};

enum class CelKind { kSquare, kScreen };

// A CEL in host memory: its palette (when asked for) and a square plane of palette indices.
struct CelPlane {
  GrLOD_t lod = GR_LOD_256;
  size_t texels = 0;  // side * side
  CelPaletteBytes palette{};
  std::unique_ptr<uint8_t[]> indices;
};

// Opens `name`, accepts only the sizes of `kind`, reads the palette when `withPalette` and the
// pixels into a square plane. A screen image fills rows 0 ... 199 of a 256 x 256 plane whose other
// rows hold `fill`. False on any failure, with nothing kept.
bool ReadCel(const char* name, CelKind kind, bool withPalette, uint8_t fill, CelPlane& cel) {
  long long size = 0;
  const gfx_internal::File file = gfx_internal::OpenRegularFile(name, size);
  if (!file) return false;
  const long long pixels = size - kPixelOffset;
  long long side = 0;
  if (kind == CelKind::kScreen) {
    if (pixels != kScreenPixels) return false;
    side = kSpriteSide;
    cel.lod = GR_LOD_256;
  } else {
    for (const CelSize& s : kSquareSizes) {
      if (pixels == static_cast<long long>(s.side) * s.side) {
        side = s.side;
        cel.lod = s.lod;
      }
    }
    if (side == 0) return false;
  }
  if (withPalette && !gfx_internal::ReadExactly(file.get(), kPaletteOffset, cel.palette.data(), cel.palette.size())) {
    return false;
  }
  cel.texels = static_cast<size_t>(side * side);
  cel.indices = AllocateBuffer<uint8_t>(cel.texels);
  if (!cel.indices) return false;
  if (kind == CelKind::kScreen) std::memset(cel.indices.get(), fill, cel.texels);
  if (!gfx_internal::ReadExactly(file.get(), kPixelOffset, cel.indices.get(), static_cast<size_t>(pixels))) {
    cel.indices.reset();
    return false;
  }
  return true;
}

TextureId LoadRgb565(const char* name, CelKind kind) {
  CelPlane cel;
  if (!ReadCel(name, kind, true, 0, cel)) return -1;
  auto texels = AllocateBuffer<uint16_t>(cel.texels);
  if (!texels) return -1;
  const TexelTable table = PaletteToRgb565(cel.palette);
  for (size_t i = 0; i < cel.texels; ++i) texels[i] = table[cel.indices[i]];
  return RegisterTexture(cel.lod, GR_TEXFMT_RGB_565, texels.get(), static_cast<FxU32>(2 * cel.texels));
}

TextureId LoadGlow(const char* name, CelKind kind) {
  CelPlane cel;
  if (!ReadCel(name, kind, true, 0, cel)) return -1;
  auto texels = AllocateBuffer<uint16_t>(cel.texels);
  if (!texels) return -1;
  const TexelTable table = PaletteToRgb444(cel.palette);
  const bool doubling = GlowDoubling != 0;
  for (size_t i = 0; i < cel.texels; ++i) {
    const uint16_t rgb = table[cel.indices[i]];
    texels[i] = static_cast<uint16_t>(GlowAlpha(rgb, doubling) << 12 | rgb);
  }
  const TextureId id = RegisterTexture(cel.lod, GR_TEXFMT_ARGB_4444, texels.get(), static_cast<FxU32>(2 * cel.texels));
  if (id >= 0) GlowDoubling = 0;
  return id;
}

}  // namespace

TextureId LoadCelPaletted(const char* name) {
  CelPlane cel;
  if (!ReadCel(name, CelKind::kSquare, false, 0, cel)) return -1;
  return RegisterTexture(cel.lod, GR_TEXFMT_P_8, cel.indices.get(), static_cast<FxU32>(cel.texels));
}

TextureId LoadCelRgb565(const char* name) { return LoadRgb565(name, CelKind::kSquare); }
TextureId LoadScreenRgb565(const char* name) { return LoadRgb565(name, CelKind::kScreen); }
TextureId LoadCelGlow(const char* name) { return LoadGlow(name, CelKind::kSquare); }
TextureId LoadScreenGlow(const char* name) { return LoadGlow(name, CelKind::kScreen); }

TextureId LoadCelSoftSprite(const char* name) {
  CelPlane cel;
  if (!ReadCel(name, CelKind::kScreen, true, kSpriteTransparentIndex, cel)) return -1;
  auto alpha = AllocateBuffer<uint8_t>(cel.texels);
  auto texels = AllocateBuffer<uint16_t>(cel.texels);
  if (!alpha || !texels) return -1;
  TexelTable table = PaletteToRgb444(cel.palette);
  table[kSpriteTransparentIndex] = 0;  // transparent pixels are black, so filtering fades to black
  SoftEdgeAlpha(cel.indices.get(), alpha.get());
  for (size_t i = 0; i < cel.texels; ++i) texels[i] = static_cast<uint16_t>(alpha[i] << 12 | table[cel.indices[i]]);
  return RegisterTexture(GR_LOD_256, GR_TEXFMT_ARGB_4444, texels.get(), static_cast<FxU32>(2 * cel.texels));
}
