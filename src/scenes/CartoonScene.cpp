// The cartoon scene: a cut-out character assembled from soft-edged 256 x 200 image layers over
// black. Five acts switched at fixed frames: the character waking on a pillow; dancing in a suit
// while words fly out of the centre; a hi-fi picture wiped across while a hand slides onto its
// button and the groove from "1.wav" starts; the pillow again with a tilting head; the suit dance
// again, fading out. The sixth act ends the scene.
#include "scenes/CartoonScene.h"

#include "log/DebugLog.h"
#include "audio/AudioService.h"
#include "gfx/Display.h"
#include "gfx/Loaders.h"
#include "runtime/Random.h"
#include "scenes/FrameEnd.h"
#include "scenes/PhasePair.h"
#include "scenes/Scenes.h"
#include "scenes/ScreenQuad.h"

#include <glide.h>
#include <midasdll.h>

#include <algorithm>
#include <iterator>

namespace {

constexpr int32_t kLastFrame = 60000;  // a frame counter above this ends the scene
constexpr int32_t kFadeStart = 1600;   // the suit layout fades out after this frame
constexpr int32_t kFadeEnd = 1728;
constexpr float kCelDepth = 100.0f;    // depth testing is off; the layers keep the depth anyway
constexpr float kWipeEnd = 128.0f;     // the wipe stops at the middle of the picture
// The pair that sways the suit arms and turns the suit face: its first step is cos(second) / 3.
constexpr PhaseRates kSwayRates{1.0f, 0.2580212351476527f, 3.0f};

// In load order; the ids are rows of the texture table in this order.
enum Texture { kFace, kShirt, kArm, kPillow, kFace2, kArm2, kSuit, kText, kFace0, kHand, kHifi, kWhite, kTextureCount };
const char* const kSoftSprites[] = {"face.cel", "shirt.cel", "arm.cel",  "pillow.cel", "face2.cel", "arm2.cel",
                                    "suit.cel", "text.cel",  "face0.cel", "hand.cel",  "hifi.cel"};

int32_t CartoonClock;  // the scene's frame; past the last when the scene is over
// The act, the wipe and the phases start at 0 with the program. The act and the wipe start over
// with every init, so that the wipe and the hand, which init places again, slide together.
int32_t CartoonAct;
float WipePosition;
PhasePair Tilt;  // PhaseA and PhaseB: the waking head's tilt
PhasePair Sway;  // PhaseC and PhaseD: the suit face's turn and the suit arms' sway
float ActAlpha;
TextureId CartoonTextures[kTextureCount];
FlyingWord Words[kFlyingWordCount];

GrVertex Pillow[4];
GrVertex LeftArm[4];
GrVertex RightArm[4];
GrVertex Shirt[4];
GrVertex Face[4];
GrVertex SuitLeftArm[4];
GrVertex SuitRightArm[4];
GrVertex Suit[4];
GrVertex SuitFace[4];
GrVertex HifiTop[4];
GrVertex HifiBottom[4];
GrVertex Hand[4];

// A 256 x 200 image (or the texel window of it) on the rectangle (x0, y0) - (x1, y1) about the
// centre, flat, at depth z.
void SetCelQuad(GrVertex* quad, float x0, float y0, float x1, float y1, float z,
                const TexelWindow& window = {0.0f, 0.0f, 255.0f, 199.0f}) {
  FillScreenQuad(quad, x0, y0, x1, y1, 1.0f, 255.0f, window);
  SetQuadZ(quad, z);
}

// One 128 x 40 word cell starting at texel (s0, t0).
void SetSpriteQuad(GrVertex* quad, float x0, float y0, float x1, float y1, float s0, float t0) {
  FillScreenQuad(quad, x0, y0, x1, y1, 1.0f, 255.0f, {s0, t0, s0 + 127.0f, t0 + 39.0f});
  SetQuadZ(quad, 0.0f);
}

// Word cell c of "text.cel": two columns of 128 texels, five rows of 40.
void SetWordCell(FlyingWord& word, int32_t cell) {
  SetSpriteQuad(word.quad, -64.0f, -32.0f, 63.0f, 31.0f, static_cast<float>(cell % 2 * 128),
                static_cast<float>(cell / 2 * 40));
}

float RandomDrift() { return static_cast<float>(Rand() % 11 - 5); }

void DrawLayer(Texture texture, const GrVertex* quad) {
  SelectTexture(CartoonTextures[texture]);
  DrawScreenQuad(quad);
}

// Acts 0 and 3: pillow, arms, shirt, then the face turned by `angle` about the neck.
void DrawPillowLayout(Texture face, float angle) {
  DrawLayer(kPillow, Pillow);
  SelectTexture(CartoonTextures[kArm]);
  DrawScreenQuad(LeftArm);
  DrawScreenQuad(RightArm);
  DrawLayer(kShirt, Shirt);
  RotateScreenQuad(Face, -128.0f, -240.0f, 127.0f, 15.0f, angle);
  DrawLayer(face, Face);
}

// A word whose life has run out is born again, with fresh draws, before it is drawn.
void FlyWords() {
  for (FlyingWord& word : Words) {
    if (word.life > 2.5f) {
      word.active = 1;
      const int32_t cell = Rand() % 10;
      word.life = static_cast<float>(Rand() % 20) * 0.01f + 0.1f;
      word.dx = RandomDrift();
      word.dy = RandomDrift();
      SetWordCell(word, cell);
    }
    SetQuadAlpha(word.quad, word.life < 2.0f ? ActAlpha : (2.5f - word.life) * ActAlpha * 2.0f);
    if (word.active) {
      RotateScaleScreenQuad(word.quad, -64.0f, -16.0f, 63.0f, 16.0f, 3.14f * word.life, word.life);
      MoveScreenQuad(word.quad, word.dx, word.dy - 40.0f);
      word.dx *= 1.04f;
      word.dy *= 1.02f;
      DrawScreenQuad(word.quad);
    }
    word.life += 0.02f;
  }
}

// Acts 1 and 4: mirrored arms swaying, the suit, the turning face and the flying words.
void DrawSuitLayout() {
  ActAlpha = CartoonActAlpha(CartoonClock);
  for (GrVertex* quad : {SuitLeftArm, SuitRightArm, Suit, SuitFace}) SetQuadAlpha(quad, ActAlpha);

  const float swing = 0.0625f * Sway.second;
  RotateScreenQuad(SuitLeftArm, -128.0f, -128.0f, 127.0f, 127.0f, swing - 1.0f);
  MoveScreenQuad(SuitLeftArm, -100.0f, -20.0f);
  RotateScreenQuad(SuitRightArm, 128.0f, -128.0f, -127.0f, 127.0f, 1.0f - swing);
  MoveScreenQuad(SuitRightArm, 100.0f, -20.0f);
  SelectTexture(CartoonTextures[kArm2]);
  DrawScreenQuad(SuitLeftArm);
  DrawScreenQuad(SuitRightArm);

  DrawLayer(kSuit, Suit);
  RotateScreenQuad(SuitFace, -128.0f, -240.0f, 127.0f, 15.0f, 0.2f * Sway.first);
  DrawLayer(kFace2, SuitFace);

  SelectTexture(CartoonTextures[kText]);
  FlyWords();
}

// Act 2: the picture's lower half (texel rows 100 ... 199) is revealed from the left over its
// upper half, both at twice the texel size on the band y 140 ... 339; the hand slides right with
// the wipe.
void DrawHifi() {
  const float v = WipePosition;
  const float edge = 2.0f * v + 64.0f;
  SetQuadLeftSide(HifiTop, edge, v);
  SetQuadRightSide(HifiBottom, edge, v);
  SelectTexture(CartoonTextures[kHifi]);
  DrawScreenQuad(HifiTop);
  DrawScreenQuad(HifiBottom);

  if (WipePosition < kWipeEnd) MoveScreenQuad(Hand, 0.5f, 0.0f);
  DrawLayer(kHand, Hand);
  WipePosition = std::min(WipePosition + 0.5f, kWipeEnd);
}

void StartGroove() {
  EffectPlayHandle = MIDASplaySample(AudioSamples[1], MIDAS_CHANNEL_AUTO, 0, 16000, 64, MIDAS_PAN_MIDDLE);
  if (EffectPlayHandle == 0) LogPrintf("Coulnd't play 1'st sample!\n");
}

// The act that follows the frame just shown.
void SwitchAct(int32_t frame) {
  switch (frame) {
    case 256: CartoonAct = 1; break;
    case 512:
      CartoonAct = 2;
      StartGroove();
      break;
    case 832: CartoonAct = 3; break;
    case 1088: CartoonAct = 4; break;
    case kFadeEnd: CartoonAct = 5; break;
    default: break;
  }
}

void MakeLayers() {
  SetCelQuad(HifiTop, -256.0f, -100.0f, 255.0f, 99.0f, kCelDepth, {0.0f, 0.0f, 255.0f, 99.0f});
  SetCelQuad(HifiBottom, -256.0f, -100.0f, -255.0f, 99.0f, kCelDepth, {0.0f, 100.0f, 255.0f, 199.0f});
  SetCelQuad(Hand, -64.0f, -64.0f, 63.0f, 63.0f, kCelDepth);
  MoveScreenQuad(Hand, 68.0f, 24.0f);
  SetCelQuad(LeftArm, -128.0f, -128.0f, 127.0f, 127.0f, kCelDepth);
  MoveScreenQuad(LeftArm, -100.0f, -60.0f);
  SetCelQuad(RightArm, 128.0f, -128.0f, -127.0f, 127.0f, kCelDepth);
  MoveScreenQuad(RightArm, 100.0f, -60.0f);
  SetCelQuad(Pillow, -128.0f, -128.0f, 127.0f, 127.0f, kCelDepth);
  MoveScreenQuad(Pillow, 0.0f, -100.0f);
  SetCelQuad(Face, -128.0f, -240.0f, 127.0f, 15.0f, kCelDepth);
  SetCelQuad(Shirt, -128.0f, -128.0f, 128.0f, 128.0f, kCelDepth);
  ScaleScreenQuad(Shirt, 1.2f, 1.2f);
  MoveScreenQuad(Shirt, 0.0f, 120.0f);
  SetCelQuad(SuitLeftArm, -128.0f, -128.0f, 127.0f, 127.0f, kCelDepth);
  MoveScreenQuad(SuitLeftArm, -100.0f, -60.0f);
  SetCelQuad(SuitRightArm, 128.0f, -128.0f, -127.0f, 127.0f, kCelDepth);
  MoveScreenQuad(SuitRightArm, 100.0f, -60.0f);
  SetCelQuad(SuitFace, -128.0f, -240.0f, 127.0f, 15.0f, kCelDepth);
  SetCelQuad(Suit, -128.0f, -128.0f, 128.0f, 128.0f, kCelDepth);
  ScaleScreenQuad(Suit, 1.2f, 1.2f);
  MoveScreenQuad(Suit, 0.0f, 120.0f);
}

void SetCartoonState() {
  grColorMask(FXTRUE, FXFALSE);
  grDepthMask(FXFALSE);
  grDepthBufferFunction(GR_CMP_ALWAYS);
  // The soft edges of the images and the vertex alpha multiply.
  guAlphaSource(GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA);
  guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
  grTexMipMapMode(GR_TMU0, GR_MIPMAP_NEAREST, FXFALSE);
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
  grChromakeyMode(GR_CHROMAKEY_DISABLE);
}

}  // namespace

const FlyingWord& CartoonWord(int i) { return Words[i]; }

float CartoonActAlpha(int32_t frame) {
  if (frame <= kFadeStart) return 255.0f;
  return static_cast<float>(std::clamp(2 * (kFadeEnd - frame), 1, 255));
}

void CartoonInit() {
  CartoonClock = 0;
  CartoonAct = 0;
  WipePosition = 0.0f;
  // This scene logs its start before the reset.
  LogPrintf("start:cartoon\n");
  BeginScene();

  for (int i = 0; i < kWhite; ++i) CartoonTextures[i] = LoadCelSoftSprite(kSoftSprites[i]);
  CartoonTextures[kWhite] = LoadCelPaletted("white.cel");
  if (std::find(std::begin(CartoonTextures), std::end(CartoonTextures), -1) != std::end(CartoonTextures)) {
    CartoonClock = kLastFrame + 1;
    return;
  }
  SelectTexture(CartoonTextures[kFace]);

  // The draws come in this order for every word: cell, life, drift across, drift down.
  for (FlyingWord& word : Words) {
    SetWordCell(word, Rand() % 10);
    word.life = static_cast<float>(Rand() % 240) * 0.01f + 0.1f;
    word.dx = RandomDrift();
    word.dy = RandomDrift();
    MoveScreenQuad(word.quad, word.dx, word.dy);
    word.active = 0;
  }
  MakeLayers();
  SetCartoonState();
}

int32_t CartoonFrame() {
  if (CartoonClock > kLastFrame) return 1;
  switch (CartoonAct) {
    case 0: DrawPillowLayout(kFace0, 0.0f); break;
    case 1:
    case 4: DrawSuitLayout(); break;
    case 2: DrawHifi(); break;
    case 3: DrawPillowLayout(kFace, 0.1f * Tilt.first); break;
    default: CartoonClock = kLastFrame + 1; break;
  }
  ShowFrame();
  SwitchAct(CartoonClock);
  ++CartoonClock;
  Tilt.Advance(kCommonPhaseRates);
  Sway.Advance(kSwayRates);
  return CartoonClock > kLastFrame ? 1 : 0;
}
