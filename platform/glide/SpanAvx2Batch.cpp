// Small triangles in one pass. A small triangle has about ten rows of a few pixels each; shading
// them row by row leaves most of every eight-lane block idle and pays a row's set-up ten times.
// Here all the triangle's pixels are packed into one list across rows and shaded sixteen lanes
// at a time, each lane carrying its own column and row: perspective, texture, colour iterators,
// combine, chroma key and alpha test, into 16-bit arrays. A second pass then goes row by row
// over the packed results with sixteen-lane loads of the destination: depth test, blending,
// dithering, and the colour and depth writes.
//
// Every lane computes what the row paths compute for its pixel, with the same float operations
// in the same order (the agreement tests hold the two to it bit for bit). Colour iterators are
// evaluated in 32-bit lanes, exact when the triangle's values all fit 32 bits, which one check
// at the corners of its bounding box decides (the iterators are linear); otherwise, or for more
// pixels than the pack holds, the caller draws the rows one by one.
#include "SpanAvx2Batch.h"

#if GLIDE_X86

namespace glide {

BatchFn PickBatchAvx2(const SpanKey& key) {
  switch (key.tex) {
    case Tex::kLut8: return PickBatchAvx2Lut8(key);
    case Tex::k565: return PickBatchAvx2Rgb565(key);
    case Tex::k4444: return PickBatchAvx2Argb4444(key);
    default: return nullptr;
  }
}

RowsWriteFn PickRowsWriteAvx2(const WriteKey& key, int depth) {
  return ForWriteKey(key, [depth](auto blend, auto dither, auto subtract) -> RowsWriteFn {
    return ForDepth(depth, [=](auto d) -> RowsWriteFn { return RowsWriteAvx2<blend, dither, subtract, d>; });
  });
}

}  // namespace glide

#endif
