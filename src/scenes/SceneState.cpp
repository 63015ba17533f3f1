#include "scenes/SceneState.h"

#include <glide.h>

void SetSceneTextureState() {
  grColorMask(FXTRUE, FXFALSE);
  guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
  grTexMipMapMode(GR_TMU0, GR_MIPMAP_NEAREST, FXFALSE);
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
  guColorCombineFunction(GR_COLORCOMBINE_TEXTURE_ADD_ITRGB);
  grChromakeyMode(GR_CHROMAKEY_DISABLE);
}
