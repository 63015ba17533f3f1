// The row span and batch shading instances for ARGB4444 textures at every SIMD level
// (SpanFormatUnit-inl.h): one unit per texture format, so that the instances build in parallel.
#define GLIDE_UNIT_TEX Tex::k4444
#define GLIDE_UNIT_SPAN PickSpanSimdArgb4444
#define GLIDE_UNIT_BATCH PickBatchSimdArgb4444
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "SpanSimdArgb4444.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include "SpanFormatUnit-inl.h"
