// The published functions of the Glide reference's texture mapping chapter: texture memory,
// downloads of levels and palettes, the texture source, its filtering and clamping, and the
// texture combine unit with the utility library's modes.
#include "GlideApi.h"

using glide::ApiCall;
using glide::Guard;
using glide::TheContext;

namespace {

void DownloadTable(const ApiCall& call, GrChipID_t tmu, GrTexTable_t type, void* data, int start, int end) {
  if (!call.ValidTmu(tmu)) return;
  if (type != GR_TEXTABLE_PALETTE) return call.Refuse("only GR_TEXTABLE_PALETTE is supported (got %u)", type);
  if (data == nullptr || start < 0 || end > 255 || start > end) {
    return call.Refuse("no data or entries %d..%d outside 0..255", start, end);
  }
  TheContext().TexDownloadPalette(data, start, end);
}

// The texture combine modes of Glide's gu.c: TMU 0 is the only one, so the modes that need a
// second TMU or detail texturing are refused.
void TexCombineFunction(const ApiCall& call, GrChipID_t tmu, GrTextureCombineFnc_t fnc) {
  const auto both = [tmu](GrCombineFunction_t function, GrCombineFactor_t factor, FxBool invert) {
    grTexCombine(tmu, function, factor, function, factor, invert, invert);
  };
  switch (fnc) {
    case GR_TEXTURECOMBINE_ZERO: return both(GR_COMBINE_FUNCTION_ZERO, GR_COMBINE_FACTOR_NONE, FXFALSE);
    case GR_TEXTURECOMBINE_DECAL: return both(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, FXFALSE);
    case GR_TEXTURECOMBINE_OTHER: return both(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, FXFALSE);
    case GR_TEXTURECOMBINE_ADD: return both(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_ONE, FXFALSE);
    case GR_TEXTURECOMBINE_MULTIPLY: return both(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL, FXFALSE);
    case GR_TEXTURECOMBINE_SUBTRACT:
      return both(GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL, GR_COMBINE_FACTOR_ONE, FXFALSE);
    case GR_TEXTURECOMBINE_ONE: return both(GR_COMBINE_FUNCTION_ZERO, GR_COMBINE_FACTOR_NONE, FXTRUE);
    default: return call.Refuse("function %d needs a second TMU or detail texturing", fnc);
  }
}

}  // namespace

extern "C" {

// ---- Texture memory --------------------------------------------------------------------------

FxU32 grTexMinAddress(GrChipID_t tmu) {
  return Guard(__func__, [&](const ApiCall& call) -> FxU32 {
    call.ValidTmu(tmu);
    return 0;
  });
}

FxU32 grTexMaxAddress(GrChipID_t tmu) {
  return Guard(__func__, [&](const ApiCall& call) -> FxU32 {
    call.ValidTmu(tmu);
    return TheContext().TexMaxAddress();
  });
}

FxU32 grTexCalcMemRequired(GrLOD_t lodmin, GrLOD_t lodmax, GrAspectRatio_t aspect, GrTextureFormat_t fmt) {
  return Guard(__func__, [&](const ApiCall& call) -> FxU32 {
    if (!glide::IsValidLod(lodmin) || !glide::IsValidLod(lodmax) || lodmin < lodmax || !glide::IsValidAspect(aspect) ||
        !glide::IsValidFormat(fmt)) {
      call.Refuse("invalid LOD range, aspect or format");
      return 0;
    }
    return glide::MemRequired(lodmin, lodmax, aspect, fmt, GR_MIPMAPLEVELMASK_BOTH);
  });
}

FxU32 grTexTextureMemRequired(FxU32 evenOdd, GrTexInfo* info) {
  return Guard(__func__, [&](const ApiCall& call) -> FxU32 {
    if (!call.ValidTexInfo(info)) return 0;
    if (!glide::IsValidLod(info->smallLod) || !glide::IsValidLod(info->largeLod) || info->smallLod < info->largeLod ||
        !glide::IsValidAspect(info->aspectRatio) || !glide::IsValidFormat(info->format) || (evenOdd & 3) == 0) {
      call.Refuse("invalid texture description");
      return 0;
    }
    return glide::MemRequired(info->smallLod, info->largeLod, info->aspectRatio, info->format, evenOdd);
  });
}

// ---- Downloads and the texture source --------------------------------------------------------

void grTexSource(GrChipID_t tmu, FxU32 startAddress, FxU32 evenOdd, GrTexInfo* info) {
  Guard(__func__, [&](const ApiCall& call) {
    if (!call.ValidTmu(tmu) || !call.ValidTexInfo(info)) return;
    TheContext().TexSource(startAddress, evenOdd, *info);
  });
}

void grTexDownloadMipMap(GrChipID_t tmu, FxU32 startAddress, FxU32 evenOdd, GrTexInfo* info) {
  Guard(__func__, [&](const ApiCall& call) {
    if (!call.ValidTmu(tmu) || !call.ValidTexInfo(info)) return;
    TheContext().TexDownloadMipMap(startAddress, evenOdd, *info);
  });
}

void grTexDownloadMipMapLevel(GrChipID_t tmu, FxU32 startAddress, GrLOD_t thisLod, GrLOD_t largeLod,
                              GrAspectRatio_t aspectRatio, GrTextureFormat_t format, FxU32 evenOdd, void* data) {
  Guard(__func__, [&](const ApiCall& call) {
    if (!call.ValidTmu(tmu)) return;
    const int rows = glide::IsValidLod(thisLod) && glide::IsValidAspect(aspectRatio)
                         ? glide::LevelShape(thisLod, aspectRatio).height
                         : 1;
    TheContext().TexDownloadLevel(startAddress, thisLod, largeLod, aspectRatio, format, evenOdd, data, 0, rows - 1);
  });
}

void grTexDownloadMipMapLevelPartial(GrChipID_t tmu, FxU32 startAddress, GrLOD_t thisLod, GrLOD_t largeLod,
                                     GrAspectRatio_t aspectRatio, GrTextureFormat_t format, FxU32 evenOdd,
                                     void* data, int start, int end) {
  Guard(__func__, [&](const ApiCall& call) {
    if (!call.ValidTmu(tmu)) return;
    TheContext().TexDownloadLevel(startAddress, thisLod, largeLod, aspectRatio, format, evenOdd, data, start, end);
  });
}

void grTexDownloadTable(GrChipID_t tmu, GrTexTable_t type, void* data) {
  Guard(__func__, [&](const ApiCall& call) { DownloadTable(call, tmu, type, data, 0, 255); });
}

void grTexDownloadTablePartial(GrChipID_t tmu, GrTexTable_t type, void* data, int start, int end) {
  Guard(__func__, [&](const ApiCall& call) { DownloadTable(call, tmu, type, data, start, end); });
}

// ---- Sampling --------------------------------------------------------------------------------

void grTexClampMode(GrChipID_t tmu, GrTextureClampMode_t s_clampmode, GrTextureClampMode_t t_clampmode) {
  Guard(__func__, [&](const ApiCall& call) {
    if (!call.ValidTmu(tmu)) return;
    TheContext().SetTexClamp(s_clampmode == GR_TEXTURECLAMP_CLAMP, t_clampmode == GR_TEXTURECLAMP_CLAMP);
  });
}

void grTexFilterMode(GrChipID_t tmu, GrTextureFilterMode_t minfilter_mode, GrTextureFilterMode_t magfilter_mode) {
  Guard(__func__, [&](const ApiCall& call) {
    if (!call.ValidTmu(tmu)) return;
    // Mipmapping is off, so the LOD always sits at its minimum and the board uses the
    // magnification filter.
    (void)minfilter_mode;
    TheContext().SetTexFilter(magfilter_mode == GR_TEXTUREFILTER_BILINEAR);
  });
}

void grTexMipMapMode(GrChipID_t tmu, GrMipMapMode_t mode, FxBool lodBlend) {
  Guard(__func__, [&](const ApiCall& call) {
    // Accepted; every texture of this layer has a single level, so the largest level is read.
    (void)lodBlend;
    if (!call.ValidTmu(tmu)) return;
    if (mode < GR_MIPMAP_DISABLE || mode > GR_MIPMAP_NEAREST_DITHER) call.Refuse("unknown mode %d", mode);
  });
}

void grTexLodBiasValue(GrChipID_t tmu, float bias) {
  Guard(__func__, [&](const ApiCall& call) {
    (void)bias;  // no effect while the LOD is pinned to the largest level
    call.ValidTmu(tmu);
  });
}

void grTexDetailControl(GrChipID_t tmu, int lod_bias, FxU8 detail_scale, float detail_max) {
  Guard(__func__, [&](const ApiCall& call) {
    (void)lod_bias;
    (void)detail_scale;
    (void)detail_max;
    call.ValidTmu(tmu);
  });
}

// ---- The texture combine unit ----------------------------------------------------------------

void grTexCombine(GrChipID_t tmu, GrCombineFunction_t rgb_function, GrCombineFactor_t rgb_factor,
                  GrCombineFunction_t alpha_function, GrCombineFactor_t alpha_factor, FxBool rgb_invert,
                  FxBool alpha_invert) {
  Guard(__func__, [&](const ApiCall& call) {
    if (!call.ValidTmu(tmu) || !call.ValidCombine(rgb_function, rgb_factor) ||
        !call.ValidCombine(alpha_function, alpha_factor)) {
      return;
    }
    TheContext().SetTexCombine(rgb_function, rgb_factor, alpha_function, alpha_factor, rgb_invert != FXFALSE,
                               alpha_invert != FXFALSE);
  });
}

void guTexCombineFunction(GrChipID_t tmu, GrTextureCombineFnc_t fnc) {
  Guard(__func__, [&](const ApiCall& call) { TexCombineFunction(call, tmu, fnc); });
}

void grTexCombineFunction(GrChipID_t tmu, GrTextureCombineFnc_t fnc) {
  Guard(__func__, [&](const ApiCall& call) { TexCombineFunction(call, tmu, fnc); });
}

}  // extern "C"
