// The enviro scene: ten shiny objects in turn, 600 frames each, smoothly reflection-mapped, the
// reflection image changing twice. Its done operation stops the facemap scene's effect.
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

constexpr int32_t kLastFrame = 6000;
constexpr int32_t kSlotFrames = 600;

int32_t EnviroClock;  // the scene's frame; past the last when the scene is over
int32_t MapStage = 0;  // which reflection map is in force; the scene plays once per run
TextureId EnviroMaps[3];
P3dObject Figure, Teapot, Torus, Knot;
P3dObject Shapes[6];
Vertex4 PointScratch[kPointScratchSize];

const SceneObjectFile kObjects[] = {
    {"vexol.p3d", 0.7f, &Figure},     {"teapot.p3d", 0.4f, &Teapot},   {"torus.p3d", 1.0f, &Torus},
    {"knot.p3d", 0.45f, &Knot},       {"shape1.p3d", 0.3f, &Shapes[0]}, {"shape2.p3d", 0.3f, &Shapes[1]},
    {"shape3.p3d", 0.3f, &Shapes[2]}, {"shape4.p3d", 0.3f, &Shapes[3]}, {"shape5.p3d", 0.3f, &Shapes[4]},
    {"shape6.p3d", 0.3f, &Shapes[5]},
};

void UseMap(int32_t stage) {
  MapStage = stage;
  SelectTexture(EnviroMaps[stage]);
}

// Picks the object for the frame, changes the reflection map where its slot asks for it, and
// loads the object's rotation.
const P3dObject* ChooseObject(int32_t frame) {
  const float f = static_cast<float>(frame);
  if (frame < kSlotFrames) {
    LoadMatrix(MakeRotationY(2.5f * f));
    MultMatrix(MakeRotationX(45.0f));
    return &Figure;
  }
  const P3dObject* object;
  if (frame < 2 * kSlotFrames) {
    if (MapStage < 1) UseMap(1);
    object = &Teapot;
  } else if (frame < 3 * kSlotFrames) {
    object = &Torus;
  } else if (frame < 4 * kSlotFrames) {
    object = &Knot;
  } else {
    const int32_t shape = (frame - 4 * kSlotFrames) / kSlotFrames;
    if (MapStage < 2 && shape > 1) UseMap(2);
    object = &Shapes[std::clamp(shape, 0, 5)];
  }
  LoadMatrix(MakeRotationZ(1.5f * f));
  MultMatrix(MakeRotationX(1.23f * f));
  return object;
}

float EnviroAlpha(int32_t frame) {
  const int32_t t = frame % kSlotFrames;
  float alpha;
  if (t < 64) {
    alpha = static_cast<float>(4 * t);
  } else if (t <= 536) {
    alpha = 255.0f;
  } else {
    alpha = static_cast<float>(4 * (kSlotFrames - t));
  }
  return std::clamp(alpha, 0.0f, 255.0f);
}

void EnviroRender() {
  const P3dObject* object = ChooseObject(EnviroClock);
  TransformPoints(PointScratch, object->vertices, static_cast<uint32_t>(object->vertexCount));
  DrawEnvMappedObject(PointScratch, object, EnviroAlpha(EnviroClock));
}

}  // namespace

void EnviroInit() {
  EnviroClock = 0;
  LogPrintf("start:enviro\n");
  BeginScene();
  EnviroMaps[0] = LoadCelRgb565("refmap.cel");
  EnviroMaps[1] = LoadCelRgb565("refmap2.cel");
  EnviroMaps[2] = LoadCelRgb565("refmap3.cel");
  if (EnviroMaps[0] == -1 || EnviroMaps[1] == -1 || EnviroMaps[2] == -1) {
    EnviroClock = kLastFrame + 1;
    return;
  }
  SelectTexture(EnviroMaps[0]);
  SetReflectionSceneState();
  if (LoadSceneObjects(kObjects) != 0) {
    EnviroClock = kLastFrame + 1;
    return;
  }
  EnviroClock = 0;
}

int32_t EnviroFrame() {
  if (EnviroClock > kLastFrame) return 1;
  EnviroRender();
  ShowFrame();
  ++EnviroClock;
  return EnviroClock > kLastFrame ? 1 : 0;
}

void EnviroDone() {
  if (!MIDASstopSample(EffectPlayHandle)) LogPrintf("Couldn't stop 3'rd sample!\n");
  if (!MIDASfreeSample(AudioSamples[0])) LogPrintf("Couldn't free 3'rd sample!\n");
  EffectPlayHandle = 0;
  AudioSamples[0] = 0;
  LogPrintf("ENV DONE\n");
}
