#include "scenes/ReflectionScenes.h"

#include <glide.h>

void SetReflectionSceneState() {
  grColorMask(FXTRUE, FXFALSE);
  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthBufferFunction(GR_CMP_LESS);
  grDepthMask(FXTRUE);
  guAlphaSource(GR_ALPHASOURCE_ITERATED_ALPHA);
  guAlphaSource(GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA);
  guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
  grTexMipMapMode(GR_TMU0, GR_MIPMAP_NEAREST, FXFALSE);
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
  guColorCombineFunction(GR_COLORCOMBINE_TEXTURE_ADD_ITRGB);
  grChromakeyMode(GR_CHROMAKEY_DISABLE);
}
