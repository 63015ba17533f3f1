// The fractal scene: an endless-looking dive through the twenty frames of "fractal.dat". The
// current frame zooms about the screen centre while the next one grows out of the middle and
// fades in over it; once the next frame covers the screen it becomes the current one. Each frame
// is the centre half of the one before magnified two times, so the hand-over does not show.
// Towards the end "yellow.cel" fades in over the dive, stays alone and fades to black. The screen
// is never cleared. Done stops and frees the music the tunnel scene started.
#include "log/DebugLog.h"
#include "audio/AudioService.h"
#include "gfx/Display.h"
#include "gfx/Loaders.h"
#include "scenes/FrameEnd.h"
#include "scenes/SceneState.h"
#include "scenes/Scenes.h"
#include "scenes/ScreenQuad.h"

#include <glide.h>

#include <algorithm>

namespace {

constexpr int32_t kLastFrame = 1376;     // the scene shows n = 0 ... 1376
constexpr int32_t kOverlayFrom = 866;    // the closing picture starts fading in over the dive
constexpr int32_t kOverlayAlone = 1121;  // the dive is over; the closing picture fades to black
constexpr int32_t kStepsPerFrame = 60;   // at l = 60 the next frame would cover the screen
constexpr float kFadeInStep = 4.322033882141113f;  // 255 / 59: the next frame is opaque at l = 59

int32_t FractalClock = kLastFrame + 1;  // the scene's frame, n in the comments; past the last when over
int32_t ZoomStep;                       // l: the step within the current fractal frame
int32_t ZoomFrameIndex;                 // i: the current entry of FractalFrames
TextureId FractalFrames[kFractalFrameCount];
TextureId OverlayTexture = -1;

GrVertex BaseQuad[4];     // the current frame, its texture window narrowing with l
GrVertex NextQuad[4];     // the next frame, whole, growing from the centre
GrVertex OverlayQuad[4];  // rows 0 ... 59 of "yellow.cel" over 480 x 480

void SetOverBlend() {
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
}

void DrawOverlay(int32_t alpha) {
  SetQuadAlpha(OverlayQuad, static_cast<float>(std::clamp(alpha, 0, 255)));
  SelectTexture(OverlayTexture);
  DrawScreenQuad(OverlayQuad);
}

void SetFractalState() {
  SetSceneTextureState();
  grDepthMask(FXFALSE);
  grDepthBufferFunction(GR_CMP_ALWAYS);
  guAlphaSource(GR_ALPHASOURCE_ITERATED_ALPHA);
  grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, CurrentPalette);
  grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL_ALPHA, GR_COMBINE_LOCAL_ITERATED,
                 GR_COMBINE_OTHER_TEXTURE, FXFALSE);
  grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
}

// One step of the dive, then the closing picture over it from kOverlayFrom.
void DrawZoom() {
  // The current frame through a centred window 255 / (1 + l/60) texels wide: the whole frame at
  // l = 0, its centre half at l = 60. Opaque, so whatever blend is in force writes it unchanged.
  SelectTexture(FractalFrames[ZoomFrameIndex]);
  SetQuadCorners(BaseQuad, 81.0f, 1.0f, 560.0f, 480.0f);
  const float w = 255.0f - 255.0f * static_cast<float>(4 * ZoomStep + 480) / static_cast<float>(8 * ZoomStep + 480);
  SetQuadTexels(BaseQuad, {w, w, 255.0f - w, 255.0f - w});
  DrawScreenQuad(BaseQuad);

  // The next frame, whole, as a square of side 239 + 4l about (320.5, 240.5): where l = 60
  // would put it, it covers the current frame's centre half exactly.
  SelectTexture(FractalFrames[ZoomFrameIndex + 1]);
  const float grow = static_cast<float>(2 * ZoomStep);
  SetQuadCorners(NextQuad, 201.0f - grow, 121.0f - grow, 440.0f + grow, 360.0f + grow);
  SetQuadAlpha(NextQuad, ZoomStep < kStepsPerFrame ? static_cast<float>(ZoomStep) * kFadeInStep : 255.0f);
  SetOverBlend();
  guColorCombineFunction(GR_COLORCOMBINE_TEXTURE_ADD_ITRGB);
  DrawScreenQuad(NextQuad);

  // The next frame takes over at what would be its own l = 0, so it goes on from l = 1.
  if (++ZoomStep == kStepsPerFrame) {
    ZoomStep = 1;
    ++ZoomFrameIndex;
  }

  if (FractalClock >= kOverlayFrom) {
    SetOverBlend();
    DrawOverlay(FractalClock - kOverlayFrom);
    grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
  }
}

}  // namespace

void FractalInit() {
  BeginScene();
  ZoomFrameIndex = 0;
  ZoomStep = 0;
  LogPrintf("start:fractal\n");
  LoadPalette("fractal.pal");
  // Until both loads succeed the first frame ends the scene.
  FractalClock = kLastFrame + 1;
  if (LoadFractalFrames(FractalFrames) != kFractalFrameCount) return;
  OverlayTexture = LoadCelRgb565("yellow.cel");
  if (OverlayTexture == -1) return;
  FractalClock = 0;

  SetCenteredQuad(OverlayQuad, -240.0f, -240.0f, 240.0f, 239.0f, 255.0f, 0.0f);
  SelectTexture(FractalFrames[0]);
  // Both zoom quads are flat and opaque.
  FillFlatQuad(BaseQuad, 255.0f);
  SetQuadCorners(BaseQuad, 81.0f, 1.0f, 560.0f, 480.0f);
  FillFlatQuad(NextQuad, 255.0f);
  SetQuadTexels(NextQuad, {0.5f, 1.0f, 254.5f, 255.0f});
  SetFractalState();
}

int32_t FractalFrame() {
  if (FractalClock > kLastFrame) return 1;
  if (FractalClock < kOverlayAlone) {
    DrawZoom();
  } else {
    // The closing picture replaces what is under it, darkening to black at n = 1376.
    grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    DrawOverlay(kLastFrame - FractalClock);
  }
  SwapFrame();
  ++FractalClock;
  return FractalClock > kLastFrame ? 1 : 0;
}

void FractalDone() {
  LogPrintf("fractal:done\n");
  if (!MIDASstopModule(MusicPlayHandle)) LogPrintf("Couldn't stop 1'st module!\n");
  if (!MIDASfreeModule(MusicModule)) LogPrintf("Couldn't free 1'st module!\n");
  MusicPlayHandle = 0;
  MusicModule = 0;
}
