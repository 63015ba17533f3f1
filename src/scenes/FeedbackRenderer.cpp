#include "scenes/FeedbackRenderer.h"

#include "log/DebugLog.h"
#include "gfx/Loaders.h"
#include "scenes/FrameEnd.h"
#include "scenes/ScreenQuad.h"

#include <algorithm>
#include <new>

namespace {

std::unique_ptr<uint16_t[]> AllocateZeroedCapture() {
  return std::unique_ptr<uint16_t[]>(new (std::nothrow) uint16_t[kCapturePixels]());
}

void FillCorners(GrVertex* quad, const FeedbackCorner* corners) {
  for (int i = 0; i < 4; ++i) {
    quad[i] = GrVertex{};
    quad[i].x = corners[i].x;
    quad[i].y = corners[i].y;
    quad[i].a = corners[i].a;
    quad[i].oow = 1.0f;
    quad[i].tmuvtx[0].sow = corners[i].s;
    quad[i].tmuvtx[0].tow = corners[i].t;
  }
}

// The feedback and display quads are drawn as triangles at depth 1 with their texture at w 1.
void FillTriangleQuad(GrVertex* quad, const FeedbackCorner* corners) {
  FillCorners(quad, corners);
  for (int i = 0; i < 4; ++i) {
    quad[i].ooz = 1.0f;
    quad[i].tmuvtx[0].oow = 1.0f;
  }
}

void DrawTriangleQuad(const GrVertex* quad) {
  grDrawTriangle(&quad[0], &quad[1], &quad[2]);
  grDrawTriangle(&quad[2], &quad[1], &quad[3]);
}

void SetFeedbackState() {
  grRenderBuffer(GR_BUFFER_BACKBUFFER);
  grColorMask(FXTRUE, FXFALSE);
  grDepthMask(FXFALSE);
  grDepthBufferFunction(GR_CMP_ALWAYS);
  guAlphaSource(GR_ALPHASOURCE_ITERATED_ALPHA);
  guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
  grTexMipMapMode(GR_TMU0, GR_MIPMAP_NEAREST, FXFALSE);
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
  guColorCombineFunction(GR_COLORCOMBINE_TEXTURE_ADD_ITRGB);
  grChromakeyMode(GR_CHROMAKEY_ENABLE);
  grChromakeyValue(0);
  // The palette just read goes down once more.
  grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, CurrentPalette);
}

// The fade rises by one per frame from 0, holds at 255 and falls to 0 at frame L.
float FadeAlpha(int32_t frame, int32_t length) {
  return static_cast<float>(frame < 255 ? frame : std::min(length - frame, 255));
}

}  // namespace

CaptureAllocator AllocateCaptureBuffer = AllocateZeroedCapture;

void FeedbackInit(FeedbackState& state, const FeedbackScene& scene) {
  state.frame = 0;
  BeginScene();
  LogPrintf("%s", scene.startLine);
  state.capture = AllocateCaptureBuffer();

  state.feedbackAddress = grTexMinAddress(GR_TMU0);
  state.feedbackTexture = GrTexInfo{};
  state.feedbackTexture.smallLod = GR_LOD_256;
  state.feedbackTexture.largeLod = GR_LOD_256;
  state.feedbackTexture.aspectRatio = GR_ASPECT_1x1;
  state.feedbackTexture.format = GR_TEXFMT_RGB_565;
  state.feedbackTexture.data = state.capture.get();
  // Everything loaded from here on lies above the feedback texture.
  SetTextureArenaTop(state.feedbackAddress + kCaptureBytes);

  // A palette that cannot be read keeps the one in force.
  LoadPalette(scene.paletteFile);
  state.source = LoadCelPaletted(scene.celFile);
  if (!state.capture || state.source < 0) {
    state.frame = scene.length + 1;
    return;
  }
  SelectTexture(state.source);

  FillTriangleQuad(state.feedbackQuad, scene.feedbackQuad);
  FillCorners(state.sourceQuad, scene.sourceQuad);
  const float t = scene.displayHeight;
  const FeedbackCorner display[4] = {{0.0f, 0.0f, 0.0f, 0.0f, 255.0f},
                                     {639.0f, 0.0f, 255.0f, 0.0f, 255.0f},
                                     {0.0f, 479.0f, 0.0f, t, 255.0f},
                                     {639.0f, 479.0f, 255.0f, t, 255.0f}};
  FillTriangleQuad(state.displayQuad, display);
  SetFeedbackState();
}

int32_t FeedbackFrame(FeedbackState& state, const FeedbackScene& scene) {
  if (state.frame > scene.length) return 1;
  const int32_t n = state.frame;

  // What the previous frame captured (all black on the first frame).
  grTexDownloadMipMap(GR_TMU0, state.feedbackAddress, GR_MIPMAPLEVELMASK_BOTH, &state.feedbackTexture);
  if (!scene.fadeOnEvenFramesOnly || n % 2 == 0) SetQuadAlpha(state.displayQuad, FadeAlpha(n, scene.length));

  // Feedback and source passes: blended by vertex alpha, black keyed out, so that where the
  // previous image is black the back buffer keeps what it held (the display of two frames ago).
  grChromakeyMode(GR_CHROMAKEY_ENABLE);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
  guColorCombineFunction(GR_COLORCOMBINE_TEXTURE_ADD_ITRGB);
  grTexSource(GR_TMU0, state.feedbackAddress, GR_MIPMAPLEVELMASK_BOTH, &state.feedbackTexture);
  if (scene.moveFeedbackQuad != nullptr) scene.moveFeedbackQuad(state.feedbackQuad, state.phases);
  DrawTriangleQuad(state.feedbackQuad);

  scene.moveSourceQuad(state.sourceQuad, state.phases);
  SelectTexture(state.source);
  DrawScreenQuad(state.sourceQuad);

  grLfbReadRegion(GR_BUFFER_BACKBUFFER, 0, 0, kWorkingSide, kWorkingSide, kWorkingSide * 2, state.capture.get());

  // Display pass: texture x fade, unblended, unkeyed. Texture memory still holds what was
  // uploaded above, so the screen shows the working image one frame late.
  grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL_ALPHA, GR_COMBINE_LOCAL_ITERATED,
                 GR_COMBINE_OTHER_TEXTURE, FXFALSE);
  grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
  grChromakeyMode(GR_CHROMAKEY_DISABLE);
  grTexSource(GR_TMU0, state.feedbackAddress, GR_MIPMAPLEVELMASK_BOTH, &state.feedbackTexture);
  DrawTriangleQuad(state.displayQuad);

  // Never cleared: keyed-out fragments of the next frames show what this buffer holds.
  SwapFrame();
  state.frame = n + 1;
  state.phases.Advance(kCommonPhaseRates);
  return state.frame > scene.length ? 1 : 0;
}
