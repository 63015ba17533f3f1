// The AVX2 row span and batch shading instances for ARGB4444 textures: one unit per
// texture format, so that the instances build in parallel.
#include "SpanAvx2Batch.h"
#include "SpanAvx2Row.h"

#if GLIDE_X86

namespace glide {

SpanFn PickSpanAvx2Argb4444(const SpanKey& key) { return PickSpanAvx2For<Tex::k4444>(key); }
BatchFn PickBatchAvx2Argb4444(const SpanKey& key) { return PickBatchAvx2For<Tex::k4444>(key); }

}  // namespace glide

#endif
