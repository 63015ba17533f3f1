// An independent, slow model of the board for the tests: per pixel, in double precision, from
// the published equations, sharing no code with the rasterizer. It describes state the way the
// Glide calls do (functions, factors, selections) rather than the way the rasterizer stores it.
#pragma once

#include <cstdint>
#include <vector>

#include "glide.h"

namespace reference {

struct CombineArgs {
  int function, factor, local, other;
  bool invert;
};

struct State {
  CombineArgs color{GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                    GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_ITERATED, false};
  CombineArgs alpha{GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                    GR_COMBINE_LOCAL_CONSTANT, GR_COMBINE_OTHER_CONSTANT, false};
  bool texDecal = false;  // TMU combine DECAL (else ZERO)
  uint32_t constant = 0xFFFFFFFF;  // ARGB
  // Texture (single level, aspect 1x1 or as given).
  int format = GR_TEXFMT_RGB_565;
  int lod = GR_LOD_256;
  int aspect = GR_ASPECT_1x1;
  const uint8_t* texels = nullptr;   // tightly packed level
  const uint32_t* palette = nullptr; // 0x00RRGGBB entries
  bool bilinear = false;
  bool clamp = false;
  // Pixel operations.
  int alphaTest = GR_CMP_ALWAYS;
  int alphaRef = 0;
  bool chroma = false;
  uint32_t chromaKey = 0;  // 0x00RRGGBB
  int blendSrc = GR_BLEND_ONE, blendDst = GR_BLEND_ZERO;
  bool wbuffer = false;
  int depthFunc = GR_CMP_ALWAYS;
  bool depthWrite = false;
  int dither = GR_DITHER_4x4;
  bool ditherSubtract = true;
};

struct Image {
  int width = 640, height = 480;
  std::vector<uint16_t> color;
  std::vector<uint16_t> depth;
};

// Per-pixel outcome flags of the last Draw, for choosing what to compare.
enum PixelFlags : uint8_t {
  kCovered = 1,
  kAmbiguous = 2,  // a texel coordinate lies on a texel or weight boundary within rounding
};

// Draws one triangle (vertices on the 1/16 pixel grid) over `image` inside the clip window
// [0, clipW) x [0, clipH). `flags` receives one entry per pixel.
void DrawTriangle(const State& st, const GrVertex& a, const GrVertex& b, const GrVertex& c,
                  Image& image, std::vector<uint8_t>& flags, int clipW = 640, int clipH = 480);

// The helpers the table-driven tests use directly.
int CombineEquation(int other, int local, int localAlpha, int factor, bool zeroOther,
                    bool subLocal, bool addLocal, bool addLocalAlpha, bool oneMinus, bool invert);
int DitherChannel(int value, int matrixEntry, int bits);  // bits 5 or 6
uint32_t WDepthOf(double w);
bool CompareOf(int func, uint32_t a, uint32_t b);

}  // namespace reference
