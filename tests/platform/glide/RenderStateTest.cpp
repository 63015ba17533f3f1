// The render state as a value: what Normalize merges, and what it must keep apart (the span
// cache hands out one span function per normalized state).
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "RenderState.h"
#include "glide.h"

namespace {

using glide::BlendFactor;
using glide::CombineFactor;
using glide::CombineFunction;
using glide::CompareFunc;
using glide::RenderState;

RenderState Scene() {
  RenderState s;
  s.colorCombine = glide::MakeCombineUnit(CombineFunction::kScaleOtherAddLocal, CombineFactor::kOne, false);
  s.colorOther = glide::OtherSelect::kTexture;
  s.alphaCombine = glide::MakeCombineUnit(CombineFunction::kLocal, CombineFactor::kZero, false);
  s.texColor = s.texAlpha = glide::MakeCombineUnit(CombineFunction::kLocal, CombineFactor::kZero, false);
  s.depthMode = glide::DepthMode::kW;
  s.depthMask = 1;
  return s;
}

struct Case {
  const char* what;
  std::function<void(RenderState&)> change;
  bool samePicture;
};

TEST(RenderStateValue, NormalizeMergesOnlyWhatCannotChangeAPixel) {
  const Case cases[] = {
      {"blend factors while blending is off", [](RenderState& s) { s.srcFactor = BlendFactor::kSrcAlpha; s.dstFactor = BlendFactor::kOneMinusSrcAlpha; }, true},
      {"ONE/ZERO blending", [](RenderState& s) { s.blendEnabled = 1; s.srcFactor = BlendFactor::kOne; s.dstFactor = BlendFactor::kZero; s.srcAlphaFactor = BlendFactor::kZero; }, true},
      {"chroma value while keying is off", [](RenderState& s) { s.chromaValue = 0x123456; }, true},
      {"alpha reference while the test always passes", [](RenderState& s) { s.alphaRef = 99; }, true},
      {"factor of a unit that multiplies zero", [](RenderState& s) { s.alphaCombine.mselect = 3; s.alphaCombine.reverse = 1; }, true},
      {"depth compare ALWAYS without writes", [](RenderState& s) { s.depthFunc = CompareFunc::kAlways; s.depthMask = 0; }, false},
      {"dither subtraction without blending", [](RenderState& s) { s.ditherSubtract = 0; }, true},
      {"texture filter", [](RenderState& s) { s.bilinear = 1; }, false},
      {"blend mode", [](RenderState& s) { s.blendEnabled = 1; s.srcFactor = BlendFactor::kSrcAlpha; s.dstFactor = BlendFactor::kOneMinusSrcAlpha; }, false},
      {"chroma key on", [](RenderState& s) { s.chromaKey = 1; }, false},
      {"alpha test", [](RenderState& s) { s.alphaTestFunc = CompareFunc::kGreater; s.alphaRef = 64; }, false},
      {"depth compare", [](RenderState& s) { s.depthFunc = CompareFunc::kLequal; }, false},
      {"constant colour", [](RenderState& s) { s.color0 = 0x80808080; }, false},
  };
  RenderState base = Scene();
  base.Normalize();
  for (const Case& c : cases) {
    RenderState changed = Scene();
    c.change(changed);
    changed.Normalize();
    EXPECT_EQ(changed == base, c.samePicture) << c.what;
    if (c.samePicture) {
      EXPECT_EQ(changed.Hash(), base.Hash()) << c.what;
    }
  }
  // Without texturing, texture settings cannot matter.
  RenderState flat = Scene();
  flat.colorOther = glide::OtherSelect::kIterated;
  RenderState flatBilinear = flat;
  flatBilinear.bilinear = 1;
  flatBilinear.texFormat = glide::kP8;
  flat.Normalize();
  flatBilinear.Normalize();
  EXPECT_EQ(flat, flatBilinear);
  EXPECT_EQ(flat.textureEnabled, 0);
}

}  // namespace
