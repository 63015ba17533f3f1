// "fractal.dat": no header, 20 frames of 128 x 128 palette indices (16384 bytes each), rows top to
// bottom.
#include "gfx/LoaderCommon.h"
#include "gfx/Loaders.h"

namespace {

constexpr size_t kFrameBytes = 128 * 128;

}  // namespace

int32_t FractalLoadStage = 0;

int32_t LoadFractalFrames(TextureId ids[kFractalFrameCount]) {
  FractalLoadStage = 0;
  long long size = 0;
  const gfx_internal::File file = gfx_internal::OpenRegularFile("fractal.dat", size);
  if (!file) return -1;
  FractalLoadStage = 1;
  auto buffer = gfx_internal::AllocateBuffer<uint8_t>(kFrameBytes);
  if (!buffer) return -1;
  // A failure part way unregisters this call's frames, so that no row points at a frame that is
  // not all there.
  const int32_t firstRow = TextureCount;
  const FxU32 firstAddress = TextureArenaNext;
  const auto fail = [&] {
    TextureCount = firstRow;
    TextureArenaNext = firstAddress;
    return -1;
  };
  for (int k = 0; k < kFractalFrameCount; ++k) {
    FractalLoadStage = 8;
    // A short file fails here: a frame with a missing tail would show stale bytes.
    if (!gfx_internal::ReadExactly(file.get(), static_cast<long long>(k) * kFrameBytes, buffer.get(), kFrameBytes)) {
      return fail();
    }
    GrTexInfo info{GR_LOD_128, GR_LOD_128, GR_ASPECT_1x1, GR_TEXFMT_P_8, buffer.get()};
    const FxU32 required = grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info);
    FractalLoadStage = 9;
    if (required != kFrameBytes) return fail();
    const TextureId id = gfx_internal::RegisterTexture(GR_LOD_128, GR_TEXFMT_P_8, buffer.get(), required);
    if (id < 0) return fail();
    ids[k] = id;
  }
  FractalLoadStage = 10;
  return kFractalFrameCount;
}
