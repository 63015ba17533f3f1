// The title scene: three lines of the title image, each revealed by two crossing wipes that
// trail perspective beams, held, and wiped away; the last line is covered by the green backdrop
// fading in.
#include "log/DebugLog.h"
#include "audio/AudioService.h"
#include "gfx/Display.h"
#include "gfx/Loaders.h"
#include "scenes/FrameEnd.h"
#include "scenes/SceneState.h"
#include "scenes/Scenes.h"
#include "scenes/ScreenQuad.h"

#include <glide.h>

namespace {

constexpr int32_t kTitleFrames = 1241;
constexpr float kBeamDepth = 3.0f;  // w of the beams' inner edge

TextureId TitleTextures[2];
int32_t TitleClock;
float SweepPos = 0.0f;
uint8_t SweepDir = 0;  // 0: wipe opening, 1: closing
float TextBand = 0.0f;
int8_t HoldFrames = 0;

GrVertex TextStripL[4];
GrVertex TextStripR[4];
GrVertex BeamL[4];
GrVertex BeamR[4];
GrVertex BackdropQuad[4];

// Paints the beam's column: its inner edge (vertices 1, 2) at w = kBeamDepth on the strip's
// edge, its far edge (vertices 0, 3) spread to the full height and fully transparent.
void ShapeBeam(GrVertex* beam, float band) {
  beam[0].y = 0.0f;
  beam[0].a = 0.0f;
  beam[1].y = 176.0f;
  beam[1].z = kBeamDepth;
  beam[1].oow = 1.0f / kBeamDepth;
  beam[1].tmuvtx[0].tow = band / kBeamDepth;
  beam[2].y = 303.0f;
  beam[2].z = kBeamDepth;
  beam[2].oow = 1.0f / kBeamDepth;
  beam[2].tmuvtx[0].tow = (band + 59.0f) / kBeamDepth;
  beam[3].y = 439.0f;
  beam[3].a = 0.0f;
}

// Moves a beam to the wipe edge at strip position `pos`.
void PlaceBeam(GrVertex* beam, float pos) {
  const float farX = (pos - 255.0f) * 1.25f + 320.0f;
  beam[0].x = beam[3].x = farX;
  beam[0].tmuvtx[0].sow = beam[3].tmuvtx[0].sow = pos * 0.5f;
  beam[1].x = beam[2].x = 64.0f + pos;
  beam[1].tmuvtx[0].sow = beam[2].tmuvtx[0].sow = pos / (2.0f * kBeamDepth);
}

void SetTitleBlend(GrAlphaBlendFnc_t destination) {
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, destination, GR_BLEND_ONE, GR_BLEND_ZERO);
}

void DrawStrips() {
  grDrawPlanarPolygonVertexList(4, TextStripL);
  grDrawPlanarPolygonVertexList(4, TextStripR);
}

void RenderBackdropFade() {
  DrawStrips();
  float fade = SweepPos * -0.5f + 255.0f;
  SweepPos -= 4.0f;
  if (fade > 255.0f) fade = 255.0f;
  for (GrVertex& vertex : BackdropQuad) vertex.a = fade;
  SetTitleBlend(GR_BLEND_ONE_MINUS_SRC_ALPHA);
  SelectTexture(TitleTextures[1]);
  grDrawPlanarPolygonVertexList(4, BackdropQuad);
  SelectTexture(TitleTextures[0]);
  SetTitleBlend(GR_BLEND_ONE);
}

// Rebuilds both strips and both beams for the text line starting at texture row `band`.
void TitleLayout(float band) {
  SetCenteredQuad(TextStripL, -256.0f, -64.0f, 255.0f, 63.0f, 196.0f, band);
  SetCenteredQuad(TextStripR, -256.0f, -64.0f, 255.0f, 63.0f, 196.0f, band);
  SetCenteredQuad(BeamL, -10.0f, -10.0f, 10.0f, 10.0f, 255.0f, band);
  SetCenteredQuad(BeamR, -10.0f, -10.0f, 10.0f, 10.0f, 255.0f, band);
  ShapeBeam(BeamL, band);
  ShapeBeam(BeamR, band);
}

void RenderSweep() {
  SweepPos += SweepDir == 0 ? 4.0f : -4.0f;
  if (SweepPos < 4.0f) {
    TextBand += 64.0f;
    SweepDir = 0;
    TitleLayout(TextBand);
    HoldFrames = 50;
  }
  if (SweepPos > 507.0f) {
    SweepDir = 1;
    HoldFrames = TextBand == 128.0f ? 100 : 65;
  }
  const float pos = SweepPos;
  const float mirrored = 511.0f - pos;

  SetQuadRightSide(TextStripL, 64.0f + pos, pos * 0.5f);
  PlaceBeam(BeamL, pos);
  grDrawPlanarPolygonVertexList(4, TextStripL);

  SetQuadLeftSide(TextStripR, 64.0f + mirrored, mirrored * 0.5f);
  grDrawPlanarPolygonVertexList(4, TextStripR);
  PlaceBeam(BeamR, mirrored);
  grDrawPolygonVertexList(4, BeamR);
  grDrawPolygonVertexList(4, BeamL);
}

// Draws one frame's content for the current TitleClock.
void TitleRender() {
  if (TitleClock < 35) return;
  if (HoldFrames > 0) {
    DrawStrips();
    --HoldFrames;
  } else if (TextBand == 128.0f && SweepDir == 1) {
    RenderBackdropFade();
  } else {
    RenderSweep();
  }
}

}  // namespace

void TitleInit() {
  TitleClock = 0;
  BeginScene();
  LogPrintf("start:title\n");
  TitleTextures[0] = LoadScreenRgb565("title.cel");
  TitleTextures[1] = LoadCelRgb565("green.cel");
  if (TitleTextures[0] == -1 || TitleTextures[1] == -1) {
    TitleClock = kTitleFrames + 1;
    return;
  }
  SetCenteredQuad(BackdropQuad, -320.0f, -240.0f, 319.0f, 239.0f, 255.0f, 0.0f);
  SelectTexture(TitleTextures[0]);

  SetSceneTextureState();
  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthBufferFunction(GR_CMP_LEQUAL);
  grDepthMask(FXFALSE);
  guAlphaSource(GR_ALPHASOURCE_ITERATED_ALPHA);
  guAlphaSource(GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA);
  // The texture scaled by the vertex alpha, plus the (black) vertex colour.
  grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL_ALPHA, GR_COMBINE_LOCAL_ITERATED,
                 GR_COMBINE_OTHER_TEXTURE, FXFALSE);
  SetTitleBlend(GR_BLEND_ONE);

  TitleLayout(0.0f);
}

int32_t TitleFrame() {
  if (TitleClock > kTitleFrames) return 1;
  TitleRender();
  ShowFrame();
  ++TitleClock;
  return TitleClock >= kTitleFrames ? 1 : 0;
}

void TitleDone() {
  LogPrintf("title:done\n");
  if (!MIDASstopSample(EffectPlayHandle)) LogPrintf("Couldn't stop 1'st sample!\n");
  if (!MIDASfreeSample(AudioSamples[1])) LogPrintf("Couldn't free 1'st sample!\n");
  EffectPlayHandle = 0;
  AudioSamples[1] = 0;
}
