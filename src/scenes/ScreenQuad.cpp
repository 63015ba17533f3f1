#include "scenes/ScreenQuad.h"

#include <cmath>

namespace {

constexpr float kSnapBase = 524288.0f;  // 2^19: one unit in the last place of a float there is 1/16

}  // namespace

void FillScreenQuad(GrVertex* quad, float x0, float y0, float x1, float y1, float w, float alpha,
                    const TexelWindow& window) {
  const float xs[4] = {x0, x1, x1, x0};
  const float ys[4] = {y0, y0, y1, y1};
  const float ss[4] = {window.s0, window.s1, window.s1, window.s0};
  const float ts[4] = {window.t0, window.t0, window.t1, window.t1};
  const float oow = 1.0f / w;
  for (int i = 0; i < 4; ++i) {
    GrVertex& corner = quad[i];
    corner = GrVertex{};
    corner.x = xs[i] + kScreenCentreX;
    corner.y = ys[i] + kScreenCentreY;
    corner.z = w;
    corner.oow = oow;
    corner.a = alpha;
    corner.tmuvtx[0].sow = ss[i] / w;
    corner.tmuvtx[0].tow = ts[i] / w;
  }
}

void SetScreenQuad(GrVertex* quad, float x0, float y0, float x1, float y1, float w, float alpha) {
  FillScreenQuad(quad, x0, y0, x1, y1, w, alpha, {0.0f, 1.0f, 255.0f, 255.0f});
}

void SetCenteredQuad(GrVertex* quad, float x0, float y0, float x1, float y1, float alpha, float t0) {
  FillScreenQuad(quad, x0, y0, x1, y1, 1.0f, alpha, {0.0f, t0, 255.0f, t0 + 59.0f});
}

void SetScaledScreenQuad(GrVertex* quad, float x0, float y0, float x1, float y1, float k) {
  const float xs[4] = {x0, x1, x1, x0};
  const float ys[4] = {y0, y0, y1, y1};
  for (int i = 0; i < 4; ++i) {
    quad[i].x = k * xs[i] + kScreenCentreX;
    quad[i].y = k * ys[i] + kScreenCentreY;
    quad[i].oow = 1.0f;
  }
}

void SetScreenQuadDepth(GrVertex* quad, float w) {
  const float oow = 1.0f / w;
  for (int i = 0; i < 4; ++i) {
    quad[i].z = w;
    quad[i].oow = oow;
  }
  quad[0].tmuvtx[0].tow = 1.0f / w;
  quad[1].tmuvtx[0].sow = 255.0f / w;
  quad[1].tmuvtx[0].tow = 1.0f / w;
  quad[2].tmuvtx[0].sow = 255.0f / w;
  quad[2].tmuvtx[0].tow = 255.0f / w;
  quad[3].tmuvtx[0].tow = 255.0f / w;
}

void MoveScreenQuad(GrVertex* quad, float dx, float dy) {
  for (int i = 0; i < 4; ++i) {
    quad[i].x += dx;
    quad[i].y += dy;
  }
}

void ScaleScreenQuad(GrVertex* quad, float sx, float sy) {
  for (int i = 0; i < 4; ++i) {
    quad[i].x = (quad[i].x - kScreenCentreX) * sx + kScreenCentreX;
    quad[i].y = (quad[i].y - kScreenCentreY) * sy + kScreenCentreY;
  }
}

float SnapToSixteenth(float offset, float centre) {
  // volatile keeps the rounding to single precision where it is written, whatever the compiler
  // would otherwise keep in a wider register.
  volatile float snapped = offset + (kSnapBase + centre);
  return snapped - kSnapBase;
}

void RotateScaleScreenQuad(GrVertex* quad, float x0, float y0, float x1, float y1, float angle, float scale) {
  const float c = scale * std::cos(angle);
  const float s = scale * std::sin(angle);
  const float xs[4] = {x0, x1, x1, x0};
  const float ys[4] = {y0, y0, y1, y1};
  for (int i = 0; i < 4; ++i) {
    quad[i].x = SnapToSixteenth(xs[i] * c - ys[i] * s, kScreenCentreX);
    quad[i].y = SnapToSixteenth(xs[i] * s + ys[i] * c, kScreenCentreY);
  }
}

void RotateScreenQuad(GrVertex* quad, float x0, float y0, float x1, float y1, float angle) {
  RotateScaleScreenQuad(quad, x0, y0, x1, y1, angle, 1.0f);
}

void SetQuadAlpha(GrVertex* quad, float alpha) {
  for (int i = 0; i < 4; ++i) quad[i].a = alpha;
}

void SetQuadZ(GrVertex* quad, float z) {
  for (int i = 0; i < 4; ++i) quad[i].z = z;
}

void FillFlatQuad(GrVertex* quad, float alpha) {
  for (int i = 0; i < 4; ++i) {
    quad[i] = GrVertex{};
    quad[i].ooz = 1.0f;
    quad[i].oow = 1.0f;
    quad[i].a = alpha;
    quad[i].tmuvtx[0].oow = 1.0f;
  }
}

void SetQuadCorners(GrVertex* quad, float x0, float y0, float x1, float y1) {
  const float xs[4] = {x0, x1, x1, x0};
  const float ys[4] = {y0, y0, y1, y1};
  for (int i = 0; i < 4; ++i) {
    quad[i].x = xs[i];
    quad[i].y = ys[i];
  }
}

void SetQuadTexels(GrVertex* quad, const TexelWindow& window) {
  const float ss[4] = {window.s0, window.s1, window.s1, window.s0};
  const float ts[4] = {window.t0, window.t0, window.t1, window.t1};
  for (int i = 0; i < 4; ++i) {
    quad[i].tmuvtx[0].sow = ss[i];
    quad[i].tmuvtx[0].tow = ts[i];
  }
}

void SetQuadLeftSide(GrVertex* quad, float x, float s) {
  quad[0].x = quad[3].x = x;
  quad[0].tmuvtx[0].sow = quad[3].tmuvtx[0].sow = s;
}

void SetQuadRightSide(GrVertex* quad, float x, float s) {
  quad[1].x = quad[2].x = x;
  quad[1].tmuvtx[0].sow = quad[2].tmuvtx[0].sow = s;
}
