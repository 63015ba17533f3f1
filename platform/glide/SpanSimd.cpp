// The lane stages every specialised span path shares at a SIMD level: the perspective stage,
// the write stage and the small-triangle batch's write pass, compiled once per target; and the
// dispatch from a SimdLevel to the instances of every span unit.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "SpanSimd.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include "SpanBatch-inl.h"
#include "SpanRow-inl.h"
#include "SpanTargets.h"

HWY_BEFORE_NAMESPACE();
namespace glide {
namespace HWY_NAMESPACE {

#if GLIDE_LANE_TARGET
PerspectiveFn PerspectiveStage() { return PerspectiveLanes; }

WriteFn PickWrite(const WriteKey& key) {
  return ForWriteKey(key, [](auto blend, auto dither, auto subtract) -> WriteFn {
    return WriteLanes<blend, dither, subtract>;
  });
}

RowsWriteFn PickRowsWrite(const WriteKey& key, CompareFunc depth) { return PickRowsWriteLanes(key, depth); }
#else
PerspectiveFn PerspectiveStage() { return nullptr; }
WriteFn PickWrite(const WriteKey&) { return nullptr; }
RowsWriteFn PickRowsWrite(const WriteKey&, CompareFunc) { return nullptr; }
#endif

}  // namespace HWY_NAMESPACE
}  // namespace glide
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include <algorithm>

#include "SpanTargets.h"

namespace glide {

HWY_EXPORT(PerspectiveStage);
HWY_EXPORT(PickWrite);
HWY_EXPORT(PickRowsWrite);

PerspectiveFn PerspectiveSimd(SimdLevel level) { return CallForLevel(HWY_DISPATCH_TABLE(PerspectiveStage), level); }

WriteFn PickWriteSimd(SimdLevel level, const WriteKey& key) {
  return CallForLevel(HWY_DISPATCH_TABLE(PickWrite), level, key);
}

RowsWriteFn PickRowsWriteSimd(SimdLevel level, const WriteKey& key, CompareFunc depth) {
  return CallForLevel(HWY_DISPATCH_TABLE(PickRowsWrite), level, key, depth);
}

SpanFn PickSpanSimd(SimdLevel level, const SpanKey& key) {
  switch (key.tex) {
    case Tex::kLut8: return PickSpanSimdLut8(level, key);
    case Tex::k565: return PickSpanSimdRgb565(level, key);
    case Tex::k4444: return PickSpanSimdArgb4444(level, key);
    default: return nullptr;
  }
}

BatchFn PickBatchSimd(SimdLevel level, const SpanKey& key) {
  switch (key.tex) {
    case Tex::kLut8: return PickBatchSimdLut8(level, key);
    case Tex::k565: return PickBatchSimdRgb565(level, key);
    case Tex::k4444: return PickBatchSimdArgb4444(level, key);
    default: return nullptr;
  }
}

const std::vector<SimdLevel>& AvailableSimd() {
  static const std::vector<SimdLevel> levels = [] {
    std::vector<SimdLevel> out{SimdLevel::kNone};
#if (HWY_TARGETS & (HWY_TARGETS - 1)) == 0
    // One target compiled (a WebAssembly build): the build's own, and no run-time detection.
    const int64_t supported = HWY_STATIC_TARGET;
#else
    const int64_t supported = hwy::SupportedTargets();
#endif
    for (const SimdLevel level : {SimdLevel::kSse4, SimdLevel::kAvx2, SimdLevel::kAvx512, SimdLevel::kNeon,
                                  SimdLevel::kWasm}) {
      const int64_t target = HighwayTarget(level);
      if (target != 0 && (target & HWY_TARGETS & supported) != 0 && PerspectiveSimd(level) != nullptr) {
        out.push_back(level);
      }
    }
    return out;
  }();
  return levels;
}

SimdLevel DetectedSimd() { return AvailableSimd().back(); }

const char* SimdName(SimdLevel level) {
  switch (level) {
    case SimdLevel::kSse4: return "sse4";
    case SimdLevel::kAvx2: return "avx2";
    case SimdLevel::kAvx512: return "avx512";
    case SimdLevel::kNeon: return "neon";
    case SimdLevel::kWasm: return "wasm";
    default: return "none";
  }
}

}  // namespace glide
#endif  // HWY_ONCE
