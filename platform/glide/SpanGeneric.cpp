// The generic span path: any render state, one pixel at a time, every decision made per pixel
// from the state. Slow but complete; the specialised paths are tested against it.
#include "Pipeline.h"

namespace glide {

void SpanGeneric(const SpanTarget& target, const Gradients& g, int y, int x0, int x1) {
  const RenderState& st = target.state;
  const Tables& tab = *target.tables;
  uint16_t* colorRow = target.color + static_cast<ptrdiff_t>(y) * target.stride;
  uint16_t* auxRow = target.aux + static_cast<ptrdiff_t>(y) * target.stride;
  const int iy = y - g.ya;
  const float wRow = g.w + static_cast<float>(iy) * g.dwDy;
  const float sRow = g.s + static_cast<float>(iy) * g.dsDy;
  const float tRow = g.t + static_cast<float>(iy) * g.dtDy;

  for (int x = x0; x < x1; ++x) {
    const int ix = x - g.xa;
    const float fx = static_cast<float>(ix);
    const float w = wRow + fx * g.dwDx;
    const int64_t z = g.z + ix * g.dzDx + iy * g.dzDy;

    // Depth value and test (the write waits until the pixel has passed everything).
    uint32_t depth = 0;
    if (st.DepthEnabled()) {
      depth = st.WBuffer() ? WDepth(w) : ZDepth(z);
      const bool compareToBias = st.depthMode == DepthMode::kZCompareToBias ||
                                 st.depthMode == DepthMode::kWCompareToBias;
      uint32_t source;
      if (compareToBias) {
        source = static_cast<uint16_t>(st.depthBias);
      } else {
        depth = BiasDepth(depth, st.depthBias);
        source = depth;
      }
      if (!Compare(st.depthFunc, source, auxRow[x])) continue;
    }

    CombineInputs in;
    in.iterated = {IteratedChannel(g.rgba[3] + ix * g.drgbaDx[3] + iy * g.drgbaDy[3]),
                   IteratedChannel(g.rgba[0] + ix * g.drgbaDx[0] + iy * g.drgbaDy[0]),
                   IteratedChannel(g.rgba[1] + ix * g.drgbaDx[1] + iy * g.drgbaDy[1]),
                   IteratedChannel(g.rgba[2] + ix * g.drgbaDx[2] + iy * g.drgbaDy[2])};
    in.depthAlpha = static_cast<int>(ZDepth(z) >> 8);
    in.texture = 0;
    if (st.textureEnabled) {
      int32_t sFix, tFix;
      TexelCoordinates(sRow + fx * g.dsDx, tRow + fx * g.dtDx, w, sFix, tFix);
      const uint32_t texel = st.bilinear ? SampleBilinear(target, sFix, tFix)
                                         : SamplePoint(target, sFix, tFix);
      in.texture = TextureCombine(st, texel);
    }

    uint32_t colorOther;
    const Argb src = Unpack(ColorAlphaCombine(st, in, colorOther));
    if (st.chromaKey && colorOther == st.chromaValue) continue;
    if (!Compare(st.alphaTestFunc, static_cast<uint32_t>(src.a), st.alphaRef)) continue;

    const int pos = ((y & 3) << 2) | (x & 3);
    Argb out = src;
    const int destAlpha = st.AlphaPlanes() ? auxRow[x] & 0xFF : 0xFF;
    if (st.blendEnabled) {
      out = Blend(st, src, ReadDestination(target, colorRow[x], pos), destAlpha);
    }
    if (st.rgbMask) colorRow[x] = DitherPixel(tab, st.dither, x, y, out);
    if (st.DepthEnabled()) {
      if (st.depthMask) auxRow[x] = static_cast<uint16_t>(depth);
    } else if (st.alphaMask) {
      auxRow[x] = static_cast<uint16_t>(out.a);
    }
  }
}

}  // namespace glide
