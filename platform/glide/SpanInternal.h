// What the specialised span units share (SpanSelect.cpp, SpanScalar.cpp, SpanSimd*.cpp): the
// chunk of pixels the stages pass along, the packed pixels of a small triangle, the dither rows,
// what a path is specialised on, and each unit's entry points. Nothing here needs an
// instruction set.
#pragma once

#include <cstdint>
#include <type_traits>

#include "Pipeline.h"

// Whether the target being compiled gets lane stages. Highway's fallback for CPUs below its SIMD
// targets (EMU128, scalar loops over arrays of lanes; on x86-64 what plain SSE2 has) measured no
// faster than the chunked path one pixel at a time on a full-screen quad (0.85x its time) and on
// the objects' meshes (1.08x), and was half of the span units' compile time, so below SSE4 the
// chunked path serves. Evaluated anew for each target foreach_target.h compiles.
#define GLIDE_LANE_TARGET (HWY_TARGET != HWY_EMU128 && HWY_TARGET != HWY_SCALAR)

namespace glide {

// The most pixels the stages handle in one go: a span is cut into chunks of this many.
inline constexpr int kChunk = 128;

struct alignas(64) Chunk {
  float w[kChunk];
  int32_t s[kChunk];
  int32_t t[kChunk];
  uint16_t r[kChunk], g[kChunk], b[kChunk], a[kChunk];
  uint16_t live[kChunk];  // 0xFFFF: write this pixel
  uint16_t depth[kChunk];
};

// 0, 1, 2, ... for the lanes of the widest block.
alignas(64) inline constexpr int32_t kLaneIndex32[kMaxBlock] = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31};
alignas(64) inline constexpr uint16_t kLaneIndex16[kMaxBlock] = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31};

// A small triangle's pixels packed across its rows (the batch path, SpanBatch-inl.h).
struct alignas(64) Packed {
  // Slack after the last pixel: the packing stores whole halves of coordinates past it, and the
  // write pass reads whole blocks of results.
  static constexpr int kSize = kBatchMaxPixels + 2 * kMaxBlock;
  int32_t x[kSize];
  int32_t y[kSize];
  uint16_t r[kSize], g[kSize], b[kSize], a[kSize];
  uint16_t live[kSize];  // 0xFFFF: passed the chroma key and the alpha test
  uint16_t depth[kSize];
  int start[kBatchMaxRows];  // the first packed pixel of each row
};

// The 4x4 dither as lanes: [y & 3][x & 3] gives, for pixels x .. x + kMaxBlock - 1 of row y, the
// matrix entry and the dither-subtraction offsets of red/blue and of green.
using DitherTable = uint16_t[4][4][kMaxBlock];
struct DitherRows {
  alignas(64) DitherTable d;
  alignas(64) DitherTable subRb;
  alignas(64) DitherTable subG;
};
const DitherRows& GetDitherRows();

// 1/W, S/W and T/W at the start of a span's row (the float iterators' row part).
struct RowStart {
  float w, s, t;
};

// The texel formats the specialised paths fetch: none, 8-bit through the expansion table,
// RGB565, ARGB4444.
enum class Tex { kNone, kLut8, k565, k4444 };

// The colour and alpha combines the specialised paths compute directly (kGeneric: through the
// full combine units). kDisplayDefault: texture scaled by iterated alpha plus iterated colour,
// iterated alpha; kDisplayTexTimesIterAlpha: the same colour with texture alpha times iterated
// alpha; kItrgb: iterated colour and alpha, untextured.
enum class Combine : uint8_t {
  kGeneric, kTexAddItrgbIterAlpha, kTexAddItrgbTexTimesIterAlpha, kDisplayDefault,
  kDisplayTexTimesIterAlpha, kItrgb
};

// The combines whose colour is texture * (iterated alpha + 1) / 256 + iterated colour.
constexpr bool ScalesTexture(Combine c) {
  return c == Combine::kDisplayDefault || c == Combine::kDisplayTexTimesIterAlpha;
}
// The combines whose alpha is texture alpha * (iterated alpha + 1) / 256.
constexpr bool TexTimesIterAlpha(Combine c) {
  return c == Combine::kTexAddItrgbTexTimesIterAlpha || c == Combine::kDisplayTexTimesIterAlpha;
}
// The four textured combines the lane shading computes.
constexpr bool LaneCombine(Combine c) { return c != Combine::kGeneric && c != Combine::kItrgb; }

// The blend modes the write stages compute directly: SRC_ALPHA with ONE_MINUS_SRC_ALPHA, with
// ONE, with ZERO, and ZERO with ONE_MINUS_SRC_ALPHA.
enum class BlendKind { kNone, kAlpha, kAdd, kDarken, kScale, kGeneric };

// Depth of a specialised path: kNoDepth (no depth test), or the compare of a W-buffer with bias 0
// (LESS, LEQUAL or ALWAYS). kNoDepth lies outside Glide's eight functions.
inline constexpr CompareFunc kNoDepth = static_cast<CompareFunc>(0xFF);

// What one span path is specialised on.
struct SpanKey {
  Tex tex = Tex::kNone;
  bool bilinear = false;
  Combine combine = Combine::kGeneric;
  CompareFunc depth = kNoDepth;
};

// What one write stage is specialised on (4x4 dither with or without dither subtraction).
struct WriteKey {
  BlendKind blend = BlendKind::kNone;
  bool dither = false;
  bool subtract = false;
};

// ---- Keys to template instances ----------------------------------------------------------------
// Each unit's picker hands a generic lambda to ForSpanKey or ForWriteKey; the lambda is called
// with the key's values as std::integral_constant arguments and returns the instance for them, or
// null where its unit has none (decided with if constexpr, so only real instances are compiled).

template <class T, T kFirst, T... kOthers, class F>
auto ForValue(T value, F&& f) {
  using Result = decltype(f(std::integral_constant<T, kFirst>{}));
  if (value == kFirst) return f(std::integral_constant<T, kFirst>{});
  Result result{};
  (void)((value == kOthers ? (result = f(std::integral_constant<T, kOthers>{}), true) : false) || ...);
  return result;
}

template <class F>
auto ForDepth(CompareFunc depth, F&& f) {
  return ForValue<CompareFunc, kNoDepth, CompareFunc::kLess, CompareFunc::kLequal, CompareFunc::kAlways>(depth, f);
}

template <class F>
auto ForSpanKey(const SpanKey& key, F&& f) {
  return ForValue<Tex, Tex::kNone, Tex::kLut8, Tex::k565, Tex::k4444>(key.tex, [&](auto tex) {
    return ForValue<bool, false, true>(key.bilinear, [&](auto bilinear) {
      return ForValue<Combine, Combine::kGeneric, Combine::kTexAddItrgbIterAlpha,
                      Combine::kTexAddItrgbTexTimesIterAlpha, Combine::kDisplayDefault,
                      Combine::kDisplayTexTimesIterAlpha, Combine::kItrgb>(key.combine, [&](auto combine) {
        return ForDepth(key.depth, [&](auto depth) { return f(tex, bilinear, combine, depth); });
      });
    });
  });
}

// `f` gets only the keys ClassifyWrite makes: dither subtraction only with 4x4 dither and a blend.
template <class F>
auto ForWriteKey(const WriteKey& key, F&& f) {
  using Result = decltype(f(std::integral_constant<BlendKind, BlendKind::kNone>{}, std::false_type{},
                            std::false_type{}));
  return ForValue<BlendKind, BlendKind::kNone, BlendKind::kAlpha, BlendKind::kAdd, BlendKind::kDarken,
                  BlendKind::kScale>(key.blend, [&](auto blend) {
    return ForValue<bool, false, true>(key.dither, [&](auto dither) {
      return ForValue<bool, false, true>(key.subtract, [&](auto subtract) -> Result {
        if constexpr (subtract && (!dither || blend == BlendKind::kNone)) {
          return Result{};
        } else {
          return f(blend, dither, subtract);
        }
      });
    });
  });
}

// DECAL: the texture combine that passes the texel through (SpanSelect.cpp).
const CombineUnit& DecalUnit();

// The float iterators at the start of row y.
inline RowStart RowStartOf(const Gradients& g, int y) {
  const int iy = y - g.ya;
  return {g.w + static_cast<float>(iy) * g.dwDy, g.s + static_cast<float>(iy) * g.dsDy,
          g.t + static_cast<float>(iy) * g.dtDy};
}

// The end of a chunk of row y after its pixels are shaded: the lanes past n dead up to the write
// stages' whole block, the write stage, then the depth of the live pixels where the path
// tests depth and the state writes it.
inline void FinishChunk(const SpanTarget& target, int y, int x, int n, bool depthTested, Chunk& c) {
  for (int i = n; i < ((n + kMaxBlock - 1) & ~(kMaxBlock - 1)); ++i) c.live[i] = 0;
  target.stages.write(target, y, x, n, c);
  if (!depthTested || !target.state.depthMask) return;
  uint16_t* auxRow = target.aux + static_cast<ptrdiff_t>(y) * target.stride;
  for (int i = 0; i < n; ++i) {
    if (c.live[i]) auxRow[x + i] = c.depth[i];
  }
}

// ---- SpanScalar.cpp: one pixel at a time ------------------------------------------------------
void PerspectiveScalar(const Gradients& g, const RowStart& row, int ix0, int n, bool textured,
                       Chunk& c);
void WriteStageScalar(const SpanTarget& target, int y, int x0, int n, const Chunk& c);
// The chunked span for the key: the target's perspective stage, the per-pixel stage, the
// target's write stage. Null for a key it has no instance of.
SpanFn PickChunkedSpan(const SpanKey& key);

// ---- SpanSimd*.cpp: the lane stages at each SIMD level -----------------------------------------
// Each is null where the level was not compiled into this build (a level below kNone's never
// is); the span and batch pickers are also null for a key they have no instance of (they serve
// the textured keys with a lane combine).
PerspectiveFn PerspectiveSimd(SimdLevel level);
WriteFn PickWriteSimd(SimdLevel level, const WriteKey& key);
RowsWriteFn PickRowsWriteSimd(SimdLevel level, const WriteKey& key, CompareFunc depth);
SpanFn PickSpanSimd(SimdLevel level, const SpanKey& key);
BatchFn PickBatchSimd(SimdLevel level, const SpanKey& key);
// The same for one texture format each (SpanSimdLut8.cpp, SpanSimdRgb565.cpp,
// SpanSimdArgb4444.cpp), so that the instances build in parallel.
SpanFn PickSpanSimdLut8(SimdLevel level, const SpanKey& key);
SpanFn PickSpanSimdRgb565(SimdLevel level, const SpanKey& key);
SpanFn PickSpanSimdArgb4444(SimdLevel level, const SpanKey& key);
BatchFn PickBatchSimdLut8(SimdLevel level, const SpanKey& key);
BatchFn PickBatchSimdRgb565(SimdLevel level, const SpanKey& key);
BatchFn PickBatchSimdArgb4444(SimdLevel level, const SpanKey& key);

}  // namespace glide
