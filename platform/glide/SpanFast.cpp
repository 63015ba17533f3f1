// Span function selection and texture preparation.
#include "Pipeline.h"

namespace glide {

void PrepareTexture(SpanTarget& target, const uint8_t* textureMemory,
                    const std::array<uint32_t, 256>& palette) {
  const TextureBinding& b = target.binding;
  const Tables& tab = GetTables();
  target.texels = textureMemory + b.levelAddress;
  target.sAnd = target.state.clampS ? -1 : b.widthMask;
  target.tAnd = target.state.clampT ? -1 : b.heightMask;
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t v;
    switch (b.format) {
      case kRgb332: v = 0xFF000000u | tab.rgb332[i]; break;
      case kAlpha8: v = i * 0x01010101u; break;
      case kIntensity8: v = 0xFF000000u | i * 0x010101u; break;
      case kAlphaIntensity44: v = ((i >> 4) * 0x11u) << 24 | ((i & 15) * 0x11u) * 0x010101u; break;
      case kP8: case kAp88: v = palette[i]; break;
      default: v = 0; break;
    }
    target.lut8[i] = v;
  }
}

SpanFn SelectSpanFunction(const SpanTarget& target, bool allowSpecialised) {
  (void)target;
  (void)allowSpecialised;
  return SpanGeneric;
}

}  // namespace glide
