// The published functions of the Glide reference's render state chapters: the combine units and
// the utility library's combine modes, constant colour, alpha blending and testing, the chroma
// key, the write masks, the depth buffer, dithering, fog and gamma, and the whole state saved
// and restored.
#include <cmath>

#include "GlideApi.h"
#include "Presentation.h"

using glide::ApiCall;
using glide::CompareFunc;
using glide::DepthMode;
using glide::Guard;
using glide::TheContext;

namespace {

bool ValidBlend(GrAlphaBlendFnc_t f) { return (f >= 0 && f <= 7) || f == 0xf; }

}  // namespace

extern "C" {

void grGlideGetState(GrState* state) {
  Guard(__func__, [&](const ApiCall& call) {
    if (state == nullptr) return call.Refuse("null state");
    TheContext().SaveState(*state);
  });
}

void grGlideSetState(const GrState* state) {
  Guard(__func__, [&](const ApiCall& call) {
    if (state == nullptr) return call.Refuse("null state");
    TheContext().RestoreState(*state);
  });
}

// ---- Combine units ---------------------------------------------------------------------------

void grColorCombine(GrCombineFunction_t function, GrCombineFactor_t factor, GrCombineLocal_t local,
                    GrCombineOther_t other, FxBool invert) {
  Guard(__func__, [&](const ApiCall& call) {
    if (!call.ValidCombine(function, factor)) return;
    if (local < 0 || local > GR_COMBINE_LOCAL_CONSTANT || other < 0 || other > GR_COMBINE_OTHER_CONSTANT) {
      return call.Refuse("unknown local %d or other %d", local, other);
    }
    TheContext().SetColorCombine(function, factor, local, other, invert != FXFALSE);
  });
}

void grAlphaCombine(GrCombineFunction_t function, GrCombineFactor_t factor, GrCombineLocal_t local,
                    GrCombineOther_t other, FxBool invert) {
  Guard(__func__, [&](const ApiCall& call) {
    if (!call.ValidCombine(function, factor)) return;
    if (local < 0 || local > GR_COMBINE_LOCAL_DEPTH || other < 0 || other > GR_COMBINE_OTHER_CONSTANT) {
      return call.Refuse("unknown local %d or other %d", local, other);
    }
    TheContext().SetAlphaCombine(function, factor, local, other, invert != FXFALSE);
  });
}

void grConstantColorValue(GrColor_t value) {
  Guard(__func__, [&](const ApiCall&) { TheContext().SetConstantColor(TheContext().ToArgb(value)); });
}

void grConstantColorValue4(float a, float r, float g, float b) {
  Guard(__func__, [&](const ApiCall&) {
    auto channel = [](float v) {
      return static_cast<uint32_t>(std::isfinite(v) ? std::fmin(std::fmax(v, 0.0f), 255.0f) : 0.0f);
    };
    TheContext().SetConstantColor(channel(a) << 24 | channel(r) << 16 | channel(g) << 8 | channel(b));
  });
}

// The utility library's combine modes, expanded as Glide's gu.c does.
void guColorCombineFunction(GrColorCombineFnc_t fnc) {
  Guard(__func__, [&](const ApiCall& call) {
    struct Row {
      int function, factor, local, other, invert;
    };
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
    if (fnc < 0 || fnc > GR_COLORCOMBINE_ONE) return call.Refuse("unknown function %d", fnc);
    const Row& r = kRows[fnc];
    grColorCombine(r.function, r.factor, r.local, r.other, r.invert);
  });
}

void guAlphaSource(GrAlphaSource_t mode) {
  Guard(__func__, [&](const ApiCall& call) {
    switch (mode) {
      case GR_ALPHASOURCE_CC_ALPHA:
        return grAlphaCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_CONSTANT,
                              GR_COMBINE_OTHER_NONE, FXFALSE);
      case GR_ALPHASOURCE_ITERATED_ALPHA:
        return grAlphaCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_ITERATED,
                              GR_COMBINE_OTHER_NONE, FXFALSE);
      case GR_ALPHASOURCE_TEXTURE_ALPHA:
        return grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_ONE, GR_COMBINE_LOCAL_NONE,
                              GR_COMBINE_OTHER_TEXTURE, FXFALSE);
      case GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA:
        return grAlphaCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_LOCAL_ITERATED,
                              GR_COMBINE_OTHER_TEXTURE, FXFALSE);
      default:
        return call.Refuse("unknown source %d", mode);
    }
  });
}

// ---- Alpha blending and testing, the chroma key ----------------------------------------------

void grAlphaBlendFunction(GrAlphaBlendFnc_t rgb_sf, GrAlphaBlendFnc_t rgb_df, GrAlphaBlendFnc_t alpha_sf,
                          GrAlphaBlendFnc_t alpha_df) {
  Guard(__func__, [&](const ApiCall& call) {
    if (!ValidBlend(rgb_sf) || !ValidBlend(rgb_df) || !ValidBlend(alpha_sf) || !ValidBlend(alpha_df)) {
      return call.Refuse("unknown factor in (%d, %d, %d, %d)", rgb_sf, rgb_df, alpha_sf, alpha_df);
    }
    TheContext().SetAlphaBlend(rgb_sf, rgb_df, alpha_sf, alpha_df);
  });
}

void grAlphaTestFunction(GrCmpFnc_t function) {
  Guard(__func__, [&](const ApiCall& call) {
    if (!call.ValidCompare(function)) return;
    TheContext().SetAlphaTest(static_cast<CompareFunc>(function));
  });
}

void grAlphaTestReferenceValue(GrAlpha_t value) {
  Guard(__func__, [&](const ApiCall&) { TheContext().SetAlphaTestReference(value); });
}

void grChromakeyMode(GrChromakeyMode_t mode) {
  Guard(__func__, [&](const ApiCall&) { TheContext().SetChromakey(mode == GR_CHROMAKEY_ENABLE); });
}

void grChromakeyValue(GrColor_t value) {
  Guard(__func__, [&](const ApiCall&) { TheContext().SetChromakeyValue(value); });
}

void grDisableAllEffects(void) {
  Guard(__func__, [](const ApiCall&) { TheContext().DisableAllEffects(); });
}

// ---- Write masks and the depth buffer --------------------------------------------------------

void grColorMask(FxBool rgb, FxBool a) {
  Guard(__func__, [&](const ApiCall&) { TheContext().SetColorMask(rgb != FXFALSE, a != FXFALSE); });
}

void grDepthBufferMode(GrDepthBufferMode_t mode) {
  Guard(__func__, [&](const ApiCall& call) {
    if (mode < GR_DEPTHBUFFER_DISABLE || mode > GR_DEPTHBUFFER_WBUFFER_COMPARE_TO_BIAS) {
      return call.Refuse("unknown mode %d", mode);
    }
    TheContext().SetDepthBufferMode(static_cast<DepthMode>(mode));
  });
}

void grDepthBufferFunction(GrCmpFnc_t function) {
  Guard(__func__, [&](const ApiCall& call) {
    if (!call.ValidCompare(function)) return;
    TheContext().SetDepthFunction(static_cast<CompareFunc>(function));
  });
}

void grDepthMask(FxBool mask) {
  Guard(__func__, [&](const ApiCall&) { TheContext().SetDepthMask(mask != FXFALSE); });
}

void grDepthBiasLevel(FxI16 level) {
  Guard(__func__, [&](const ApiCall&) { TheContext().SetDepthBias(level); });
}

// ---- Dithering, fog, gamma -------------------------------------------------------------------

void grDitherMode(GrDitherMode_t mode) {
  Guard(__func__, [&](const ApiCall& call) {
    if (mode < GR_DITHER_DISABLE || mode > GR_DITHER_4x4) return call.Refuse("unknown mode %d", mode);
    TheContext().SetDitherMode(mode);
  });
}

void grFogMode(GrFogMode_t mode) {
  Guard(__func__, [&](const ApiCall& call) {
    if (mode != GR_FOG_DISABLE) call.Refuse("fog is not supported; drawing without it");
  });
}

void grFogColorValue(GrColor_t fogcolor) { (void)fogcolor; }

void grFogTable(const GrFog_t ft[GR_FOG_TABLE_SIZE]) { (void)ft; }

void grGammaCorrectionValue(float value) {
  Guard(__func__, [&](const ApiCall& call) {
    if (!(value > 0.0f) || !std::isfinite(value)) {
      return call.Refuse("%g is not a positive gamma", static_cast<double>(value));
    }
    glide::SetPresentationGamma(value);
  });
}

}  // extern "C"
