// The AVX2 row span and batch shading instances for RGB565 textures: one unit per
// texture format, so that the instances build in parallel.
#include "SpanAvx2Batch.h"
#include "SpanAvx2Row.h"

#if GLIDE_X86

namespace glide {

SpanFn PickSpanAvx2Rgb565(const SpanKey& key) { return PickSpanAvx2For<Tex::k565>(key); }
BatchFn PickBatchAvx2Rgb565(const SpanKey& key) { return PickBatchAvx2For<Tex::k565>(key); }

}  // namespace glide

#endif
