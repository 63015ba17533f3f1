#include "ReferenceRasterizer.h"

#include <algorithm>
#include <cmath>

namespace reference {

namespace {

struct Rgba {
  int r, g, b, a;
};

const int kMatrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

int Replicate(int value, int bits) {
  // Bit replication to 8 bits.
  int out = value << (8 - bits);
  for (int shift = 8 - 2 * bits; shift > -bits; shift -= bits) {
    out |= shift >= 0 ? value << shift : value >> -shift;
  }
  return out & 0xFF;
}

Rgba Texel(const State& st, int width, int s, int t) {
  const int index = t * width + s;
  if (st.format == GR_TEXFMT_P_8) {
    const uint32_t p = st.palette[st.texels[index]];
    return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
            static_cast<int>(p & 0xFF), 255};
  }
  const int v = st.texels[2 * index] | st.texels[2 * index + 1] << 8;
  if (st.format == GR_TEXFMT_RGB_565) {
    return {Replicate(v >> 11, 5), Replicate((v >> 5) & 63, 6), Replicate(v & 31, 5), 255};
  }
  // ARGB_4444
  return {((v >> 8) & 15) * 17, ((v >> 4) & 15) * 17, (v & 15) * 17, (v >> 12) * 17};
}

int Wrap(int c, int size, bool clamp) {
  return clamp ? std::clamp(c, 0, size - 1) : ((c % size) + size) % size;
}

// Texture lookup at texture-space coordinates (0..256 over the texture), modelling the board's
// 1/256 truncation, half-texel offset and 4-bit weights. Sets `ambiguous` when a coordinate is
// within rounding of a boundary that changes the result.
Rgba Sample(const State& st, double s, double t, bool& ambiguous) {
  // How far (in 1/256 texel) the board's single-precision perspective divide may land from the
  // exact quotient.
  constexpr double kMargin = 1.0;
  const int size = 256 >> st.lod;  // square textures only
  const double scale = static_cast<double>(1 << st.lod);
  // The result changes where the truncated value crosses offset + k * period. Truncation goes
  // towards zero, so below zero that happens a whole step further down than the boundary itself:
  // compare what the value truncates to a margin either side.
  auto quantize = [&](double v, double period, double offset) {
    const double q = v * 256.0;
    auto step = [&](double at) { return std::floor((std::trunc(at) - offset) / period); };
    if (step(q - kMargin) != step(q + kMargin)) ambiguous = true;
    return std::trunc(q);
  };
  if (!st.bilinear) {
    const double qs = quantize(s, 256.0 * scale, 0), qt = quantize(t, 256.0 * scale, 0);
    const int si = static_cast<int>(std::floor(qs / (256.0 * scale)));
    const int ti = static_cast<int>(std::floor(qt / (256.0 * scale)));
    return Texel(st, size, Wrap(si, size, st.clamp), Wrap(ti, size, st.clamp));
  }
  const double qs = quantize(s, 16.0 * scale, 128.0 * scale) - 128.0 * scale;
  const double qt = quantize(t, 16.0 * scale, 128.0 * scale) - 128.0 * scale;
  const int s0 = static_cast<int>(std::floor(qs / (256.0 * scale)));
  const int t0 = static_cast<int>(std::floor(qt / (256.0 * scale)));
  const int u = static_cast<int>(std::floor((qs / scale - s0 * 256.0) / 16.0)) * 16;
  const int v = static_cast<int>(std::floor((qt / scale - t0 * 256.0) / 16.0)) * 16;
  const Rgba c00 = Texel(st, size, Wrap(s0, size, st.clamp), Wrap(t0, size, st.clamp));
  const Rgba c01 = Texel(st, size, Wrap(s0 + 1, size, st.clamp), Wrap(t0, size, st.clamp));
  const Rgba c10 = Texel(st, size, Wrap(s0, size, st.clamp), Wrap(t0 + 1, size, st.clamp));
  const Rgba c11 = Texel(st, size, Wrap(s0 + 1, size, st.clamp), Wrap(t0 + 1, size, st.clamp));
  auto lerp = [](int a, int b, int w) {
    return a + static_cast<int>(std::floor((b - a) * w / 256.0));
  };
  auto mix = [&](int a, int b, int c, int d) { return lerp(lerp(a, b, u), lerp(c, d, u), v); };
  return {mix(c00.r, c01.r, c10.r, c11.r), mix(c00.g, c01.g, c10.g, c11.g),
          mix(c00.b, c01.b, c10.b, c11.b), mix(c00.a, c01.a, c10.a, c11.a)};
}

struct Bits {
  bool zeroOther, subLocal, addLocal, addLocalAlpha;
};

Bits FunctionBits(int function) {
  switch (function) {
    case GR_COMBINE_FUNCTION_ZERO: return {true, false, false, false};
    case GR_COMBINE_FUNCTION_LOCAL: return {true, false, true, false};
    case GR_COMBINE_FUNCTION_LOCAL_ALPHA: return {true, false, false, true};
    case GR_COMBINE_FUNCTION_SCALE_OTHER: return {false, false, false, false};
    case GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL: return {false, false, true, false};
    case GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL_ALPHA: return {false, false, false, true};
    case GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL: return {false, true, false, false};
    case GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL: return {false, true, true, false};
    case GR_COMBINE_FUNCTION_SCALE_OTHER_MINUS_LOCAL_ADD_LOCAL_ALPHA: return {false, true, false, true};
    case GR_COMBINE_FUNCTION_SCALE_MINUS_LOCAL_ADD_LOCAL: return {true, true, true, false};
    default: return {true, true, false, true};  // SCALE_MINUS_LOCAL_ADD_LOCAL_ALPHA
  }
}

int BlendFactorOf(int code, bool source, int s, int d, int sa) {
  switch (code) {
    case GR_BLEND_ZERO: return 0;
    case GR_BLEND_ONE: return 256;
    case GR_BLEND_SRC_ALPHA: return sa + 1;
    case GR_BLEND_ONE_MINUS_SRC_ALPHA: return 256 - sa;
    case GR_BLEND_DST_ALPHA: return 256;  // no alpha planes: destination alpha reads 255
    case GR_BLEND_ONE_MINUS_DST_ALPHA: return 1;
    case GR_BLEND_SRC_COLOR: return (source ? d : s) + 1;
    default: return 256 - (source ? d : s);  // ONE_MINUS_SRC_COLOR / DST_COLOR
  }
}

}  // namespace

int CombineEquation(int other, int local, int localAlpha, int factor, bool zeroOther,
                    bool subLocal, bool addLocal, bool addLocalAlpha, bool oneMinus,
                    bool invert) {
  const int blend = (zeroOther ? 0 : other) - (subLocal ? local : 0);
  const int f = (oneMinus ? 255 - factor : factor) + 1;
  int out = static_cast<int>(std::floor(blend * f / 256.0));
  out += addLocal ? local : (addLocalAlpha ? localAlpha : 0);
  out = std::clamp(out, 0, 255);
  return invert ? 255 - out : out;
}

int DitherChannel(int v, int d, int bits) {
  // The board's equations: about v * (2^bits - 1) / 255 + d / 16, rounded down.
  if (bits == 5) return (2 * v - v / 16 + v / 128 + d) / 16;
  return (4 * v - v / 16 + v / 64 + d) / 16;
}

uint32_t WDepthOf(double w) {
  const double oow = 1.0 / w;
  if (oow >= 1.0) return 0;
  if (oow < std::ldexp(1.0, -16)) return 0xFFFF;
  int e = 0;
  while (oow < std::ldexp(1.0, -(e + 1))) ++e;  // leading zeros after the binary point
  const double normalized = oow * std::ldexp(1.0, e + 1);  // [1, 2)
  const int m = static_cast<int>(std::floor((normalized - 1.0) * 4096.0));
  return std::min<uint32_t>((static_cast<uint32_t>(e) << 12 | (4095 - m)) + 1, 0xFFFF);
}

bool CompareOf(int func, uint32_t a, uint32_t b) {
  switch (func) {
    case GR_CMP_NEVER: return false;
    case GR_CMP_LESS: return a < b;
    case GR_CMP_EQUAL: return a == b;
    case GR_CMP_LEQUAL: return a <= b;
    case GR_CMP_GREATER: return a > b;
    case GR_CMP_NOTEQUAL: return a != b;
    case GR_CMP_GEQUAL: return a >= b;
    default: return true;
  }
}

void DrawTriangle(const State& st, const GrVertex& va, const GrVertex& vb, const GrVertex& vc,
                  Image& image, std::vector<uint8_t>& flags, int clipW, int clipH) {
  flags.assign(static_cast<size_t>(image.width) * image.height, 0);
  // Positions on the 12.4 grid, in 1/16 pixel.
  auto fx = [](float v) { return static_cast<long long>(std::trunc(v * 16.0)); };
  long long ax = fx(va.x), ay = fx(va.y), bx = fx(vb.x), by = fx(vb.y), cx = fx(vc.x), cy = fx(vc.y);
  const GrVertex* pa = &va;
  const GrVertex* pb = &vb;
  const GrVertex* pc = &vc;
  long long area2 = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
  if (area2 == 0) return;
  if (area2 < 0) {
    std::swap(bx, cx);
    std::swap(by, cy);
    std::swap(pb, pc);
    area2 = -area2;
  }
  // Interior: every edge function positive; on an edge, only top and left edges count.
  auto inside = [](long long x0, long long y0, long long x1, long long y1, long long px,
                   long long py) {
    const long long e = (x1 - x0) * (py - y0) - (y1 - y0) * (px - x0);
    if (e != 0) return e > 0;
    return (y1 == y0 && x1 > x0) || y1 < y0;
  };
  // Barycentric parameters in double from the exact vertex positions.
  auto param = [&](double px, double py, float GrVertex::*field) {
    const double x0 = ax / 16.0, y0 = ay / 16.0, x1 = bx / 16.0, y1 = by / 16.0, x2 = cx / 16.0,
                 y2 = cy / 16.0;
    const double det = (x1 - x0) * (y2 - y0) - (y1 - y0) * (x2 - x0);
    const double l1 = ((px - x0) * (y2 - y0) - (py - y0) * (x2 - x0)) / det;
    const double l2 = ((x1 - x0) * (py - y0) - (y1 - y0) * (px - x0)) / det;
    return (1 - l1 - l2) * (pa->*field) + l1 * (pb->*field) + l2 * (pc->*field);
  };
  auto paramTex = [&](double px, double py, bool sNotT) {
    const double x0 = ax / 16.0, y0 = ay / 16.0, x1 = bx / 16.0, y1 = by / 16.0, x2 = cx / 16.0,
                 y2 = cy / 16.0;
    const double det = (x1 - x0) * (y2 - y0) - (y1 - y0) * (x2 - x0);
    const double l1 = ((px - x0) * (y2 - y0) - (py - y0) * (x2 - x0)) / det;
    const double l2 = ((x1 - x0) * (py - y0) - (y1 - y0) * (px - x0)) / det;
    auto v = [&](const GrVertex* p) { return sNotT ? p->tmuvtx[0].sow : p->tmuvtx[0].tow; };
    return (1 - l1 - l2) * v(pa) + l1 * v(pb) + l2 * v(pc);
  };

  const Bits cb = FunctionBits(st.color.function);
  const Bits ab = FunctionBits(st.alpha.function);
  for (int y = 0; y < clipH; ++y) {
    for (int x = 0; x < clipW; ++x) {
      const long long px = 16LL * x + 8, py = 16LL * y + 8;
      if (!inside(ax, ay, bx, by, px, py) || !inside(bx, by, cx, cy, px, py) ||
          !inside(cx, cy, ax, ay, px, py)) {
        continue;
      }
      const size_t at = static_cast<size_t>(y) * image.width + x;
      flags[at] |= kCovered;
      const double cxp = x + 0.5, cyp = y + 0.5;
      auto iterated = [&](float GrVertex::*f) {
        return std::clamp(static_cast<int>(std::floor(param(cxp, cyp, f))), 0, 255);
      };
      const Rgba it = {iterated(&GrVertex::r), iterated(&GrVertex::g), iterated(&GrVertex::b),
                       iterated(&GrVertex::a)};
      const double oow = param(cxp, cyp, &GrVertex::oow);

      // Depth.
      uint32_t depth = 0;
      if (st.wbuffer) {
        depth = WDepthOf(1.0 / oow);
        if (!CompareOf(st.depthFunc, depth, image.depth[at])) continue;
      }
      // Texture.
      bool ambiguous = false;
      Rgba tex{0, 0, 0, 0};
      if (st.texDecal && st.texels != nullptr) {
        const double s = oow > 0 ? paramTex(cxp, cyp, true) / oow : 0;
        const double t = oow > 0 ? paramTex(cxp, cyp, false) / oow : 0;
        tex = Sample(st, s, t, ambiguous);
      }
      if (ambiguous) flags[at] |= kAmbiguous;

      // Combine units.
      const Rgba cst = {static_cast<int>((st.constant >> 16) & 0xFF),
                        static_cast<int>((st.constant >> 8) & 0xFF),
                        static_cast<int>(st.constant & 0xFF), static_cast<int>(st.constant >> 24)};
      auto pick = [&](int sel) {
        return sel == GR_COMBINE_OTHER_TEXTURE ? tex : sel == GR_COMBINE_OTHER_CONSTANT ? cst : it;
      };
      const Rgba cOther = pick(st.color.other);
      const Rgba cLocal = st.color.local == GR_COMBINE_LOCAL_CONSTANT ? cst : it;
      const int aOther = pick(st.alpha.other).a;
      const int aLocal = st.alpha.local == GR_COMBINE_LOCAL_CONSTANT ? cst.a : it.a;
      auto colorFactor = [&](int localChannel) {
        switch (st.color.factor & 7) {
          case 1: return localChannel;
          case 2: return aOther;
          case 3: return aLocal;
          case 4: return tex.a;
          default: return 0;
        }
      };
      const int alphaFactorValue = (st.alpha.factor & 7) == 2 ? aOther
                                   : (st.alpha.factor & 7) == 4 ? tex.a
                                   : (st.alpha.factor & 7) == 0 ? 0 : aLocal;
      const bool cOneMinus = (st.color.factor & 8) != 0, aOneMinus = (st.alpha.factor & 8) != 0;
      auto ccu = [&](int o, int l) {
        return CombineEquation(o, l, aLocal, colorFactor(l), cb.zeroOther, cb.subLocal,
                               cb.addLocal, cb.addLocalAlpha, cOneMinus, st.color.invert);
      };
      Rgba src = {ccu(cOther.r, cLocal.r), ccu(cOther.g, cLocal.g), ccu(cOther.b, cLocal.b),
                  CombineEquation(aOther, aLocal, aLocal, alphaFactorValue, ab.zeroOther,
                                  ab.subLocal, ab.addLocal || ab.addLocalAlpha, false, aOneMinus,
                                  st.alpha.invert)};
      if (st.chroma && static_cast<uint32_t>(cOther.r << 16 | cOther.g << 8 | cOther.b) ==
                           (st.chromaKey & 0xFFFFFF)) {
        continue;
      }
      // Iterated alpha may be one step off, so a combined alpha next to the reference value
      // may go either way.
      if (st.alphaTest != GR_CMP_ALWAYS && std::abs(src.a - st.alphaRef) <= 2) {
        flags[at] |= kAmbiguous;
      }
      if (!CompareOf(st.alphaTest, static_cast<uint32_t>(src.a),
                     static_cast<uint32_t>(st.alphaRef))) {
        continue;
      }

      // Blend against the destination.
      const int d = kMatrix[y & 3][x & 3];
      const uint16_t old = image.color[at];
      Rgba dst = {Replicate(old >> 11, 5), Replicate((old >> 5) & 63, 6), Replicate(old & 31, 5),
                  255};
      const bool blending = !(st.blendSrc == GR_BLEND_ONE && st.blendDst == GR_BLEND_ZERO);
      if (blending) {
        if (st.ditherSubtract && st.dither == GR_DITHER_4x4) {
          auto sub = [&](int v, int minimum, int divisor, int base) {
            return v < minimum ? v
                               : std::clamp(v + static_cast<int>(std::floor((base - d) /
                                                                            static_cast<double>(divisor))),
                                            0, 255);
          };
          dst = {sub(dst.r, 4, 2, 10), sub(dst.g, 2, 4, 12), sub(dst.b, 4, 2, 10), 255};
        }
        auto blend = [&](int s, int dd) {
          const int sf = BlendFactorOf(st.blendSrc, true, s, dd, src.a);
          const int df = BlendFactorOf(st.blendDst, false, s, dd, src.a);
          return std::min(255, static_cast<int>(std::floor((s * sf + dd * df) / 256.0)));
        };
        src = {blend(src.r, dst.r), blend(src.g, dst.g), blend(src.b, dst.b), src.a};
      }
      uint16_t out;
      if (st.dither == GR_DITHER_4x4) {
        out = static_cast<uint16_t>(DitherChannel(src.r, d, 5) << 11 |
                                    DitherChannel(src.g, d, 6) << 5 | DitherChannel(src.b, d, 5));
      } else {
        out = static_cast<uint16_t>((src.r >> 3) << 11 | (src.g >> 2) << 5 | (src.b >> 3));
      }
      image.color[at] = out;
      if (st.wbuffer && st.depthWrite) image.depth[at] = static_cast<uint16_t>(depth);
    }
  }
}

}  // namespace reference
