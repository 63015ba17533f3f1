// The published functions of the Glide reference's start-up and buffer chapters: the library's
// life cycle, the board and its window, and the colour buffers (clear, swap, the buffer drawn to).
#include <cstdio>
#include <cstring>

#include "GlideApi.h"

using glide::ApiCall;
using glide::Context;
using glide::Guard;
using glide::TheContext;

extern "C" {

// ---- Life cycle ------------------------------------------------------------------------------

void grGlideInit(void) {
  Guard(__func__, [](const ApiCall&) { TheContext().Init(); });
}

void grGlideShutdown(void) {
  Guard(__func__, [](const ApiCall&) { TheContext().Shutdown(); });
}

void grGlideGetVersion(char version[80]) {
  Guard(__func__, [&](const ApiCall&) {
    if (version != nullptr) std::snprintf(version, 80, "Glide Version 2.46 (software)");
  });
}

void grErrorSetCallback(GrErrorCallbackFnc_t function) {
  Guard(__func__, [&](const ApiCall&) { glide::SetErrorCallback(function); });
}

// ---- The board -------------------------------------------------------------------------------

FxBool grSstQueryHardware(GrHwConfiguration* hwconfig) {
  return Guard(__func__, [&](const ApiCall& call) -> FxBool {
    if (hwconfig == nullptr) {
      call.Refuse("null configuration");
      return FXFALSE;
    }
    TheContext().FillHardwareConfig(*hwconfig);
    return FXTRUE;
  });
}

FxBool grSstQueryBoards(GrHwConfiguration* hwconfig) {
  return Guard(__func__, [&](const ApiCall&) -> FxBool {
    if (hwconfig == nullptr) return FXFALSE;
    std::memset(hwconfig, 0, sizeof *hwconfig);
    hwconfig->num_sst = 1;
    return FXTRUE;
  });
}

void grSstSelect(int which_sst) {
  Guard(__func__, [&](const ApiCall& call) {
    if (which_sst != 0) call.Refuse("only board 0 exists (got %d)", which_sst);
  });
}

FxBool grSstWinOpen(FxU32 hWnd, GrScreenResolution_t screen_resolution, GrScreenRefresh_t refresh_rate,
                    GrColorFormat_t color_format, GrOriginLocation_t origin_location, int nColBuffers,
                    int nAuxBuffers) {
  (void)hWnd;
  (void)refresh_rate;  // the presentation paces by SST_SCREENREFRESH
  return Guard(__func__, [&](const ApiCall&) -> FxBool {
    return TheContext().WinOpen(screen_resolution, color_format, origin_location, nColBuffers, nAuxBuffers)
               ? FXTRUE
               : FXFALSE;
  });
}

void grSstWinClose(void) {
  Guard(__func__, [](const ApiCall&) { TheContext().WinClose(); });
}

FxBool grSstControl(FxU32 code) {
  (void)code;
  return FXTRUE;
}

// Waits for the rasterizer's threads to draw everything queued, as the board's idle wait does.
void grSstIdle(void) {
  Guard(__func__, [](const ApiCall&) { TheContext().Flush(); });
}
FxBool grSstIsBusy(void) { return FXFALSE; }
FxU32 grSstScreenWidth(void) { return Context::kWidth; }
FxU32 grSstScreenHeight(void) { return Context::kHeight; }

void grSstOrigin(GrOriginLocation_t origin) {
  Guard(__func__, [&](const ApiCall& call) {
    if (origin != GR_ORIGIN_UPPER_LEFT && origin != GR_ORIGIN_LOWER_LEFT) {
      return call.Refuse("unknown origin %d", origin);
    }
    TheContext().SetOrigin(origin);
  });
}

// ---- Buffers ---------------------------------------------------------------------------------

void grBufferClear(GrColor_t color, GrAlpha_t alpha, FxU16 depth) {
  Guard(__func__, [&](const ApiCall&) { TheContext().BufferClear(color, alpha, depth); });
}

void grBufferSwap(int swap_interval) {
  Guard(__func__, [&](const ApiCall&) { TheContext().BufferSwap(swap_interval < 0 ? 0 : swap_interval); });
}

// Swaps complete inside grBufferSwap (the presentation waits for the retrace there), so none is
// ever pending when the program asks.
int grBufferNumPending(void) { return 0; }

void grRenderBuffer(GrBuffer_t buffer) {
  Guard(__func__, [&](const ApiCall&) { TheContext().RenderBuffer(buffer); });
}

}  // extern "C"
