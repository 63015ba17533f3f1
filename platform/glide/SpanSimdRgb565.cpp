// The row span and batch shading instances for RGB565 textures at every SIMD level
// (SpanFormatUnit-inl.h): one unit per texture format, so that the instances build in parallel.
#define GLIDE_UNIT_TEX Tex::k565
#define GLIDE_UNIT_SPAN PickSpanSimdRgb565
#define GLIDE_UNIT_BATCH PickBatchSimdRgb565
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "SpanSimdRgb565.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include "SpanFormatUnit-inl.h"
