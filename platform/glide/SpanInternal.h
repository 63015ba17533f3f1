// What the specialised span units share (SpanSelect.cpp, SpanScalar.cpp, SpanSse2.cpp,
// SpanAvx2.cpp, SpanAvx2Batch.cpp): the chunk of pixels the stages pass along, what a path is
// specialised on, and each unit's entry points. Nothing here needs an instruction set.
#pragma once

#include <cstdint>
#include <type_traits>

#include "Pipeline.h"
#include "glide.h"

#if (defined(__x86_64__) || defined(__i386__)) && !defined(GLIDE_NO_SIMD)
#define GLIDE_X86 1
#else
#define GLIDE_X86 0
#endif

namespace glide {

// The most pixels the stages handle in one go: a span is cut into chunks of this many.
inline constexpr int kChunk = 128;

struct alignas(32) Chunk {
  float w[kChunk];
  int32_t s[kChunk];
  int32_t t[kChunk];
  uint16_t r[kChunk], g[kChunk], b[kChunk], a[kChunk];
  uint16_t live[kChunk];  // 0xFFFF: write this pixel
  uint16_t depth[kChunk];
};

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
enum class Combine {
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
// The four textured combines the eight- and sixteen-lane shading computes.
constexpr bool LaneCombine(Combine c) { return c != Combine::kGeneric && c != Combine::kItrgb; }

// The blend modes the write stages compute directly: SRC_ALPHA with ONE_MINUS_SRC_ALPHA, with
// ONE, with ZERO, and ZERO with ONE_MINUS_SRC_ALPHA.
enum class BlendKind { kNone, kAlpha, kAdd, kDarken, kScale, kGeneric };

// Depth of a specialised path: kNoDepth, or the GR_CMP_* function of a W-buffer with bias 0
// (LESS, LEQUAL or ALWAYS).
inline constexpr int kNoDepth = -1;

// What one span path is specialised on.
struct SpanKey {
  Tex tex = Tex::kNone;
  bool bilinear = false;
  Combine combine = Combine::kGeneric;
  int depth = kNoDepth;
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
  ((value == kOthers ? (result = f(std::integral_constant<T, kOthers>{}), true) : false) || ...);
  return result;
}

template <class F>
auto ForDepth(int depth, F&& f) {
  return ForValue<int, kNoDepth, GR_CMP_LESS, GR_CMP_LEQUAL, GR_CMP_ALWAYS>(depth, f);
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
// stages' block of sixteen, the write stage, then the depth of the live pixels where the path
// tests depth and the state writes it.
inline void FinishChunk(const SpanTarget& target, int y, int x, int n, bool depthTested, Chunk& c) {
  for (int i = n; i < ((n + 15) & ~15); ++i) c.live[i] = 0;
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

#if GLIDE_X86
// ---- SpanSse2.cpp: four lanes of perspective, eight of writing --------------------------------
void PerspectiveSse2(const Gradients& g, const RowStart& row, int ix0, int n, bool textured,
                     Chunk& c);
WriteFn PickWriteSse2(const WriteKey& key);

// ---- SpanAvx2.cpp: eight and sixteen lanes along a row ----------------------------------------
void PerspectiveAvx2(const Gradients& g, const RowStart& row, int ix0, int n, bool textured,
                     Chunk& c);
WriteFn PickWriteAvx2(const WriteKey& key);
// The row span for a textured key with a lane combine; null for any other key.
SpanFn PickSpanAvx2(const SpanKey& key);
// The same for one texture format each (SpanAvx2Lut8.cpp, SpanAvx2Rgb565.cpp, SpanAvx2Argb4444.cpp).
SpanFn PickSpanAvx2Lut8(const SpanKey& key);
SpanFn PickSpanAvx2Rgb565(const SpanKey& key);
SpanFn PickSpanAvx2Argb4444(const SpanKey& key);

// ---- SpanAvx2Batch.cpp: small triangles packed across rows ------------------------------------
// Null where the batch has no instance for the key (it serves the row span's keys).
BatchFn PickBatchAvx2(const SpanKey& key);
BatchFn PickBatchAvx2Lut8(const SpanKey& key);
BatchFn PickBatchAvx2Rgb565(const SpanKey& key);
BatchFn PickBatchAvx2Argb4444(const SpanKey& key);
RowsWriteFn PickRowsWriteAvx2(const WriteKey& key, int depth);
#endif

}  // namespace glide
