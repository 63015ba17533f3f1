// The facemap scene: the figure turning on the spot, tilted by 45 degrees, each facet mirroring
// its own wedge of the sunset reflection map. Starts the looping effect that plays on through
// the enviro scene.
#include "log/DebugLog.h"
#include "audio/AudioService.h"
#include "geom/Matrix.h"
#include "geom/ReflectionRenderer.h"
#include "gfx/Display.h"
#include "gfx/Loaders.h"
#include "scenes/FrameEnd.h"
#include "scenes/ReflectionScenes.h"
#include "scenes/SceneObjects.h"
#include "scenes/Scenes.h"

#include <glide.h>

#include <algorithm>

namespace {

constexpr int32_t kLastFrame = 1200;

int32_t FacemapClock;  // the scene's frame; past the last when the scene is over
TextureId FacemapMap;
P3dObject FacemapFigure;
Vertex4 PointScratch[kPointScratchSize];

float FacemapAlpha(int32_t frame) {
  float alpha;
  if (frame < 256) {
    alpha = static_cast<float>(frame);
  } else if (frame <= 945) {
    alpha = 255.0f;
  } else {
    alpha = static_cast<float>(kLastFrame - frame);
  }
  return std::clamp(alpha, 0.0f, 255.0f);
}

// One frame's content: the figure turned for the frame, faceted, at the frame's fade.
void FacemapRender() {
  LoadMatrix(MakeRotationY(2.5f * static_cast<float>(FacemapClock)));
  MultMatrix(MakeRotationX(45.0f));
  TransformPoints(PointScratch, FacemapFigure.vertices, static_cast<uint32_t>(FacemapFigure.vertexCount));
  DrawFaceMappedObject(PointScratch, &FacemapFigure, FacemapAlpha(FacemapClock));
}

}  // namespace

void FacemapInit() {
  FacemapClock = 0;
  LogPrintf("start:facemap\n");
  BeginScene();
  FacemapMap = LoadCelRgb565("refmap2.cel");
  if (FacemapMap == -1) {
    FacemapClock = kLastFrame + 1;
    return;
  }
  SelectTexture(FacemapMap);
  SetReflectionSceneState();
  const SceneObjectFile figure[] = {{"vexol.p3d", 0.7f, &FacemapFigure}};
  if (LoadSceneObjects(figure) != 0) {
    FacemapClock = kLastFrame + 1;
    return;
  }

  if (!MIDASopenChannels(1)) LogPrintf("Couldn't open channels!\n");
  if (!MIDASallocAutoEffectChannels(1)) LogPrintf("Couldn't open sfx channels!\n");
  EffectPlayHandle = MIDASplaySample(AudioSamples[0], MIDAS_CHANNEL_AUTO, 0, 16000, 64, MIDAS_PAN_MIDDLE);
  if (EffectPlayHandle == 0) LogPrintf("Couldn't play 3'rd sample!\n");
}

int32_t FacemapFrame() {
  if (FacemapClock > kLastFrame) return 1;
  FacemapRender();
  ShowFrame();
  ++FacemapClock;
  return FacemapClock > kLastFrame ? 1 : 0;
}
