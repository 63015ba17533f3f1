// The crypt scene: a rendered crypt picture over the middle of the screen fades in, holds and
// fades out; a title strip follows; a textured figure spins under a fixed tilt while six captions
// drift across the screen one after another; the figure fades away and a closing strip fades in
// and out. "ohyea.mod" loops from init to done.
#include "log/DebugLog.h"
#include "audio/AudioService.h"
#include "geom/Matrix.h"
#include "gfx/Display.h"
#include "gfx/Loaders.h"
#include "scenes/FrameEnd.h"
#include "scenes/SceneObjects.h"
#include "scenes/Scenes.h"
#include "scenes/ScreenQuad.h"
#include "scenes/TexturedObject.h"

#include <glide.h>

#include <algorithm>

namespace {

constexpr int32_t kSceneFrames = 3505;      // F runs 0 ... 3504
constexpr int32_t kTitleStart = 768;        // the picture has faded out; the title strip begins
constexpr int32_t kFigureStart = 1024;      // the figure is drawn for F above this
constexpr int32_t kCaptionStart = 1280;     // caption 0 is set up here, the next every 256 frames
constexpr int32_t kFigureEnd = 2992;        // the figure's last frame; the closing strip after it
constexpr int32_t kLastCaption = 6;         // the closing strip
constexpr float kFigureFadeStart = 2737.0f;  // the figure fades out over the frames after this
// The figure sits 200 units in front of the eye; a face is drawn only when all its corners lie
// more than one unit in front of it.
constexpr TexturedObjectStyle kCryptFigure{200.0f, 1.0f};

int32_t CryptClock;  // the scene's frame, F in the comments
TextureId CryptPicture = -1;
TextureId CaptionSheet = -1;
P3dObject Figure;
Vertex4 PointScratch[kPointScratchSize];

// The figure's draw count and the caption state belong to the whole run: init leaves them alone.
float FigureDraws;         // frames that have drawn the figure: its alpha while it fades in
int32_t NextCaption;       // c, 0 ... 7
int32_t CaptionTimer;      // caption frames run so far
int32_t CaptionStartFrame;  // F when the current caption was set up
float DriftX, DriftY;      // pixels per frame

GrVertex Picture[4];
GrVertex Caption[4];

// A flat quad showing texture columns 0 ... 255 and rows 1 ... bottom.
void SetFlatScreenQuad(GrVertex* quad, float x0, float y0, float x1, float y1, float alpha, float bottom) {
  FillScreenQuad(quad, x0, y0, x1, y1, 1.0f, alpha, {0.0f, 1.0f, 255.0f, bottom});
}

// A flat quad showing one caption cell: 128 texels from s0 and the 40 rows after t0. Its alpha is
// set by every draw.
void SetCaptionQuad(GrVertex* quad, float x0, float y0, float x1, float y1, float s0, float t0) {
  FillScreenQuad(quad, x0, y0, x1, y1, 1.0f, 0.0f, {s0, t0 + 1.0f, s0 + 127.0f, t0 + 40.0f});
}

struct CaptionPlacement {
  float x0, y0, x1, y1;  // rectangle about the screen centre
  float s0, t0;          // the cell in the caption sheet
  float dx, dy;          // where it starts
  float vx, vy;          // its drift
};

// Captions 0 to 5. The first two are one pixel wider than the others.
constexpr CaptionPlacement kCaptions[6] = {
    {-128.0f, -40.0f, 128.0f, 39.0f, 128.0f, 40.0f, -150.0f, -100.0f, 1.0f, 0.0f},
    {-128.0f, -40.0f, 128.0f, 39.0f, 0.0f, 40.0f, 100.0f, 100.0f, 0.0f, -1.0f},
    {-128.0f, -40.0f, 127.0f, 39.0f, 0.0f, 80.0f, -190.0f, 100.0f, 1.0f, 0.0f},
    {-128.0f, -40.0f, 127.0f, 39.0f, 128.0f, 80.0f, 100.0f, -100.0f, 0.0f, 1.0f},
    {-128.0f, -40.0f, 127.0f, 39.0f, 0.0f, 120.0f, 0.0f, 150.0f, 0.0f, -1.0f},
    {-128.0f, -40.0f, 127.0f, 39.0f, 128.0f, 120.0f, 160.0f, 0.0f, -1.0f, 0.0f},
};

// Sets up caption `index` (0 to 5) with its drift, or the closing strip (6) across the full sheet
// width, which is never moved. Any other index does nothing.
void SetCaption(int32_t index) {
  if (index >= 0 && index < kLastCaption) {
    const CaptionPlacement& c = kCaptions[index];
    SetCaptionQuad(Caption, c.x0, c.y0, c.x1, c.y1, c.s0, c.t0);
    MoveScreenQuad(Caption, c.dx, c.dy);
    DriftX = c.vx;
    DriftY = c.vy;
  } else if (index == kLastCaption) {
    SetCaptionQuad(Caption, -256.0f, -40.0f, 255.0f, 39.0f, 0.0f, 160.0f);
    Caption[1].tmuvtx[0].sow = 255.0f;
    Caption[2].tmuvtx[0].sow = 255.0f;
  }
}

// Back to the opaque blend every draw of the figure relies on.
void SetOpaqueBlend() { grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO); }

// The picture: in over the first 256 frames, held, out over the 256 frames before 768.
void CryptBackground(float frame) {
  float a = frame <= 255.0f ? frame : (frame <= 512.0f ? 255.0f : 768.0f - frame);
  a = std::clamp(a, 0.0f, 255.0f);
  SetQuadAlpha(Picture, a);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
  SelectTexture(CryptPicture);
  DrawScreenQuad(Picture);
  SetOpaqueBlend();
}

// The caption quad over what is there, faded in over x = 0 ... 255 and out over 256 ... 511.
void DrawCryptCaption(float x) {
  float a = x <= 255.0f ? x : 511.0f - x;
  a = std::clamp(a, 0.0f, 255.0f);
  SetQuadAlpha(Caption, a);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
  SelectTexture(CaptionSheet);
  DrawScreenQuad(Caption);
  SetOpaqueBlend();
}

// The figure, fading in over its first 255 draws and out over the frames before 2993, after
// which it is neither drawn nor counted. It fades from and to black through its vertex alpha.
void DrawCryptObject(const Vertex4* points, const P3dObject& object) {
  if (CryptClock > kFigureEnd) return;
  const float frame = static_cast<float>(CryptClock);
  float alpha = FigureDraws < 255.0f ? FigureDraws : (frame > kFigureFadeStart ? 2992.0f - frame : 255.0f);
  alpha = std::clamp(alpha, 0.0f, 255.0f);
  DrawTexturedObject(points, object, alpha, kCryptFigure);
  FigureDraws += 1.0f;
}

void CryptRender() {
  const float frame = static_cast<float>(CryptClock);
  if (CryptClock < kTitleStart) {
    CryptBackground(frame);
    return;
  }
  if (CryptClock > kFigureStart) {
    LoadMatrix(MakeRotationY(2.5f * frame));
    MultMatrix(MakeRotationX(45.0f));
    TransformPoints(PointScratch, Figure.vertices, static_cast<uint32_t>(Figure.vertexCount));
    DrawCryptObject(PointScratch, Figure);
  }
  if (CryptClock < kCaptionStart) {
    DrawCryptCaption(frame - 767.0f);
  } else if (NextCaption <= kLastCaption) {
    if (CaptionTimer % 256 == 0) {
      SetCaption(NextCaption);
      ++NextCaption;
      CaptionStartFrame = CryptClock;
    }
    if (NextCaption <= kLastCaption) {
      MoveScreenQuad(Caption, DriftX, DriftY);
      ++CaptionTimer;
      DrawCryptCaption(2.0f * static_cast<float>(CryptClock - CaptionStartFrame));
    }
  }
  // Whatever the caption quad holds: the closing strip, set up at 2816.
  if (CryptClock > kFigureEnd) DrawCryptCaption(frame - 2992.0f);
}


}  // namespace

void CryptInit() {
  CryptClock = 0;
  BeginScene();
  LogPrintf("start:crypt\n");

  CryptPicture = LoadScreenRgb565("crypt.cel");
  CaptionSheet = LoadScreenGlow("rebuilt.cel");
  if (CryptPicture == -1 || CaptionSheet == -1) {
    CryptClock = kSceneFrames;
    return;
  }
  SetFlatScreenQuad(Picture, -240.0f, -240.0f, 240.0f, 239.0f, 230.0f, 199.0f);
  SetFlatScreenQuad(Caption, -256.0f, -40.0f, 255.0f, 39.0f, 230.0f, 40.0f);
  SelectTexture(CryptPicture);
  SetTexturedObjectState(GR_CMP_LESS, false);  // the strict depth test, unlike space and temple

  // A figure that fails to load ends the scene at its first frame, but the music still starts
  // (and done stops it at once); the scale goes back to 1 either way.
  const SceneObjectFile figure[] = {{"vexol.p3d", 1.1f, &Figure}};
  if (LoadSceneObjects(figure) != 0) {
    CryptClock = kSceneFrames;
    ObjectScale = 1.0f;
  }

  StartSceneMusic({"ohyea.mod", 4, false, true});
}

int32_t CryptFrame() {
  if (CryptClock >= kSceneFrames) return 1;
  CryptRender();
  ShowFrame();
  ++CryptClock;
  return CryptClock >= kSceneFrames ? 1 : 0;
}

void CryptDone() {
  if (!MIDASstopModule(MusicPlayHandle)) LogPrintf("Couldn't stop 2'nd module!\n");
  if (!MIDASfreeModule(MusicModule)) LogPrintf("Couldn't free 2'nd module!\n");
  MusicPlayHandle = 0;
  MusicModule = 0;
}
