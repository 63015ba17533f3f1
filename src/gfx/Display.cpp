#include "gfx/Display.h"

TextureHandle TextureTable[kTextureTableRows];
int32_t TextureCount = 0;
FxU32 TextureArenaBase = 0;
FxU32 TextureArenaNext = 0;
bool DisplayOpened = false;

namespace {

void SetDefaultCombine() {
  // colour = texture x iterated alpha + iterated colour; alpha = iterated alpha
  grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL_ALPHA,
                 GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
  grAlphaCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_ITERATED,
                 GR_COMBINE_OTHER_TEXTURE, FXFALSE);
}

void WaitForSwaps() {
  while (grBufferNumPending() != 0) {
  }
}

}  // namespace

void OpenDisplay() {
  grGlideShutdown();
  grGlideInit();
  GrHwConfiguration config{};
  if (!grSstQueryHardware(&config)) return;
  grSstSelect(0);
  if (!grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR, GR_ORIGIN_UPPER_LEFT, 2, 1)) {
    return;
  }

  SetDefaultCombine();
  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthBufferFunction(GR_CMP_LESS);
  grDepthMask(FXTRUE);
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
  grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
  grChromakeyMode(GR_CHROMAKEY_DISABLE);
  grChromakeyValue(0);
  grAlphaTestReferenceValue(2);
  grClipWindow(0, 0, 639, 479);
  grTexCombine(GR_TMU0, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_FUNCTION_LOCAL,
               GR_COMBINE_FACTOR_NONE, FXFALSE, FXFALSE);

  TextureArenaBase = TextureArenaNext = grTexMinAddress(GR_TMU0);
  SetDefaultCombine();
}

void CloseDisplay() { grGlideShutdown(); }

void CloseDisplayIfOpened() {
  if (DisplayOpened) CloseDisplay();
}

void BeginScene() {
  TextureArenaNext = TextureArenaBase;
  TextureCount = 0;
  grBufferClear(0, 0, GR_WDEPTHVALUE_FARTHEST);
  WaitForSwaps();
  grBufferSwap(1);
  grBufferClear(0, 0, GR_WDEPTHVALUE_FARTHEST);
}

void SelectTexture(TextureId id) {
  // An id of a failed load (-1) or from a previous scene leaves the texture source unchanged.
  if (id < 0 || id >= TextureCount || id >= kTextureTableRows) return;
  const TextureHandle& row = TextureTable[id];
  GrTexInfo info{};
  info.smallLod = row.smallLod;
  info.largeLod = row.largeLod;
  info.aspectRatio = row.aspectRatio;
  info.format = row.format;
  info.data = nullptr;
  grTexSource(GR_TMU0, row.startAddress, GR_MIPMAPLEVELMASK_BOTH, &info);
}

void SetTextureArenaTop(FxU32 address) { TextureArenaNext = address; }
