// The AVX2 row span and batch shading instances for 8-bit formats (through their expanded copies) textures: one unit per
// texture format, so that the instances build in parallel.
#include "SpanAvx2Batch.h"
#include "SpanAvx2Row.h"

#if GLIDE_X86

namespace glide {

SpanFn PickSpanAvx2Lut8(const SpanKey& key) { return PickSpanAvx2For<Tex::kLut8>(key); }
BatchFn PickBatchAvx2Lut8(const SpanKey& key) { return PickBatchAvx2For<Tex::kLut8>(key); }

}  // namespace glide

#endif
