// The context's render state: the setters the published state functions forward to, each marking
// the span selection for rebuilding, and the whole state saved and restored.
#include "Context.h"

#include <algorithm>
#include <cstring>

namespace glide {

void Context::SetClipWindow(FxU32 minX, FxU32 minY, FxU32 maxX, FxU32 maxY) {
  // Glide's grClipWindow: max clamped to the screen, min to max; a pixel scissor.
  const int x1 = static_cast<int>(std::min<FxU32>(maxX, kWidth));
  const int y1 = static_cast<int>(std::min<FxU32>(maxY, kHeight));
  clip_ = {static_cast<int>(std::min<FxU32>(minX, static_cast<FxU32>(x1))),
           static_cast<int>(std::min<FxU32>(minY, static_cast<FxU32>(y1))), x1, y1};
}

void Context::SetColorCombine(int function, int factor, int local, int other, bool invert) {
  state_.colorCombine =
      MakeCombineUnit(static_cast<CombineFunction>(function), static_cast<CombineFactor>(factor), invert);
  state_.colorLocal = local == GR_COMBINE_LOCAL_CONSTANT ? LocalSelect::kConstant
                                                         : LocalSelect::kIterated;
  state_.colorOther = static_cast<OtherSelect>(other);
  dirty_ = true;
}

void Context::SetAlphaCombine(int function, int factor, int local, int other, bool invert) {
  state_.alphaCombine =
      MakeCombineUnit(static_cast<CombineFunction>(function), static_cast<CombineFactor>(factor), invert);
  state_.alphaLocal = static_cast<LocalSelect>(local);
  state_.alphaOther = static_cast<OtherSelect>(other);
  dirty_ = true;
}

void Context::SetTexCombine(int rgbFunction, int rgbFactor, int alphaFunction, int alphaFactor,
                            bool rgbInvert, bool alphaInvert) {
  state_.texColor = MakeCombineUnit(static_cast<CombineFunction>(rgbFunction),
                                    static_cast<CombineFactor>(rgbFactor), rgbInvert);
  state_.texAlpha = MakeCombineUnit(static_cast<CombineFunction>(alphaFunction),
                                    static_cast<CombineFactor>(alphaFactor), alphaInvert);
  dirty_ = true;
}

void Context::SetAlphaBlend(int rgbSrc, int rgbDst, int alphaSrc, int alphaDst) {
  state_.srcFactor = static_cast<BlendFactor>(rgbSrc);
  state_.dstFactor = static_cast<BlendFactor>(rgbDst);
  // The alpha channel takes only ONE and ZERO (Glide substitutes ONE / ZERO for the rest).
  state_.srcAlphaFactor = alphaSrc == GR_BLEND_ZERO ? BlendFactor::kZero : BlendFactor::kOne;
  state_.dstAlphaFactor = alphaDst == GR_BLEND_ONE ? BlendFactor::kOne : BlendFactor::kZero;
  state_.blendEnabled = !(rgbSrc == GR_BLEND_ONE && rgbDst == GR_BLEND_ZERO &&
                          alphaSrc == GR_BLEND_ONE && alphaDst == GR_BLEND_ZERO);
  dirty_ = true;
}

void Context::SetDitherMode(GrDitherMode_t mode) {
  state_.dither = static_cast<DitherMode>(mode);
  state_.ditherSubtract = (mode == GR_DITHER_4x4 && !noDitherSubtract_) ? 1 : 0;
  dirty_ = true;
}

void Context::SetConstantColor(uint32_t argb) {
  state_.color0 = argb;
  state_.color1 = argb;
  dirty_ = true;
}

void Context::SetAlphaTest(CompareFunc function) {
  state_.alphaTestFunc = function;
  dirty_ = true;
}

void Context::SetAlphaTestReference(uint8_t reference) {
  state_.alphaRef = reference;
  dirty_ = true;
}

void Context::SetChromakey(bool enabled) {
  state_.chromaKey = enabled ? 1 : 0;
  dirty_ = true;
}

void Context::SetChromakeyValue(GrColor_t value) {
  state_.chromaValue = ToArgb(value) & 0xFFFFFF;
  dirty_ = true;
}

void Context::SetColorMask(bool rgb, bool alpha) {
  state_.rgbMask = rgb ? 1 : 0;
  state_.alphaMask = alpha ? 1 : 0;
  dirty_ = true;
}

void Context::SetDepthBufferMode(DepthMode mode) {
  state_.depthMode = mode;
  dirty_ = true;
}

void Context::SetDepthFunction(CompareFunc function) {
  state_.depthFunc = function;
  dirty_ = true;
}

void Context::SetDepthMask(bool enabled) {
  state_.depthMask = enabled ? 1 : 0;
  dirty_ = true;
}

void Context::SetDepthBias(int16_t level) {
  state_.depthBias = level;
  dirty_ = true;
}

void Context::SetTexClamp(bool clampS, bool clampT) {
  state_.clampS = clampS ? 1 : 0;
  state_.clampT = clampT ? 1 : 0;
  dirty_ = true;
}

void Context::SetTexFilter(bool bilinear) {
  state_.bilinear = bilinear ? 1 : 0;
  dirty_ = true;
}

void Context::DisableAllEffects() {
  SetAlphaBlend(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ONE, GR_BLEND_ZERO);
  SetAlphaTest(CompareFunc::kAlways);
  SetChromakey(false);
  SetDepthBufferMode(DepthMode::kDisable);
}

namespace {
struct SavedState {
  RenderState state;
  ClipRect clip;
  int cullMode;
  TextureBinding binding;
  bool drawToFront;
};
static_assert(sizeof(SavedState) <= sizeof(GrState), "GrState too small for the render state");
}  // namespace

void Context::SaveState(GrState& out) const {
  SavedState saved{state_, clip_, cullMode_, binding_, drawToFront_};
  std::memset(&out, 0, sizeof out);
  std::memcpy(&out, &saved, sizeof saved);
}

void Context::RestoreState(const GrState& in) {
  SavedState saved;
  std::memcpy(static_cast<void*>(&saved), &in, sizeof saved);
  state_ = saved.state;
  clip_ = saved.clip;
  cullMode_ = saved.cullMode;
  binding_ = saved.binding;
  drawToFront_ = saved.drawToFront;
  dirty_ = true;
}

}  // namespace glide
