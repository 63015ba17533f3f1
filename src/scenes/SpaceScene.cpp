// The space scene: a textured planet with an additive cloud shell turning in front of a starfield,
// a sun and two counter-rotating flares; two darkening copies of a flat object drift in front of
// it. The planet approaches and brightens, a glow grows in the centre; a green overlay fades out
// at the start, a white flash closes the flight and fades to black. The effect from "2.wav"
// sounds from init to done.
#include "log/DebugLog.h"
#include "audio/AudioService.h"
#include "geom/Matrix.h"
#include "gfx/Display.h"
#include "gfx/Loaders.h"
#include "scenes/FrameEnd.h"
#include "scenes/PhasePair.h"
#include "scenes/SceneObjects.h"
#include "scenes/Scenes.h"
#include "scenes/ScreenQuad.h"
#include "scenes/TexturedObject.h"

#include <glide.h>

#include <algorithm>

namespace {

constexpr int32_t kFlightFrames = 873;
constexpr int32_t kFadeFrames = 256;
constexpr PhaseRates kSwingRates{0.1f, 0.0592569746f};
// The objects sit 350 units in front of the eye; a face is drawn only in front of it.
constexpr TexturedObjectStyle kSpaceObjects{350.0f, 0.0f};

enum Texture { kSpace, kSun, kFlare, kGlow, kClouds, kWhite, kGreen, kTextureCount };

int32_t SpaceClock;    // the scene's frame
bool Fading = false;   // the phase; the scene plays once per run, so init leaves it alone
float Approach;        // how far the planet and the planes have come towards the viewer: 0 ... 30
float Brightness;      // L: the alpha of every object vertex
PhasePair Swing;       // P and Q; P widens and narrows the sun
TextureId SpaceTextures[kTextureCount];
P3dObject Planet, Clouds, Plane;
Vertex4 PointScratch[kPointScratchSize];

GrVertex Background[4];
GrVertex Sun[4];
GrVertex Flare[4];
GrVertex Glow[4];
GrVertex Overlay[4];

void SetBlend(GrAlphaBlendFnc_t source, GrAlphaBlendFnc_t destination) {
  grAlphaBlendFunction(source, destination, GR_BLEND_ONE, GR_BLEND_ZERO);
}

// Draws the faces of `object`, whose points `points` holds transformed, at the scene's brightness.
void DrawSpaceObject(const Vertex4* points, const P3dObject& object) {
  DrawTexturedObject(points, object, Brightness, kSpaceObjects);
}

void TransformObject(const P3dObject& object) {
  TransformPoints(PointScratch, object.vertices, static_cast<uint32_t>(object.vertexCount));
}

// The planet's and the cloud shell's placement: turned by `turn` degrees, tilted by 35 and
// moved towards the viewer by the approach.
void PlaceGlobe(float turn) {
  LoadMatrix(MakeRotationY(turn));
  MultMatrix(MakeRotationX(35.0f));
  MultMatrix(MakeTranslation(1.7f * Approach, Approach, -5.0f * Approach));
}

// One darkening copy of the plane, `offset` units to the side.
void DrawPlaneCopy(float offset) {
  LoadMatrix(MakeRotationY(-30.0f));
  MultMatrix(MakeTranslation(2.7f * Approach - offset, Approach, -5.0f * Approach));
  TransformObject(Plane);
  SetBlend(GR_BLEND_ZERO, GR_BLEND_ONE_MINUS_SRC_ALPHA);
  DrawSpaceObject(PointScratch, Plane);
}

void DrawOverlay(Texture texture, float alpha) {
  SetQuadAlpha(Overlay, alpha);
  SetBlend(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA);
  SelectTexture(SpaceTextures[texture]);
  DrawScreenQuad(Overlay);
}

// The green overlay fades out over the first 127 frames; the white one fades in from 731 and is
// full from 858.
void DrawOverlays(int32_t frame) {
  const int32_t green = 255 - 2 * frame;
  if (green > 0) {
    DrawOverlay(kGreen, static_cast<float>(green));
  } else if (frame > 730) {
    DrawOverlay(kWhite, static_cast<float>(std::min(2 * (143 - (kFlightFrames - frame)), 255)));
  }
}

// One flight frame's content for the current frame counter (1 ... 873).
void SpaceRender() {
  const float frame = static_cast<float>(SpaceClock);
  Approach = SpaceClock < 60 ? 0.0f : std::min(0.05f * static_cast<float>(SpaceClock - 60), 30.0f);

  PlaceGlobe(0.02f * frame);
  TransformObject(Planet);
  Brightness = std::clamp(0.5f * frame, 35.0f, 255.0f);
  grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
  DrawSpaceObject(PointScratch, Planet);

  // The plane's copies darken what lies behind them by about half and write no depth.
  grDepthMask(FXFALSE);
  const float planetBrightness = Brightness;
  Brightness = 128.0f;
  DrawPlaneCopy(30.0f);
  DrawPlaneCopy(40.0f);
  grDepthMask(FXTRUE);
  Brightness = planetBrightness;

  // Everything after this is added to the picture, apart from the overlay.
  SetBlend(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE);
  SelectTexture(SpaceTextures[kSpace]);
  DrawScreenQuad(Background);

  SelectTexture(SpaceTextures[kFlare]);
  RotateScreenQuad(Flare, -70.0f, -70.0f, 70.0f, 70.0f, 0.025f * frame);
  DrawScreenQuad(Flare);
  RotateScreenQuad(Flare, -60.0f, -60.0f, 60.0f, 60.0f, -0.025f * frame);
  DrawScreenQuad(Flare);

  SelectTexture(SpaceTextures[kSun]);
  RotateScreenQuad(Sun, -240.0f, -240.0f, 239.0f, 239.0f, 0.0f);
  ScaleScreenQuad(Sun, 1.0f + 0.05f * Swing.first, 1.0f);
  DrawScreenQuad(Sun);

  PlaceGlobe(0.1f * frame);
  TransformObject(Clouds);
  DrawSpaceObject(PointScratch, Clouds);

  if (Approach > 13.0f) {
    SelectTexture(SpaceTextures[kGlow]);
    const float k = std::min(0.5f + (Approach - 13.0f) * 0.04347826f, 1.0f);
    SetScaledScreenQuad(Glow, -240.0f, -240.0f, 239.0f, 239.0f, k);
    DrawScreenQuad(Glow);
  }
  DrawOverlays(SpaceClock);
}

}  // namespace

void SpaceInit() {
  SpaceClock = 0;
  // The texture resets of BeginScene, without its clears and swap.
  TextureArenaNext = TextureArenaBase;
  TextureCount = 0;
  LogPrintf("start:space\n");

  SpaceTextures[kSpace] = LoadCelRgb565("space.cel");
  SpaceTextures[kSun] = LoadCelGlow("sun.cel");
  SpaceTextures[kFlare] = LoadCelGlow("flare.cel");
  GlowDoubling = 1;
  SpaceTextures[kGlow] = LoadCelGlow("glow.cel");
  SpaceTextures[kClouds] = LoadCelGlow("clouds.cel");
  SpaceTextures[kWhite] = LoadCelRgb565("white.cel");
  SpaceTextures[kGreen] = LoadCelRgb565("green.cel");
  if (std::find(std::begin(SpaceTextures), std::end(SpaceTextures), -1) != std::end(SpaceTextures)) {
    SpaceClock = kFlightFrames + 1;
    return;
  }
  SelectTexture(SpaceTextures[kSpace]);

  SetScreenQuad(Background, -320.0f, -240.0f, 319.0f, 239.0f, 1000.0f, 255.0f);
  SetScreenQuad(Sun, -240.0f, -240.0f, 239.0f, 239.0f, 1000.0f, 240.0f);
  SetScreenQuad(Flare, -240.0f, -240.0f, 239.0f, 239.0f, 1000.0f, 100.0f);
  SetScreenQuad(Glow, -240.0f, -240.0f, 239.0f, 239.0f, 1.0f, 255.0f);
  SetScreenQuad(Overlay, -320.0f, -240.0f, 319.0f, 239.0f, 1.0f, 255.0f);
  SetTexturedObjectState();

  // The plane is loaded at the clouds' scale.
  if (LoadSceneObject("planet.p3d", 0.2f, &Planet) != 0 || LoadSceneObject("clouds.p3d", 0.205f, &Clouds) != 0 ||
      LoadSceneObject("plane.p3d", 0.205f, &Plane) != 0) {
    SpaceClock = kFlightFrames + 1;
    return;
  }
  EffectPlayHandle = MIDASplaySample(AudioSamples[2], MIDAS_CHANNEL_AUTO, 0, 16000, 64, MIDAS_PAN_MIDDLE);
  if (EffectPlayHandle == 0) LogPrintf("Couldn't play 2'nd sample!\n");
}

int32_t SpaceFrame() {
  if (SpaceClock > kFlightFrames) return 1;
  ++SpaceClock;
  if (Fading) {
    // The white texture and the fading blend are still in force from the switch.
    SetQuadAlpha(Overlay, static_cast<float>(255 - SpaceClock));
    DrawScreenQuad(Overlay);
    ShowFrame();
    return SpaceClock >= kFadeFrames ? 1 : 0;
  }
  SpaceRender();
  ShowFrame();
  if (SpaceClock >= kFlightFrames) {
    Fading = true;
    SpaceClock = 0;
    SelectTexture(SpaceTextures[kWhite]);
    SetBlend(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA);
  }
  Swing.Advance(kSwingRates);
  return 0;
}

void SpaceDone() {
  LogPrintf("start:done\n");
  if (!MIDASstopSample(EffectPlayHandle)) LogPrintf("Couldn't stop 2'nd sample!\n");
  if (!MIDASfreeSample(AudioSamples[2])) LogPrintf("Couldn't free 2'nd sample!\n");
  EffectPlayHandle = 0;
  AudioSamples[2] = 0;
}
