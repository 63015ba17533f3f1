// The temple scene, the last of the presentation: a stone temple turns on its vertical axis
// while the view sinks towards it and flattens its tilt. Three coloured lights circle above the
// roof, three light balls bob around it, each leaving a trail of sparks that rise and spread as
// they fade. A flare sits in the centre and a large glow pulses over it. Everything fades in at
// the start and out at the end; "creature.s3m" plays from init to done.
#include "log/DebugLog.h"
#include "audio/AudioService.h"
#include "geom/Matrix.h"
#include "gfx/Display.h"
#include "gfx/Loaders.h"
#include "runtime/Random.h"
#include "scenes/FrameEnd.h"
#include "scenes/SceneObjects.h"
#include "scenes/Scenes.h"
#include "scenes/ScreenQuad.h"
#include "scenes/TexturedObject.h"

#include <glide.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t kTempleFrames = 3112;
constexpr int32_t kFadeStart = 2600;          // the brightness falls after this frame
constexpr int32_t kTrailLength = 50;          // particles per trail, and the ring's size
constexpr int32_t kTrails = 3;                // red, green, blue
constexpr int32_t kParticles = kTrails * kTrailLength;
constexpr float kTempleEyeDistance = 350.0f;  // added to every z before projecting
constexpr int32_t kParticleSide = 32;         // particles are fixed 32 x 32 sprites
constexpr float kParticleRise = 0.25f;        // per frame, upwards (towards -y)
constexpr float kParticleSpread = 1.001f;     // x and z per frame: away from the vertical axis
constexpr float kParticleAgeing = 4.0f;       // per frame; a particle shows while B exceeds its age
constexpr int32_t kGlowFirst = 190;           // the glow is drawn for kGlowFirst < F < kGlowEnd
constexpr int32_t kGlowEnd = 2872;

enum Texture { kFlareTexture, kRed, kGreen, kBlue, kGlowTexture, kTextureCount };

int32_t TempleClock;   // the scene's frame, F in the comments
float Descent;         // T: 0 ... 200
float Brightness;      // B: 0 ... 255, the alpha of objects, flare and particles
bool FaceTextures;     // each face of the object being drawn selects its own texture
int32_t RingSlot = 0;  // k: the slot the next spawn overwrites in each trail; survives init
TextureId TempleTextures[kTextureCount];
P3dObject Temple, Light, Ball;
Vertex4 PointScratch[kPointScratchSize];
// The three trails, red in 0 ... 49, green in 50 ... 99, blue in 100 ... 149, in the scene's
// space before the tilt and the push.
Vertex4 TrailPoints[kParticles];
float TrailAges[kParticles];
GrVertex Sprite[4];  // the particle being drawn
GrVertex Flare[4];
GrVertex Glow[4];

// Draws the faces of `object`, whose points `points` holds transformed, at the brightness; faces
// that reach off the screen (or below row 439) go through the clipping draw.
void DrawTempleObject(const Vertex4* points, const P3dObject& object) {
  DrawTexturedObject(points, object, Brightness, {kTempleEyeDistance, 0.0f, FaceTextures, true});
}

// The view: tilted by 35 degrees, flattening to 25, and pushed from +100 to -100 in z.
void MultView() {
  MultMatrix(MakeRotationX(35.0f - 0.05f * Descent));
  MultMatrix(MakeTranslation(0.0f, 0.0f, 100.0f - Descent));
}

// A light or ball in its colour, placed at (x, y, z) in the scene before the view.
void DrawSmallObject(const P3dObject& object, Texture colour, float x, float y, float z) {
  SelectTexture(TempleTextures[colour]);
  LoadMatrix(MakeTranslation(x, y, z));
  MultView();
  TransformPoints(PointScratch, object.vertices, static_cast<uint32_t>(object.vertexCount));
  DrawTempleObject(PointScratch, object);
}

void Spawn(int32_t trail, float x, float y, float z) {
  Vertex4& p = TrailPoints[trail * kTrailLength + RingSlot];
  p.x = x;
  p.y = y;
  p.z = z;
  TrailAges[trail * kTrailLength + RingSlot] = 0.0f;
}

// The 150 particles, whose transformed positions `points` holds, as 32 x 32 sprites of their
// trail's colour with alpha B minus their age. No facing test: both triangles of every sprite
// are drawn.
void DrawTempleParticles(const Vertex4* points) {
  for (GrVertex& corner : Sprite) corner.r = corner.g = corner.b = 0.0f;
  SelectTexture(TempleTextures[kRed]);
  for (int32_t i = 0; i < kParticles; ++i) {
    if (i == kTrailLength) SelectTexture(TempleTextures[kGreen]);
    if (i == 2 * kTrailLength) SelectTexture(TempleTextures[kBlue]);
    const Vertex4& p = points[i];
    if (p.z <= -kTempleEyeDistance) continue;
    float alpha = Brightness - TrailAges[i];
    if (alpha < 0.0f) continue;
    alpha = std::min(alpha, 255.0f);
    const ScreenPoint centre = ProjectToScreen(p, kTempleEyeDistance);
    const float oow = centre.oow;
    const int32_t px = static_cast<int32_t>(centre.x) - kParticleSide / 2;
    const int32_t py = static_cast<int32_t>(centre.y) - kParticleSide / 2;
    const int32_t xs[4] = {px, px + kParticleSide, px + kParticleSide, px};
    const int32_t ys[4] = {py, py, py + kParticleSide, py + kParticleSide};
    const float ss[4] = {0.0f, 255.0f, 255.0f, 0.0f};
    const float ts[4] = {0.0f, 0.0f, 255.0f, 255.0f};
    for (int c = 0; c < 4; ++c) {
      Sprite[c].x = static_cast<float>(xs[c]);
      Sprite[c].y = static_cast<float>(ys[c]);
      Sprite[c].a = alpha;
      Sprite[c].oow = oow;
      Sprite[c].tmuvtx[0].sow = ss[c] * oow;
      Sprite[c].tmuvtx[0].tow = ts[c] * oow;
    }
    grDrawTriangle(&Sprite[0], &Sprite[1], &Sprite[2]);
    grDrawTriangle(&Sprite[0], &Sprite[2], &Sprite[3]);
  }
}

// One frame's content for the frame counter F (0 ... 3111).
void TempleRender() {
  // The trails' jitter: exactly two draws per frame, in this order.
  const float jitter1 = static_cast<float>(Rand() % 5 - 2);
  const float jitter2 = static_cast<float>(Rand() % 5 - 2);
  RingSlot = RingSlot + 1 >= kTrailLength ? 0 : RingSlot + 1;

  const float frame = static_cast<float>(TempleClock);
  Descent = std::clamp(static_cast<float>(TempleClock - 128) * 0.5f, 0.0f, 200.0f);
  Brightness = TempleClock > kFadeStart ? std::max(static_cast<float>(kTempleFrames - TempleClock) * 0.5f, 0.0f)
                                        : 0.5f * frame;
  Brightness = std::min(Brightness, 255.0f);

  // The temple replaces what is behind it, each face with its own stone.
  LoadMatrix(MakeRotationY(0.2f * frame));
  MultView();
  grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
  FaceTextures = true;
  TransformPoints(PointScratch, Temple.vertices, static_cast<uint32_t>(Temple.vertexCount));
  DrawTempleObject(PointScratch, Temple);

  // Everything after the temple is added to the picture.
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO);
  grDepthMask(FXFALSE);
  FaceTextures = false;

  const float a1 = frame * (1.0f / 11.0f);
  const float a2 = 0.1f * frame;
  const float a3 = a2 + 1.2f;
  DrawSmallObject(Light, kRed, 27.0f * std::sin(a1), -39.0f, 27.0f * std::cos(a1));
  DrawSmallObject(Light, kGreen, 27.0f * std::cos(a2), -39.0f, 27.0f * std::sin(a2));
  DrawSmallObject(Light, kBlue, -27.0f * std::sin(a3), -39.0f, 27.0f * std::cos(a3));
  grDepthMask(FXTRUE);

  // The flare shows only where its texture is bright enough to pass the alpha test (reference 64).
  SelectTexture(TempleTextures[kFlareTexture]);
  SetQuadAlpha(Flare, Brightness);
  SetScreenQuadDepth(Flare, 450.0f - Descent);
  grAlphaTestFunction(GR_CMP_GREATER);
  grDrawPolygonVertexList(4, Flare);
  grAlphaTestFunction(GR_CMP_ALWAYS);

  // The balls, each leaving a particle 39 units below it in this frame's slot.
  const float x1 = 28.0f * std::sin(a1);
  const float z1 = 27.0f * std::cos(a1);
  const float y1 = 8.0f * std::cos(a3) - 55.0f;
  const float y2 = 8.0f * std::sin(a2) - 55.0f;
  const float y3 = -8.0f * std::cos(frame * (1.0f / 15.0f) + 1.2f) - 55.0f;
  DrawSmallObject(Ball, kRed, x1, y1, z1);
  Spawn(0, x1 + jitter1, y1 + 39.0f, z1 + jitter1);
  const float x2 = 27.0f * std::cos(a2);
  const float z2 = 27.0f * std::sin(a2);
  DrawSmallObject(Ball, kGreen, x2, y2, z2);
  Spawn(1, x2 - jitter2, y2 + 39.0f, z2 + jitter1);
  const float x3 = -27.0f * std::sin(a3);
  const float z3 = 27.0f * std::cos(a3);
  DrawSmallObject(Ball, kBlue, x3, y3, z3);
  Spawn(2, x3 + jitter1, y3 + 39.0f, z3 - jitter2);

  // The trails, through the view alone, into the scratch array's first 150 points.
  for (int32_t trail = 0; trail < kTrails; ++trail) {
    LoadMatrix(MakeRotationX(35.0f - 0.05f * Descent));
    MultMatrix(MakeTranslation(0.0f, 0.0f, 100.0f - Descent));
    TransformPoints(PointScratch + trail * kTrailLength, TrailPoints + trail * kTrailLength, kTrailLength);
  }
  grDepthMask(FXFALSE);
  DrawTempleParticles(PointScratch);
  grDepthMask(FXTRUE);

  for (int32_t i = 0; i < kParticles; ++i) {
    TrailPoints[i].y = TrailPoints[i].y - kParticleRise;
    TrailPoints[i].x = TrailPoints[i].x * kParticleSpread;
    TrailPoints[i].z = TrailPoints[i].z * kParticleSpread;
    TrailAges[i] = TrailAges[i] + kParticleAgeing;
  }

  // The glow pulses with a period of 72 pi frames and shows while its scale exceeds 0.4. Its
  // columns run from -128 to 128, its rows from -128 to 127.
  if (TempleClock > kGlowFirst && TempleClock < kGlowEnd) {
    const float pulse = 0.6f - 0.4f * std::cos(frame * (1.0f / 36.0f));
    if (pulse > 0.4f) {
      SelectTexture(TempleTextures[kGlowTexture]);
      SetScaledScreenQuad(Glow, -128.0f, -128.0f, 128.0f, 127.0f, pulse);
      grDrawPolygonVertexList(4, Glow);
    }
  }
}

}  // namespace

void TempleInit() {
  TempleClock = 0;
  BeginScene();
  LogPrintf("start:temple\n");
  std::fill(std::begin(TrailPoints), std::end(TrailPoints), Vertex4{0.0f, 0.0f, 0.0f, 0.0f});
  std::fill(std::begin(TrailAges), std::end(TrailAges), 0.0f);
  grAlphaTestReferenceValue(64);

  GlowDoubling = 0;
  TempleTextures[kFlareTexture] = LoadCelGlow("flare.cel");
  TempleTextures[kRed] = LoadCelGlow("red.cel");
  TempleTextures[kGreen] = LoadCelGlow("grn.cel");
  TempleTextures[kBlue] = LoadCelGlow("blue.cel");
  TempleTextures[kGlowTexture] = LoadCelGlow("glow.cel");
  if (std::find(std::begin(TempleTextures), std::end(TempleTextures), -1) != std::end(TempleTextures)) {
    TempleClock = kTempleFrames + 1;
    return;
  }

  SetScreenQuad(Flare, -24.0f, -24.0f, 23.0f, 23.0f, 200.0f, 230.0f);
  SetScreenQuad(Glow, -64.0f, -64.0f, 63.0f, 63.0f, 1.0f, 240.0f);
  SetTexturedObjectState();

  const SceneObjectFile objects[] = {
      {"temple.p3d", 0.3f, &Temple}, {"light.p3d", 1.0f, &Light}, {"liteball.p3d", 1.0f, &Ball}};
  if (LoadSceneObjects(objects) != 0) {
    TempleClock = kTempleFrames + 1;
    return;
  }

  StartSceneMusic({"creature.s3m", 16, true, true});
}

int32_t TempleFrame() {
  if (TempleClock > kTempleFrames) return 1;
  TempleRender();
  ShowFrame();
  ++TempleClock;
  return TempleClock >= kTempleFrames ? 1 : 0;
}

void TempleDone() {
  LogPrintf("temple:done\n");
  if (!MIDASstopModule(MusicPlayHandle)) LogPrintf("Couldn't stop 3'nd module!\n");
  if (!MIDASfreeModule(MusicModule)) LogPrintf("Couldn't free 3'nd module!\n");
  MusicPlayHandle = 0;
  MusicModule = 0;
}
