// The published Glide 2.x functions: each checks its arguments and forwards to the context.
// No exception leaves a published function: every one that does more than return a constant
// runs inside Guard (allocation failure is reported and the call does nothing).
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <utility>

#include "Context.h"
#include "Presentation.h"
#include "glide.h"

using glide::Context;
using glide::Misuse;
using glide::TheContext;

namespace {

// Runs the body of the published function `name`. An exception (only allocation can fail) is
// reported the first time it leaves that function, later ones silently; the call then does
// nothing more and returns its type's default (FXFALSE, 0). Every step in the context either
// completes or leaves its state marked for rebuilding, so the next call starts from a
// consistent state.
template <class F>
auto Guard(const char* name, F&& body) -> decltype(body()) {
  static bool reported = false;  // one flag per published function: each passes its own lambda
  try {
    return body();
  } catch (const std::exception& e) {
    if (!std::exchange(reported, true)) Misuse("%s failed: %s", name, e.what());
  } catch (...) {
    if (!std::exchange(reported, true)) Misuse("%s failed", name);
  }
  return decltype(body())();
}

bool ValidTmu(const char* name, GrChipID_t tmu) {
  if (tmu == GR_TMU0) return true;
  Misuse("%s: this board has TMU 0 only (got %d)", name, tmu);
  return false;
}

bool ValidCompare(const char* name, GrCmpFnc_t f) {
  if (f >= GR_CMP_NEVER && f <= GR_CMP_ALWAYS) return true;
  Misuse("%s: unknown compare function %d", name, f);
  return false;
}

bool ValidCombine(const char* name, GrCombineFunction_t function, GrCombineFactor_t factor) {
  const bool functionOk = (function >= 0 && function <= 9) || function == 0x10;
  const bool factorOk = factor >= 0 && factor <= 0xd && factor != 6 && factor != 7;
  if (functionOk && factorOk) return true;
  Misuse("%s: unknown combine function %d or factor %d", name, function, factor);
  return false;
}

bool ValidBlend(GrAlphaBlendFnc_t f) { return (f >= 0 && f <= 7) || f == 0xf; }

bool ValidTexInfo(const char* name, const GrTexInfo* info) {
  if (info != nullptr) return true;
  Misuse("%s: no GrTexInfo", name);
  return false;
}

bool ValidVertices(const char* name, const void* a, const void* b = "", const void* c = "") {
  if (a != nullptr && b != nullptr && c != nullptr) return true;
  Misuse("%s: null vertex", name);
  return false;
}

}  // namespace

extern "C" {

// ---- Life cycle ------------------------------------------------------------------------------

void grGlideInit(void) {
  Guard("grGlideInit", [] { TheContext().Init(); });
}

void grGlideShutdown(void) {
  Guard("grGlideShutdown", [] { TheContext().Shutdown(); });
}

void grGlideGetVersion(char version[80]) {
  Guard("grGlideGetVersion", [&] {
    if (version != nullptr) std::snprintf(version, 80, "Glide Version 2.46 (software)");
  });
}

void grGlideGetState(GrState* state) {
  Guard("grGlideGetState", [&] {
    if (state == nullptr) return Misuse("grGlideGetState: null state");
    TheContext().SaveState(*state);
  });
}

void grGlideSetState(const GrState* state) {
  Guard("grGlideSetState", [&] {
    if (state == nullptr) return Misuse("grGlideSetState: null state");
    TheContext().RestoreState(*state);
  });
}

FxBool grSstQueryHardware(GrHwConfiguration* hwconfig) {
  return Guard("grSstQueryHardware", [&]() -> FxBool {
    if (hwconfig == nullptr) {
      Misuse("grSstQueryHardware: null configuration");
      return FXFALSE;
    }
    TheContext().FillHardwareConfig(*hwconfig);
    return FXTRUE;
  });
}

FxBool grSstQueryBoards(GrHwConfiguration* hwconfig) {
  return Guard("grSstQueryBoards", [&]() -> FxBool {
    if (hwconfig == nullptr) return FXFALSE;
    std::memset(hwconfig, 0, sizeof *hwconfig);
    hwconfig->num_sst = 1;
    return FXTRUE;
  });
}

void grSstSelect(int which_sst) {
  Guard("grSstSelect", [&] {
    if (which_sst != 0) Misuse("grSstSelect: only board 0 exists (got %d)", which_sst);
  });
}

FxBool grSstWinOpen(FxU32 hWnd, GrScreenResolution_t screen_resolution,
                    GrScreenRefresh_t refresh_rate, GrColorFormat_t color_format,
                    GrOriginLocation_t origin_location, int nColBuffers, int nAuxBuffers) {
  (void)hWnd;
  (void)refresh_rate;  // the presenter paces by SST_SCREENREFRESH
  return Guard("grSstWinOpen", [&] {
    return TheContext().WinOpen(screen_resolution, color_format, origin_location, nColBuffers,
                                nAuxBuffers) ? FXTRUE : FXFALSE;
  });
}

void grSstWinClose(void) {
  Guard("grSstWinClose", [] { TheContext().WinClose(); });
}

FxBool grSstControl(FxU32 code) {
  (void)code;
  return FXTRUE;
}

void grSstIdle(void) {}
FxBool grSstIsBusy(void) { return FXFALSE; }
FxU32 grSstScreenWidth(void) { return Context::kWidth; }
FxU32 grSstScreenHeight(void) { return Context::kHeight; }

void grSstOrigin(GrOriginLocation_t origin) {
  Guard("grSstOrigin", [&] {
    if (origin != GR_ORIGIN_UPPER_LEFT && origin != GR_ORIGIN_LOWER_LEFT) {
      return Misuse("grSstOrigin: unknown origin %d", origin);
    }
    TheContext().SetOrigin(origin);
  });
}

void grErrorSetCallback(GrErrorCallbackFnc_t function) {
  Guard("grErrorSetCallback", [&] { glide::SetErrorCallback(function); });
}

void grTriStats(FxU32* trisProcessed, FxU32* trisDrawn) {
  Guard("grTriStats", [&] {
    FxU32 processed, drawn;
    TheContext().TriStats(processed, drawn);
    if (trisProcessed) *trisProcessed = processed;
    if (trisDrawn) *trisDrawn = drawn;
  });
}

void grResetTriStats(void) {
  Guard("grResetTriStats", [&] { TheContext().ResetTriStats(); });
}

void grHints(GrHint_t hintType, FxU32 hintMask) {
  Guard("grHints", [&] {
    if (hintType == GR_HINT_STWHINT && (hintMask & ~GR_STWHINT_W_DIFF_FBI) != 0) {
      Misuse("grHints: separate TMU W or S/T per vertex is not supported (mask 0x%X)", hintMask);
    }
  });
}

// ---- Buffers -------------------------------------------------------------------------------

void grBufferClear(GrColor_t color, GrAlpha_t alpha, FxU16 depth) {
  Guard("grBufferClear", [&] { TheContext().BufferClear(color, alpha, depth); });
}

void grBufferSwap(int swap_interval) {
  if (swap_interval < 0) swap_interval = 0;
  Guard("grBufferSwap", [&] { TheContext().BufferSwap(swap_interval); });
}

// Swaps complete inside grBufferSwap (the presenter waits for the retrace there), so none is
// ever pending when the program asks.
int grBufferNumPending(void) { return 0; }

void grRenderBuffer(GrBuffer_t buffer) {
  Guard("grRenderBuffer", [&] { TheContext().RenderBuffer(buffer); });
}

FxBool grLfbReadRegion(GrBuffer_t src_buffer, FxU32 src_x, FxU32 src_y, FxU32 src_width,
                       FxU32 src_height, FxU32 dst_stride, void* dst_data) {
  return Guard("grLfbReadRegion", [&]() -> FxBool {
    return TheContext().LfbReadRegion(src_buffer, src_x, src_y, src_width, src_height, dst_stride,
                                      dst_data) ? FXTRUE : FXFALSE;
  });
}

FxBool grLfbWriteRegion(GrBuffer_t dst_buffer, FxU32 dst_x, FxU32 dst_y, GrLfbSrcFmt_t src_format,
                        FxU32 src_width, FxU32 src_height, FxI32 src_stride, void* src_data) {
  return Guard("grLfbWriteRegion", [&]() -> FxBool {
    return TheContext().LfbWriteRegion(dst_buffer, dst_x, dst_y, src_format, src_width,
                                       src_height, src_stride, src_data) ? FXTRUE : FXFALSE;
  });
}

FxBool grLfbLock(GrLock_t type, GrBuffer_t buffer, GrLfbWriteMode_t writeMode,
                 GrOriginLocation_t origin, FxBool pixelPipeline, GrLfbInfo_t* info) {
  return Guard("grLfbLock", [&]() -> FxBool {
    if (info == nullptr) {
      Misuse("grLfbLock: null info");
      return FXFALSE;
    }
    if ((writeMode != GR_LFBWRITEMODE_565 && writeMode != GR_LFBWRITEMODE_ANY) ||
        (origin != GR_ORIGIN_UPPER_LEFT && origin != GR_ORIGIN_ANY) || pixelPipeline) {
      Misuse("grLfbLock: only raw RGB565 access with the upper-left origin is supported");
      return FXFALSE;
    }
    return TheContext().LfbLock(type, buffer, *info) ? FXTRUE : FXFALSE;
  });
}

FxBool grLfbUnlock(GrLock_t type, GrBuffer_t buffer) {
  (void)type;
  (void)buffer;
  return FXTRUE;
}

// ---- Drawing -------------------------------------------------------------------------------

void grDrawTriangle(const GrVertex* a, const GrVertex* b, const GrVertex* c) {
  Guard("grDrawTriangle", [&] {
    if (!ValidVertices("grDrawTriangle", a, b, c)) return;
    TheContext().DrawTriangle(*a, *b, *c);
  });
}

void grDrawPoint(const GrVertex* pt) {
  Guard("grDrawPoint", [&] {
    if (!ValidVertices("grDrawPoint", pt)) return;
    TheContext().DrawPoint(*pt);
  });
}

void grDrawPolygon(int nverts, const int ilist[], const GrVertex vlist[]) {
  Guard("grDrawPolygon", [&] {
    if (nverts < 3) return;
    if (!ValidVertices("grDrawPolygon", ilist, vlist)) return;
    TheContext().DrawPolygon(nverts, vlist, ilist, false);
  });
}

void grDrawPlanarPolygon(int nverts, const int ilist[], const GrVertex vlist[]) {
  Guard("grDrawPlanarPolygon", [&] {
    if (nverts < 3) return;
    if (!ValidVertices("grDrawPlanarPolygon", ilist, vlist)) return;
    TheContext().DrawPolygon(nverts, vlist, ilist, true);
  });
}

void grDrawPolygonVertexList(int nverts, const GrVertex vlist[]) {
  Guard("grDrawPolygonVertexList", [&] {
    if (nverts < 3) return;
    if (!ValidVertices("grDrawPolygonVertexList", vlist)) return;
    TheContext().DrawPolygon(nverts, vlist, nullptr, false);
  });
}

void grDrawPlanarPolygonVertexList(int nverts, const GrVertex vlist[]) {
  Guard("grDrawPlanarPolygonVertexList", [&] {
    if (nverts < 3) return;
    if (!ValidVertices("grDrawPlanarPolygonVertexList", vlist)) return;
    TheContext().DrawPolygon(nverts, vlist, nullptr, true);
  });
}

void guDrawTriangleWithClip(const GrVertex* a, const GrVertex* b, const GrVertex* c) {
  if (!ValidVertices("guDrawTriangleWithClip", a, b, c)) return;
  Guard("guDrawTriangleWithClip", [&] { TheContext().DrawTriangleWithClip(*a, *b, *c); });
}

void guDrawPolygonVertexListWithClip(int nverts, const GrVertex vlist[]) {
  if (nverts < 3) return;
  if (!ValidVertices("guDrawPolygonVertexListWithClip", vlist)) return;
  Guard("guDrawPolygonVertexListWithClip",
        [&] { TheContext().DrawPolygonWithClip(nverts, vlist); });
}

// ---- Render state --------------------------------------------------------------------------

void grClipWindow(FxU32 minx, FxU32 miny, FxU32 maxx, FxU32 maxy) {
  Guard("grClipWindow", [&] { TheContext().SetClipWindow(minx, miny, maxx, maxy); });
}

void grCullMode(GrCullMode_t mode) {
  Guard("grCullMode", [&] {
    if (mode < GR_CULL_DISABLE || mode > GR_CULL_POSITIVE) {
      return Misuse("grCullMode: unknown mode %d", mode);
    }
    TheContext().SetCullMode(mode);
  });
}

void grColorCombine(GrCombineFunction_t function, GrCombineFactor_t factor,
                    GrCombineLocal_t local, GrCombineOther_t other, FxBool invert) {
  Guard("grColorCombine", [&] {
    if (!ValidCombine("grColorCombine", function, factor)) return;
    if (local < 0 || local > GR_COMBINE_LOCAL_CONSTANT || other < 0 ||
        other > GR_COMBINE_OTHER_CONSTANT) {
      return Misuse("grColorCombine: unknown local %d or other %d", local, other);
    }
    TheContext().SetColorCombine(function, factor, local, other, invert != FXFALSE);
  });
}

void grAlphaCombine(GrCombineFunction_t function, GrCombineFactor_t factor,
                    GrCombineLocal_t local, GrCombineOther_t other, FxBool invert) {
  Guard("grAlphaCombine", [&] {
    if (!ValidCombine("grAlphaCombine", function, factor)) return;
    if (local < 0 || local > GR_COMBINE_LOCAL_DEPTH || other < 0 ||
        other > GR_COMBINE_OTHER_CONSTANT) {
      return Misuse("grAlphaCombine: unknown local %d or other %d", local, other);
    }
    TheContext().SetAlphaCombine(function, factor, local, other, invert != FXFALSE);
  });
}

void grTexCombine(GrChipID_t tmu, GrCombineFunction_t rgb_function, GrCombineFactor_t rgb_factor,
                  GrCombineFunction_t alpha_function, GrCombineFactor_t alpha_factor,
                  FxBool rgb_invert, FxBool alpha_invert) {
  Guard("grTexCombine", [&] {
    if (!ValidTmu("grTexCombine", tmu) || !ValidCombine("grTexCombine", rgb_function, rgb_factor) ||
        !ValidCombine("grTexCombine", alpha_function, alpha_factor)) {
      return;
    }
    TheContext().SetTexCombine(rgb_function, rgb_factor, alpha_function, alpha_factor,
                               rgb_invert != FXFALSE, alpha_invert != FXFALSE);
  });
}

void grConstantColorValue(GrColor_t value) {
  Guard("grConstantColorValue", [&] {
    Context& c = TheContext();
    const uint32_t argb = c.ToArgb(value);
    c.State().color0 = argb;
    c.State().color1 = argb;
  });
}

void grConstantColorValue4(float a, float r, float g, float b) {
  Guard("grConstantColorValue4", [&] {
    auto channel = [](float v) {
      return static_cast<uint32_t>(std::isfinite(v) ? std::fmin(std::fmax(v, 0.0f), 255.0f) : 0.0f);
    };
    const uint32_t argb = channel(a) << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
    TheContext().State().color0 = argb;
    TheContext().State().color1 = argb;
  });
}

void grAlphaBlendFunction(GrAlphaBlendFnc_t rgb_sf, GrAlphaBlendFnc_t rgb_df,
                          GrAlphaBlendFnc_t alpha_sf, GrAlphaBlendFnc_t alpha_df) {
  Guard("grAlphaBlendFunction", [&] {
    if (!ValidBlend(rgb_sf) || !ValidBlend(rgb_df) || !ValidBlend(alpha_sf) ||
        !ValidBlend(alpha_df)) {
      return Misuse("grAlphaBlendFunction: unknown factor in (%d, %d, %d, %d)", rgb_sf, rgb_df,
                    alpha_sf, alpha_df);
    }
    TheContext().SetAlphaBlend(rgb_sf, rgb_df, alpha_sf, alpha_df);
  });
}

void grAlphaTestFunction(GrCmpFnc_t function) {
  Guard("grAlphaTestFunction", [&] {
    if (!ValidCompare("grAlphaTestFunction", function)) return;
    TheContext().State().alphaTestFunc = static_cast<glide::CompareFunc>(function);
  });
}

void grAlphaTestReferenceValue(GrAlpha_t value) {
  Guard("grAlphaTestReferenceValue", [&] { TheContext().State().alphaRef = value; });
}

void grChromakeyMode(GrChromakeyMode_t mode) {
  Guard("grChromakeyMode", [&] {
    TheContext().State().chromaKey = mode == GR_CHROMAKEY_ENABLE ? 1 : 0;
  });
}

void grChromakeyValue(GrColor_t value) {
  Guard("grChromakeyValue", [&] {
    Context& c = TheContext();
    c.State().chromaValue = c.ToArgb(value) & 0xFFFFFF;
  });
}

void grColorMask(FxBool rgb, FxBool a) {
  Guard("grColorMask", [&] {
    TheContext().State().rgbMask = rgb ? 1 : 0;
    TheContext().State().alphaMask = a ? 1 : 0;
  });
}

void grDepthBufferMode(GrDepthBufferMode_t mode) {
  Guard("grDepthBufferMode", [&] {
    if (mode < GR_DEPTHBUFFER_DISABLE || mode > GR_DEPTHBUFFER_WBUFFER_COMPARE_TO_BIAS) {
      return Misuse("grDepthBufferMode: unknown mode %d", mode);
    }
    TheContext().State().depthMode = static_cast<glide::DepthMode>(mode);
  });
}

void grDepthBufferFunction(GrCmpFnc_t function) {
  Guard("grDepthBufferFunction", [&] {
    if (!ValidCompare("grDepthBufferFunction", function)) return;
    TheContext().State().depthFunc = static_cast<glide::CompareFunc>(function);
  });
}

void grDepthMask(FxBool mask) {
  Guard("grDepthMask", [&] { TheContext().State().depthMask = mask ? 1 : 0; });
}

void grDepthBiasLevel(FxI16 level) {
  Guard("grDepthBiasLevel", [&] { TheContext().State().depthBias = level; });
}

void grDitherMode(GrDitherMode_t mode) {
  Guard("grDitherMode", [&] {
    if (mode < GR_DITHER_DISABLE || mode > GR_DITHER_4x4) {
      return Misuse("grDitherMode: unknown mode %d", mode);
    }
    TheContext().SetDitherMode(mode);
  });
}

void grDisableAllEffects(void) {
  Guard("grDisableAllEffects", [&] {
    Context& c = TheContext();
    c.SetAlphaBlend(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
    c.State().alphaTestFunc = glide::CompareFunc::kAlways;
    c.State().chromaKey = 0;
    c.State().depthMode = glide::DepthMode::kDisable;
  });
}

void grFogMode(GrFogMode_t mode) {
  Guard("grFogMode", [&] {
    if (mode != GR_FOG_DISABLE) Misuse("grFogMode: fog is not supported; drawing without it");
  });
}

void grFogColorValue(GrColor_t fogcolor) { (void)fogcolor; }

void grFogTable(const GrFog_t ft[GR_FOG_TABLE_SIZE]) { (void)ft; }

void grGammaCorrectionValue(float value) {
  Guard("grGammaCorrectionValue", [&] {
    if (!(value > 0.0f) || !std::isfinite(value)) {
      return Misuse("grGammaCorrectionValue: %g is not a positive gamma", static_cast<double>(value));
    }
    glide::SetPresentationGamma(value);
  });
}

// ---- Texture mapping -----------------------------------------------------------------------

FxU32 grTexMinAddress(GrChipID_t tmu) {
  return Guard("grTexMinAddress", [&]() -> FxU32 {
    ValidTmu("grTexMinAddress", tmu);
    return 0;
  });
}

FxU32 grTexMaxAddress(GrChipID_t tmu) {
  return Guard("grTexMaxAddress", [&]() -> FxU32 {
    ValidTmu("grTexMaxAddress", tmu);
    return TheContext().TexMaxAddress();
  });
}

FxU32 grTexCalcMemRequired(GrLOD_t lodmin, GrLOD_t lodmax, GrAspectRatio_t aspect,
                           GrTextureFormat_t fmt) {
  return Guard("grTexCalcMemRequired", [&]() -> FxU32 {
    if (!glide::IsValidLod(lodmin) || !glide::IsValidLod(lodmax) || lodmin < lodmax ||
        !glide::IsValidAspect(aspect) || !glide::IsValidFormat(fmt)) {
      Misuse("grTexCalcMemRequired: invalid LOD range, aspect or format");
      return 0;
    }
    return glide::MemRequired(lodmin, lodmax, aspect, fmt, GR_MIPMAPLEVELMASK_BOTH);
  });
}

FxU32 grTexTextureMemRequired(FxU32 evenOdd, GrTexInfo* info) {
  return Guard("grTexTextureMemRequired", [&]() -> FxU32 {
    if (!ValidTexInfo("grTexTextureMemRequired", info)) return 0;
    if (!glide::IsValidLod(info->smallLod) || !glide::IsValidLod(info->largeLod) ||
        info->smallLod < info->largeLod || !glide::IsValidAspect(info->aspectRatio) ||
        !glide::IsValidFormat(info->format) || (evenOdd & 3) == 0) {
      Misuse("grTexTextureMemRequired: invalid texture description");
      return 0;
    }
    return glide::MemRequired(info->smallLod, info->largeLod, info->aspectRatio, info->format,
                              evenOdd);
  });
}

void grTexSource(GrChipID_t tmu, FxU32 startAddress, FxU32 evenOdd, GrTexInfo* info) {
  Guard("grTexSource", [&] {
    if (!ValidTmu("grTexSource", tmu) || !ValidTexInfo("grTexSource", info)) return;
    TheContext().TexSource(startAddress, evenOdd, *info);
  });
}

void grTexDownloadMipMap(GrChipID_t tmu, FxU32 startAddress, FxU32 evenOdd, GrTexInfo* info) {
  Guard("grTexDownloadMipMap", [&] {
    if (!ValidTmu("grTexDownloadMipMap", tmu) || !ValidTexInfo("grTexDownloadMipMap", info)) {
      return;
    }
    TheContext().TexDownloadMipMap(startAddress, evenOdd, *info);
  });
}

void grTexDownloadMipMapLevel(GrChipID_t tmu, FxU32 startAddress, GrLOD_t thisLod,
                              GrLOD_t largeLod, GrAspectRatio_t aspectRatio,
                              GrTextureFormat_t format, FxU32 evenOdd, void* data) {
  Guard("grTexDownloadMipMapLevel", [&] {
    if (!ValidTmu("grTexDownloadMipMapLevel", tmu)) return;
    const int rows = glide::IsValidLod(thisLod) && glide::IsValidAspect(aspectRatio)
                         ? glide::LevelShape(thisLod, aspectRatio).height
                         : 1;
    TheContext().TexDownloadLevel(startAddress, thisLod, largeLod, aspectRatio, format, evenOdd,
                                  data, 0, rows - 1);
  });
}

void grTexDownloadMipMapLevelPartial(GrChipID_t tmu, FxU32 startAddress, GrLOD_t thisLod,
                                     GrLOD_t largeLod, GrAspectRatio_t aspectRatio,
                                     GrTextureFormat_t format, FxU32 evenOdd, void* data,
                                     int start, int end) {
  Guard("grTexDownloadMipMapLevelPartial", [&] {
    if (!ValidTmu("grTexDownloadMipMapLevelPartial", tmu)) return;
    TheContext().TexDownloadLevel(startAddress, thisLod, largeLod, aspectRatio, format, evenOdd,
                                  data, start, end);
  });
}

void grTexDownloadTable(GrChipID_t tmu, GrTexTable_t type, void* data) {
  Guard("grTexDownloadTable", [&] { grTexDownloadTablePartial(tmu, type, data, 0, 255); });
}

void grTexDownloadTablePartial(GrChipID_t tmu, GrTexTable_t type, void* data, int start,
                               int end) {
  Guard("grTexDownloadTablePartial", [&] {
    if (!ValidTmu("grTexDownloadTable", tmu)) return;
    if (type != GR_TEXTABLE_PALETTE) {
      return Misuse("grTexDownloadTable: only GR_TEXTABLE_PALETTE is supported (got %u)", type);
    }
    if (data == nullptr || start < 0 || end > 255 || start > end) {
      return Misuse("grTexDownloadTable: no data or entries %d..%d outside 0..255", start, end);
    }
    TheContext().TexDownloadPalette(data, start, end);
  });
}

void grTexClampMode(GrChipID_t tmu, GrTextureClampMode_t s_clampmode,
                    GrTextureClampMode_t t_clampmode) {
  Guard("grTexClampMode", [&] {
    if (!ValidTmu("grTexClampMode", tmu)) return;
    TheContext().State().clampS = s_clampmode == GR_TEXTURECLAMP_CLAMP ? 1 : 0;
    TheContext().State().clampT = t_clampmode == GR_TEXTURECLAMP_CLAMP ? 1 : 0;
  });
}

void grTexFilterMode(GrChipID_t tmu, GrTextureFilterMode_t minfilter_mode,
                     GrTextureFilterMode_t magfilter_mode) {
  Guard("grTexFilterMode", [&] {
    if (!ValidTmu("grTexFilterMode", tmu)) return;
    // Mipmapping is off, so the LOD always sits at its minimum and the board uses the
    // magnification filter.
    (void)minfilter_mode;
    TheContext().State().bilinear = magfilter_mode == GR_TEXTUREFILTER_BILINEAR ? 1 : 0;
  });
}

void grTexMipMapMode(GrChipID_t tmu, GrMipMapMode_t mode, FxBool lodBlend) {
  Guard("grTexMipMapMode", [&] {
    // Accepted; every texture of this layer has a single level, so the largest level is read.
    (void)lodBlend;
    if (!ValidTmu("grTexMipMapMode", tmu)) return;
    if (mode < GR_MIPMAP_DISABLE || mode > GR_MIPMAP_NEAREST_DITHER) {
      Misuse("grTexMipMapMode: unknown mode %d", mode);
    }
  });
}

void grTexLodBiasValue(GrChipID_t tmu, float bias) {
  Guard("grTexLodBiasValue", [&] {
    (void)bias;  // no effect while the LOD is pinned to the largest level
    ValidTmu("grTexLodBiasValue", tmu);
  });
}

void grTexDetailControl(GrChipID_t tmu, int lod_bias, FxU8 detail_scale, float detail_max) {
  Guard("grTexDetailControl", [&] {
    (void)lod_bias;
    (void)detail_scale;
    (void)detail_max;
    ValidTmu("grTexDetailControl", tmu);
  });
}

void grTexCombineFunction(GrChipID_t tmu, GrTextureCombineFnc_t fnc) {
  Guard("grTexCombineFunction", [&] { guTexCombineFunction(tmu, fnc); });
}

// ---- Utility combine modes (Glide's gu.c / digutex.c expansions) -----------------------------

void guColorCombineFunction(GrColorCombineFnc_t fnc) {
  Guard("guColorCombineFunction", [&] {
    struct Row { int function, factor, local, other, invert; };
    static const Row kRows[] = {
        {GR_COMBINE_FUNCTION_ZERO, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_NONE, GR_COMBINE_OTHER_NONE, 0},                           // ZERO
        {GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_CONSTANT, GR_COMBINE_OTHER_NONE, 0},                      // CCRGB
        {GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_NONE, 0},                      // ITRGB
        {GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_NONE, 0},                      // ITRGB_DELTA0
        {GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, GR_COMBINE_LOCAL_NONE, GR_COMBINE_OTHER_TEXTURE, 0},                  // DECAL_TEXTURE
        {GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_CONSTANT, GR_COMBINE_OTHER_TEXTURE, 0},            // TEXTURE_TIMES_CCRGB
        {GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, 0},            // TEXTURE_TIMES_ITRGB
        {GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, 0},            // ..._DELTA0
        {GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL_ALPHA, GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, 0},  // ..._ADD_ALPHA
        {GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL_ALPHA, GR_COMBINE_LOCAL_NONE, GR_COMBINE_OTHER_TEXTURE, 0},          // TEXTURE_TIMES_ALPHA
        {GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL_ALPHA, GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, 0},  // ..._ALPHA_ADD_ITRGB
        {GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_ONE, GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, 0},    // TEXTURE_ADD_ITRGB
        {GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL, GR_COMBINE_FACTOR_ONE, GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, 0},  // TEXTURE_SUB_ITRGB
        {GR_COMBINE_FUNCTION_BLEND, GR_COMBINE_FACTOR_TEXTURE_ALPHA, GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_CONSTANT, 0},          // CCRGB_BLEND_ITRGB_ON_TEXALPHA
        {GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, 0},  // DIFF_SPEC_A
        {GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL_ALPHA, GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, 0},  // DIFF_SPEC_B
        {GR_COMBINE_FUNCTION_ZERO, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_NONE, GR_COMBINE_OTHER_NONE, 1},                           // ONE
    };
    if (fnc < 0 || fnc > GR_COLORCOMBINE_ONE) {
      return Misuse("guColorCombineFunction: unknown function %d", fnc);
    }
    const Row& r = kRows[fnc];
    grColorCombine(r.function, r.factor, r.local, r.other, r.invert);
  });
}

void guAlphaSource(GrAlphaSource_t mode) {
  Guard("guAlphaSource", [&] {
    switch (mode) {
      case GR_ALPHASOURCE_CC_ALPHA:
        return grAlphaCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE,
                              GR_COMBINE_LOCAL_CONSTANT, GR_COMBINE_OTHER_NONE, FXFALSE);
      case GR_ALPHASOURCE_ITERATED_ALPHA:
        return grAlphaCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE,
                              GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_NONE, FXFALSE);
      case GR_ALPHASOURCE_TEXTURE_ALPHA:
        return grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                              GR_COMBINE_LOCAL_NONE, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
      case GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA:
        return grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                              GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
      default:
        return Misuse("guAlphaSource: unknown source %d", mode);
    }
  });
}

void guTexCombineFunction(GrChipID_t tmu, GrTextureCombineFnc_t fnc) {
  Guard("guTexCombineFunction", [&] {
    switch (fnc) {
      case GR_TEXTURECOMBINE_ZERO:
        return grTexCombine(tmu, GR_COMBINE_FUNCTION_ZERO, GR_COMBINE_FACTOR_NONE,
                            GR_COMBINE_FUNCTION_ZERO, GR_COMBINE_FACTOR_NONE, FXFALSE, FXFALSE);
      case GR_TEXTURECOMBINE_DECAL:
        return grTexCombine(tmu, GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE,
                            GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, FXFALSE, FXFALSE);
      case GR_TEXTURECOMBINE_OTHER:
        return grTexCombine(tmu, GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE,
                            GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, FXFALSE, FXFALSE);
      case GR_TEXTURECOMBINE_ADD:
        return grTexCombine(tmu, GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_ONE,
                            GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_ONE,
                            FXFALSE, FXFALSE);
      case GR_TEXTURECOMBINE_MULTIPLY:
        return grTexCombine(tmu, GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                            GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL, FXFALSE,
                            FXFALSE);
      case GR_TEXTURECOMBINE_SUBTRACT:
        return grTexCombine(tmu, GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL, GR_COMBINE_FACTOR_ONE,
                            GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL, GR_COMBINE_FACTOR_ONE,
                            FXFALSE, FXFALSE);
      case GR_TEXTURECOMBINE_ONE:
        return grTexCombine(tmu, GR_COMBINE_FUNCTION_ZERO, GR_COMBINE_FACTOR_NONE,
                            GR_COMBINE_FUNCTION_ZERO, GR_COMBINE_FACTOR_NONE, FXTRUE, FXTRUE);
      default:
        return Misuse("guTexCombineFunction: function %d needs a second TMU or detail texturing",
                      fnc);
    }
  });
}

}  // extern "C"
