// testcard OUT.png: draws the Glide test card and writes the back buffer (RGB565 expanded by bit
// replication, before display gamma) as PNG.
//
// Layout: a perspective checkerboard floor in the lower half (bilinear, wrapped); in the upper
// half the three texture formats (P_8, RGB_565, ARGB_4444) as panels, the five blend modes the
// scenes use as bars over a grey ramp, chroma-keyed and alpha-tested sprites, two triangles
// intersecting in the W-buffer, and Gouraud alpha ramps.
#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "glide.h"

namespace {

GrVertex V(float x, float y, float r, float g, float b, float a, float oow = 1.0f, float s = 0,
           float t = 0) {
  GrVertex v;
  std::memset(&v, 0, sizeof v);
  v.x = x;
  v.y = y;
  v.r = r;
  v.g = g;
  v.b = b;
  v.a = a;
  v.oow = oow;
  v.tmuvtx[0].sow = s * oow;
  v.tmuvtx[0].tow = t * oow;
  return v;
}

void Quad(float x0, float y0, float x1, float y1, float r, float g, float b, float aLeft,
          float aRight, float s1 = 256, float t1 = 256) {
  GrVertex q[4] = {V(x0, y0, r, g, b, aLeft, 1, 0, 0), V(x1, y0, r, g, b, aRight, 1, s1, 0),
                   V(x1, y1, r, g, b, aRight, 1, s1, t1), V(x0, y1, r, g, b, aLeft, 1, 0, t1)};
  grDrawPlanarPolygonVertexList(4, q);
}

// Texture memory layout of the card.
constexpr FxU32 kChecker = 0, kP8 = 0x20000, k565 = 0x30000, k4444 = 0x50000, kSprite = 0x70000;

void DownloadTextures() {
  // 64 x 64 RGB565 checker for the floor, with a red cross through it.
  std::vector<uint16_t> checker(64 * 64);
  for (int t = 0; t < 64; ++t) {
    for (int s = 0; s < 64; ++s) {
      uint16_t c = ((s / 8 + t / 8) & 1) ? 0xFFFF : 0x2104;
      if (s == 31 || t == 31) c = 0xF800;
      checker[t * 64 + s] = c;
    }
  }
  GrTexInfo floor{GR_LOD_64, GR_LOD_64, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, checker.data()};
  grTexDownloadMipMap(GR_TMU0, kChecker, GR_MIPMAPLEVELMASK_BOTH, &floor);

  // P_8: concentric rings through a rainbow palette.
  std::vector<uint8_t> rings(128 * 128);
  for (int t = 0; t < 128; ++t) {
    for (int s = 0; s < 128; ++s) {
      rings[t * 128 + s] = static_cast<uint8_t>(std::hypot(s - 64.0, t - 64.0) * 6.0);
    }
  }
  GuTexPalette palette;
  for (int i = 0; i < 256; ++i) {
    const double h = i / 256.0 * 6.283185307;
    const auto c = [&](double phase) {
      return static_cast<FxU32>(127.5 + 127.5 * std::cos(h + phase));
    };
    palette.data[i] = c(0) << 16 | c(2.094) << 8 | c(4.189);
  }
  grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, &palette);
  GrTexInfo p8{GR_LOD_128, GR_LOD_128, GR_ASPECT_1x1, GR_TEXFMT_P_8, rings.data()};
  grTexDownloadMipMap(GR_TMU0, kP8, GR_MIPMAPLEVELMASK_BOTH, &p8);

  // RGB565: a colour cube slice; ARGB4444: a soft white disc with alpha falling off.
  std::vector<uint16_t> cube(128 * 128), disc(128 * 128);
  for (int t = 0; t < 128; ++t) {
    for (int s = 0; s < 128; ++s) {
      cube[t * 128 + s] = static_cast<uint16_t>((s / 4) << 11 | (t / 2) << 5 | (31 - s / 4));
      const double d = std::hypot(s - 63.5, t - 63.5) / 64.0;
      const int a = d >= 1.0 ? 0 : static_cast<int>(15.0 * (1.0 - d * d));
      disc[t * 128 + s] = static_cast<uint16_t>(a << 12 | 0x0FFF);
    }
  }
  GrTexInfo c565{GR_LOD_128, GR_LOD_128, GR_ASPECT_1x1, GR_TEXFMT_RGB_565, cube.data()};
  GrTexInfo c4444{GR_LOD_128, GR_LOD_128, GR_ASPECT_1x1, GR_TEXFMT_ARGB_4444, disc.data()};
  grTexDownloadMipMap(GR_TMU0, k565, GR_MIPMAPLEVELMASK_BOTH, &c565);
  grTexDownloadMipMap(GR_TMU0, k4444, GR_MIPMAPLEVELMASK_BOTH, &c4444);

  // Sprite (ARGB4444, 32 x 32): a yellow star on black (the chroma key) with a half-alpha
  // orange halo (removed by the alpha test).
  std::vector<uint16_t> sprite(32 * 32);
  for (int t = 0; t < 32; ++t) {
    for (int s = 0; s < 32; ++s) {
      const double dx = s - 15.5, dy = t - 15.5;
      const double r = std::hypot(dx, dy), angle = std::atan2(dy, dx);
      const double star = 9.0 + 5.0 * std::cos(5.0 * angle);
      uint16_t c = 0xF000;  // opaque black: keyed
      if (r < star) c = 0xFFF0;  // opaque yellow
      else if (r < star + 3.0) c = 0x7F80;  // half-alpha orange
      sprite[t * 32 + s] = c;
    }
  }
  GrTexInfo sp{GR_LOD_32, GR_LOD_32, GR_ASPECT_1x1, GR_TEXFMT_ARGB_4444, sprite.data()};
  grTexDownloadMipMap(GR_TMU0, kSprite, GR_MIPMAPLEVELMASK_BOTH, &sp);
}

void Select(FxU32 address, GrLOD_t lod, GrTextureFormat_t format) {
  GrTexInfo info{lod, lod, GR_ASPECT_1x1, format, nullptr};
  grTexSource(GR_TMU0, address, GR_MIPMAPLEVELMASK_BOTH, &info);
}

void Reset() {
  grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
  grChromakeyMode(GR_CHROMAKEY_DISABLE);
  grAlphaTestFunction(GR_CMP_ALWAYS);
  grDepthBufferMode(GR_DEPTHBUFFER_DISABLE);
  grDepthMask(FXFALSE);
  guColorCombineFunction(GR_COLORCOMBINE_TEXTURE_ADD_ITRGB);
  guAlphaSource(GR_ALPHASOURCE_ITERATED_ALPHA);
}

void DrawCard() {
  // The clear writes depth only while depth buffering and depth writes are on.
  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthMask(FXTRUE);
  grBufferClear(0x00402818, 0, GR_WDEPTHVALUE_FARTHEST);
  guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
  grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
  Reset();

  // Floor: W from 8 at the horizon to 1 at the bottom, eight repeats across.
  Select(kChecker, GR_LOD_64, GR_TEXFMT_RGB_565);
  const float far = 1.0f / 8.0f;
  GrVertex floor[4] = {V(0, 250, 0, 0, 0, 255, far, -1024, 0), V(640, 250, 0, 0, 0, 255, far, 2048, 0),
                       V(640, 480, 0, 0, 0, 255, 1, 1792, 1536), V(0, 480, 0, 0, 0, 255, 1, -768, 1536)};
  grDrawPlanarPolygonVertexList(4, floor);

  // The three texture formats, point-sampled on the left half of each panel's row above.
  const FxU32 panels[3] = {kP8, k565, k4444};
  const GrTextureFormat_t formats[3] = {GR_TEXFMT_P_8, GR_TEXFMT_RGB_565, GR_TEXFMT_ARGB_4444};
  guAlphaSource(GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
  for (int i = 0; i < 3; ++i) {
    Select(panels[i], GR_LOD_128, formats[i]);
    const float x = 8.0f + 92.0f * i;
    Quad(x, 8, x + 84, 92, 0, 0, 0, 255, 255);
  }
  Reset();

  // The scenes' blend modes as bars over a grey ramp, alpha rising left to right.
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
  {
    GrVertex ramp[4] = {V(290, 8, 0, 0, 0, 255), V(632, 8, 255, 255, 255, 255),
                        V(632, 108, 255, 255, 255, 255), V(290, 108, 0, 0, 0, 255)};
    grDrawPlanarPolygonVertexList(4, ramp);
  }
  const int modes[5][2] = {{GR_BLEND_ONE, GR_BLEND_ZERO},
                           {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA},
                           {GR_BLEND_SRC_ALPHA, GR_BLEND_ONE},
                           {GR_BLEND_ZERO, GR_BLEND_ONE_MINUS_SRC_ALPHA},
                           {GR_BLEND_SRC_ALPHA, GR_BLEND_ZERO}};
  for (int m = 0; m < 5; ++m) {
    grAlphaBlendFunction(modes[m][0], modes[m][1], GR_BLEND_ONE, GR_BLEND_ZERO);
    const float y = 12.0f + 19.0f * m;
    Quad(300, y, 622, y + 14, 40, 140, 255, 0, 255);
  }
  Reset();

  // Sprites: chroma-keyed (left), alpha-tested (middle), both (right).
  Select(kSprite, GR_LOD_32, GR_TEXFMT_ARGB_4444);
  guAlphaSource(GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
  grChromakeyValue(0);
  for (int k = 0; k < 3; ++k) {
    grChromakeyMode(k != 1 ? GR_CHROMAKEY_ENABLE : GR_CHROMAKEY_DISABLE);
    grAlphaTestFunction(k != 0 ? GR_CMP_GREATER : GR_CMP_ALWAYS);
    grAlphaTestReferenceValue(64 + 128 * (k == 1));
    const float x = 8.0f + 70.0f * k;
    Quad(x, 110, x + 64, 174, 0, 0, 0, 255, 255);
  }
  Reset();

  // Two triangles intersecting in the W-buffer.
  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthBufferFunction(GR_CMP_LESS);
  grDepthMask(FXTRUE);
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
  GrVertex a[3] = {V(230, 112, 255, 80, 60, 255, 1.0f / 2), V(420, 150, 255, 200, 60, 255, 1.0f / 60),
                   V(240, 240, 255, 80, 60, 255, 1.0f / 2)};
  GrVertex b[3] = {V(420, 112, 60, 120, 255, 255, 1.0f / 2), V(410, 240, 60, 255, 200, 255, 1.0f / 2),
                   V(226, 180, 60, 120, 255, 255, 1.0f / 60)};
  grDrawTriangle(&a[0], &a[1], &a[2]);
  grDrawTriangle(&b[0], &b[1], &b[2]);
  Reset();

  // Gouraud alpha ramps: red, green and blue fading in over the background.
  guColorCombineFunction(GR_COLORCOMBINE_ITRGB);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE_MINUS_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ZERO);
  const float colours[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  for (int i = 0; i < 3; ++i) {
    const float y = 120.0f + 40.0f * i;
    GrVertex g[3] = {V(440, y, colours[i][0], colours[i][1], colours[i][2], 0),
                     V(632, y + 8, colours[i][0], colours[i][1], colours[i][2], 255),
                     V(470, y + 36, 255, 255, 255, 128)};
    grDrawTriangle(&g[0], &g[1], &g[2]);
  }
  Reset();
}

bool WritePng(const char* path, const std::vector<uint16_t>& pixels) {
  std::vector<uint8_t> rgb(640 * 480 * 3);
  for (size_t i = 0; i < pixels.size(); ++i) {
    const int r = pixels[i] >> 11, g = (pixels[i] >> 5) & 63, b = pixels[i] & 31;
    rgb[i * 3] = static_cast<uint8_t>(r << 3 | r >> 2);
    rgb[i * 3 + 1] = static_cast<uint8_t>(g << 2 | g >> 4);
    rgb[i * 3 + 2] = static_cast<uint8_t>(b << 3 | b >> 2);
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = 640;
  image.height = 480;
  image.format = PNG_FORMAT_RGB;
  return png_image_write_to_file(&image, path, 0, rgb.data(), 640 * 3, nullptr) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: testcard OUT.png\n");
    return 2;
  }
  setenv("GLIDE_PRESENT", "none", 0);
  grGlideInit();
  GrHwConfiguration hw;
  if (!grSstQueryHardware(&hw) ||
      !grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ABGR,
                    GR_ORIGIN_UPPER_LEFT, 2, 1)) {
    std::fprintf(stderr, "testcard: cannot open the Glide display\n");
    return 1;
  }
  DownloadTextures();
  DrawCard();
  std::vector<uint16_t> pixels(640 * 480);
  const bool read = grLfbReadRegion(GR_BUFFER_BACKBUFFER, 0, 0, 640, 480, 1280, pixels.data());
  grGlideShutdown();
  if (!read || !WritePng(argv[1], pixels)) {
    std::fprintf(stderr, "testcard: cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("%s\n", argv[1]);
  return 0;
}
