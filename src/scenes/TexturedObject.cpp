#include "scenes/TexturedObject.h"

#include "geom/ScreenArea.h"
#include "scenes/ScreenQuad.h"

#include <glide.h>

#include <cmath>

namespace {

constexpr float kFocalLength = 640.0f;
constexpr float kClipRight = 639.0f;
constexpr float kClipBottom = 439.0f;  // not 479: the scenes that clip keep faces above this line

// The triangle being drawn; fields other than those written stay zero.
GrVertex Corners[3];

// Projects one corner: 1/w, the screen position truncated towards zero, and the texture
// coordinates divided by w. `depth` is the shifted z.
void ProjectCorner(const Vertex4& p, float depth, float texU, float texV, GrVertex& corner) {
  corner.oow = 1.0f / depth;
  corner.x = std::trunc(p.x * corner.oow * kFocalLength + kScreenCentreX);
  corner.y = std::trunc(p.y * corner.oow * kFocalLength + kScreenCentreY);
  corner.tmuvtx[0].sow = texU * corner.oow;
  corner.tmuvtx[0].tow = texV * corner.oow;
}

bool ReachesOffscreen(const GrVertex& corner) {
  return corner.x > kClipRight || corner.y > kClipBottom || corner.x < 0.0f || corner.y < 0.0f;
}

}  // namespace

void DrawTexturedObject(const Vertex4* points, const P3dObject& object, float alpha, const TexturedObjectStyle& style) {
  for (int32_t i = 0; i < object.faceCount; ++i) {
    const P3dFace& face = object.faces[i];
    const Vertex4& p0 = points[face.vertex0];
    const Vertex4& p1 = points[face.vertex1];
    const Vertex4& p2 = points[face.vertex2];
    const float z0 = p0.z + style.depthOffset;
    const float z1 = p1.z + style.depthOffset;
    const float z2 = p2.z + style.depthOffset;
    for (GrVertex& corner : Corners) {
      corner.r = corner.g = corner.b = 0.0f;
      corner.a = alpha;
    }
    if (!(z0 > style.nearLimit && z1 > style.nearLimit && z2 > style.nearLimit)) continue;

    ProjectCorner(p0, z0, face.texU0, face.texV0, Corners[0]);
    ProjectCorner(p1, z1, face.texU1, face.texV1, Corners[1]);
    ProjectCorner(p2, z2, face.texU2, face.texV2, Corners[2]);
    const bool clip = style.clipOffscreen && (ReachesOffscreen(Corners[0]) || ReachesOffscreen(Corners[1]) ||
                                              ReachesOffscreen(Corners[2]));
    if (style.selectFaceTextures) SelectTexture(face.textureId);
    if (!(ScreenArea(Corners[0], Corners[1], Corners[2]) > kMinScreenArea)) continue;
    if (clip) {
      guDrawTriangleWithClip(&Corners[0], &Corners[1], &Corners[2]);
    } else {
      grDrawTriangle(&Corners[0], &Corners[1], &Corners[2]);
    }
  }
}

void SetTexturedObjectState(GrCmpFnc_t depthFunction, bool iteratedAlphaFirst) {
  grColorMask(FXTRUE, FXFALSE);
  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthBufferFunction(depthFunction);
  grDepthMask(FXTRUE);
  if (iteratedAlphaFirst) guAlphaSource(GR_ALPHASOURCE_ITERATED_ALPHA);
  guAlphaSource(GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA);
  guTexCombineFunction(GR_TMU0, GR_TEXTURECOMBINE_DECAL);
  grTexMipMapMode(GR_TMU0, GR_MIPMAP_NEAREST, FXFALSE);
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO);
  guColorCombineFunction(GR_COLORCOMBINE_TEXTURE_ADD_ITRGB);
  grChromakeyMode(GR_CHROMAKEY_DISABLE);
  grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL_ALPHA, GR_COMBINE_LOCAL_ITERATED,
                 GR_COMBINE_OTHER_TEXTURE, FXFALSE);
  grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
}
