// The rasterizer's working types: a triangle's plane equations after set-up, the derived state
// a span function reads (decoded once per state change), and the span function itself.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "RenderState.h"
#include "Tables.h"
#include "TextureMemory.h"

namespace glide {

// Plane equations of one triangle, anchored at the centre of the pixel (xa, ya) that holds
// vertex A (the topmost). A parameter at pixel (x, y) is
//   integer iterators: base + (x - xa) * dx + (y - ya) * dy
//   float iterators:   (base + float(y - ya) * dy) + float(x - xa) * dx
// evaluated in exactly that order by every span function, so all of them agree bit for bit.
struct Gradients {
  int xa = 0;
  int ya = 0;
  // Iterated colour and alpha, 12.12; iterated Z, 20.12.
  std::array<int64_t, 4> rgba{};  // r, g, b, a
  std::array<int64_t, 4> drgbaDx{};
  std::array<int64_t, 4> drgbaDy{};
  int64_t z = 0, dzDx = 0, dzDy = 0;
  // 1/W and the texture's S/W, T/W in float (texture space 0..256 at LOD 0).
  float w = 0, dwDx = 0, dwDy = 0;
  float s = 0, dsDx = 0, dsDy = 0;
  float t = 0, dtDx = 0, dtDy = 0;

  bool operator==(const Gradients&) const = default;
};

struct SpanTarget;
struct Chunk;
struct RowStart;
struct Packed;

// One covered row of a triangle: pixels [x0, x1) of buffer row y.
struct SpanRow {
  int y, x0, x1;
};

// The widest block of pixels a SIMD target works on (AVX-512's 16-bit lanes).
inline constexpr int kMaxBlock = 32;
// How far past a span's last pixel the SIMD stages may read and write back (unchanged) colour
// and depth values: the write stages work in whole blocks. The buffers carry at least that much
// padding after their last row.
inline constexpr int kSpanOverrun = kMaxBlock - 1;

// The most rows, and pixels, a small triangle's batch takes.
inline constexpr int kBatchMaxRows = 64;
inline constexpr int kBatchMaxPixels = 2048;

// Shades a small triangle's rows all at once (SpanBatch-inl.h); false, having drawn nothing,
// where the rows must go through the span function one by one.
using BatchFn = bool (*)(const SpanTarget& target, const Gradients& g, const SpanRow* rows,
                         int count);

// The specialised paths' stages (SpanInternal.h): 1/W and the texel coordinates of a chunk of a
// row; blending, dithering and the write of a chunk; the batch's blend-dither-write pass over
// its packed pixels.
using PerspectiveFn = void (*)(const Gradients& g, const RowStart& row, int ix0, int n,
                               bool textured, Chunk& c);
using WriteFn = void (*)(const SpanTarget& target, int y, int x0, int n, const Chunk& c);
using RowsWriteFn = void (*)(const SpanTarget& target, const SpanRow* rows, int count,
                             const Packed& p);

// Draws pixels [x0, x1) of row y (0 <= x0 < x1 <= stride, inside the clip window).
using SpanFn = void (*)(const SpanTarget& target, const Gradients& g, int y, int x0, int x1);

// The generic span path: every state, one pixel at a time (SpanGeneric.cpp).
void SpanGeneric(const SpanTarget& target, const Gradients& g, int y, int x0, int x1);

// The colour and alpha combine a specialised path computes (SpanInternal.h).
enum class Combine : uint8_t;

// The span paths, for the statistics GLIDE_STATS prints (SpanSelect.cpp has the table).
enum class SpanPath { kGeneric, kChunked, kRow, kBatch };
inline constexpr int kSpanPaths = 4;

// What draws a render state: the span function, and for the specialised paths their perspective
// and blend-and-write stages; small triangles with their pixels packed across rows and that
// path's write pass, null where the state has none. Chosen once per state (SelectSpans).
struct SpanSelection {
  SpanFn span = SpanGeneric;
  SpanPath path = SpanPath::kGeneric;  // the path `span` is
  Combine combine{};                    // what a specialised path combines
  PerspectiveFn perspective = nullptr;
  WriteFn write = nullptr;
  BatchFn batch = nullptr;
  RowsWriteFn rowsWrite = nullptr;
};

// Everything a span function needs besides the triangle: decoded state, the texture, the
// buffers, the chosen stages. Built when the state changes (or a texture, palette or buffer is
// bound).
struct SpanTarget {
  RenderState state;
  const Tables* tables = nullptr;
  uint16_t* color = nullptr;  // draw buffer, `stride` pixels per row
  uint16_t* aux = nullptr;    // depth or alpha
  int stride = 0;

  // Texture: level data in TMU memory, addressing, and the expansion table for 8-bit texels
  // (and the palette half of AP_88) as 0xAARRGGBB.
  const uint8_t* texels = nullptr;
  TextureBinding binding;
  int sAnd = -1, tAnd = -1;  // wrap: size - 1; clamp: all ones
  std::array<uint32_t, 256> lut8{};
  // For the lane samplers, an 8-bit level already expanded through lut8 (one more zero
  // texel after its last); set wherever they may draw from such a level.
  const uint32_t* texels32 = nullptr;
  // Every texel of the level is the same, `uniformTexel` (as DecodeTexel gives it): every sample,
  // point or bilinear, is that colour, so the lane row span fetches nothing. Set where
  // that span may draw from the level (FindUniformTexel).
  bool uniform = false;
  uint32_t uniformTexel = 0;

  SpanSelection stages;
};

// The SIMD the specialised paths are compiled for, each level a target of the portable vector
// library; kNone is the chunked path one pixel at a time, what a CPU below them all runs (on
// x86-64 the baseline, SSE2). Within one architecture a later level is a wider one: on x86-64
// SSE4, AVX2 and AVX-512, on ARM64 NEON, in WebAssembly SIMD128.
enum class SimdLevel { kNone, kSse4, kAvx2, kAvx512, kNeon, kWasm };
// The levels this build has and this CPU runs, kNone first, the best last.
const std::vector<SimdLevel>& AvailableSimd();
// The best of them.
SimdLevel DetectedSimd();
// The level's name as GLIDE_SIMD takes it ("none", "sse4", "avx2", "avx512", "neon", "wasm").
const char* SimdName(SimdLevel level);

// The fastest span function and stages for a (normalized) state at the given SIMD level; the
// generic path when none of the specialised ones applies or they are not allowed
// (SpanSelect.cpp).
SpanSelection SelectSpans(const RenderState& state, bool allowSpecialised, SimdLevel level);

// Fills the addressing fields of target from its state and binding.
void PrepareTexture(SpanTarget& target, const uint8_t* textureMemory);
// Sets target.uniform and uniformTexel for the bound level (after PrepareTexture and, for 8-bit
// levels, FillTextureLut).
void FindUniformTexel(SpanTarget& target);
// Whether texels of `format` expand through target.lut8 (the 8-bit formats and AP_88's palette).
bool UsesTextureLut(TexFormat format);
// Fills target.lut8 for `format` (for P_8 and AP_88 from the palette).
void FillTextureLut(SpanTarget& target, TexFormat format, const std::array<uint32_t, 256>& palette);

}  // namespace glide
