// The body of a texture format's span unit (SpanSimdLut8.cpp, SpanSimdRgb565.cpp,
// SpanSimdArgb4444.cpp): the row span and batch shading instances for one format at every SIMD
// level, and their dispatchers. The unit defines GLIDE_UNIT_TEX (the format), GLIDE_UNIT_SPAN and
// GLIDE_UNIT_BATCH (the dispatchers' names) and HWY_TARGET_INCLUDE (itself), then includes
// foreach_target.h and this. Internal to the span units.
#include "SpanBatch-inl.h"
#include "SpanRow-inl.h"
#include "SpanTargets.h"

HWY_BEFORE_NAMESPACE();
namespace glide {
namespace HWY_NAMESPACE {
namespace {

#if GLIDE_LANE_TARGET
SpanFn PickUnitSpan(const SpanKey& key) { return PickSpanFor<GLIDE_UNIT_TEX>(key); }
BatchFn PickUnitBatch(const SpanKey& key) { return PickBatchFor<GLIDE_UNIT_TEX>(key); }
#else
SpanFn PickUnitSpan(const SpanKey&) { return nullptr; }
BatchFn PickUnitBatch(const SpanKey&) { return nullptr; }
#endif

}  // namespace
}  // namespace HWY_NAMESPACE
}  // namespace glide
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace glide {

HWY_EXPORT(PickUnitSpan);
HWY_EXPORT(PickUnitBatch);

SpanFn GLIDE_UNIT_SPAN(SimdLevel level, const SpanKey& key) {
  return CallForLevel(HWY_DISPATCH_TABLE(PickUnitSpan), level, key);
}

BatchFn GLIDE_UNIT_BATCH(SimdLevel level, const SpanKey& key) {
  return CallForLevel(HWY_DISPATCH_TABLE(PickUnitBatch), level, key);
}

}  // namespace glide
#endif  // HWY_ONCE
