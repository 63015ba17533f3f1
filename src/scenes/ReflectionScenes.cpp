#include "scenes/ReflectionScenes.h"

#include "scenes/SceneState.h"

#include <glide.h>

void SetReflectionSceneState() {
  SetSceneTextureState();
  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthBufferFunction(GR_CMP_LESS);
  grDepthMask(FXTRUE);
  guAlphaSource(GR_ALPHASOURCE_ITERATED_ALPHA);
  guAlphaSource(GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
}
