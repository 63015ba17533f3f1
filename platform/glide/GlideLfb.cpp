// The published functions of the Glide reference's linear frame buffer chapter: reading and
// writing regions of the buffers, and direct access to them.
#include "GlideApi.h"

using glide::ApiCall;
using glide::Guard;
using glide::TheContext;

extern "C" {

FxBool grLfbReadRegion(GrBuffer_t src_buffer, FxU32 src_x, FxU32 src_y, FxU32 src_width, FxU32 src_height,
                       FxU32 dst_stride, void* dst_data) {
  return Guard(__func__, [&](const ApiCall&) -> FxBool {
    return TheContext().LfbReadRegion(src_buffer, src_x, src_y, src_width, src_height, dst_stride, dst_data)
               ? FXTRUE
               : FXFALSE;
  });
}

FxBool grLfbWriteRegion(GrBuffer_t dst_buffer, FxU32 dst_x, FxU32 dst_y, GrLfbSrcFmt_t src_format, FxU32 src_width,
                        FxU32 src_height, FxI32 src_stride, void* src_data) {
  return Guard(__func__, [&](const ApiCall&) -> FxBool {
    return TheContext().LfbWriteRegion(dst_buffer, dst_x, dst_y, src_format, src_width, src_height, src_stride,
                                       src_data)
               ? FXTRUE
               : FXFALSE;
  });
}

FxBool grLfbLock(GrLock_t type, GrBuffer_t buffer, GrLfbWriteMode_t writeMode, GrOriginLocation_t origin,
                 FxBool pixelPipeline, GrLfbInfo_t* info) {
  return Guard(__func__, [&](const ApiCall& call) -> FxBool {
    if (info == nullptr) {
      call.Refuse("null info");
      return FXFALSE;
    }
    if ((writeMode != GR_LFBWRITEMODE_565 && writeMode != GR_LFBWRITEMODE_ANY) ||
        (origin != GR_ORIGIN_UPPER_LEFT && origin != GR_ORIGIN_ANY) || pixelPipeline) {
      call.Refuse("only raw RGB565 access with the upper-left origin is supported");
      return FXFALSE;
    }
    return TheContext().LfbLock(type, buffer, *info) ? FXTRUE : FXFALSE;
  });
}

FxBool grLfbUnlock(GrLock_t type, GrBuffer_t buffer) {
  return Guard(__func__, [&](const ApiCall&) -> FxBool { return TheContext().LfbUnlock(type, buffer) ? FXTRUE : FXFALSE; });
}

}  // extern "C"
