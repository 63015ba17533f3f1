// The row span and batch shading instances for 8-bit textures (read through their expansion
// table) at every SIMD level (SpanFormatUnit-inl.h): one unit per texture format, so that the
// instances build in parallel.
#define GLIDE_UNIT_TEX Tex::kLut8
#define GLIDE_UNIT_SPAN PickSpanSimdLut8
#define GLIDE_UNIT_BATCH PickBatchSimdLut8
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "SpanSimdLut8.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include "SpanFormatUnit-inl.h"
