#include "scenes/TexturedObject.h"

#include "geom/Projection.h"
#include "geom/ScreenArea.h"
#include "gfx/Display.h"
#include "scenes/SceneState.h"

#include <glide.h>

#include <cmath>
#include <vector>

namespace {

constexpr float kClipRight = 639.0f;
constexpr float kClipBottom = 439.0f;  // not 479: the scenes that clip keep faces above this line

// The triangle being drawn; fields other than those written stay zero.
GrVertex Corners[3];

// One vertex as every face's corner sees it: 1/w and the screen position truncated towards
// zero, and whether its shifted z passes the near limit. Projected once per vertex (a vertex
// serves about six faces); kept between calls at the largest size needed.
struct ProjectedPoint {
  float x, y, oow;
  bool near;
};
std::vector<ProjectedPoint> Projected;

ProjectedPoint Project(const Vertex4& p, const TexturedObjectStyle& style) {
  if (!(p.z + style.depthOffset > style.nearLimit)) return {0.0f, 0.0f, 0.0f, false};  // the shifted z
  const ScreenPoint screen = ProjectToScreen(p, style.depthOffset);
  return {screen.x, screen.y, screen.oow, true};
}

// A face's corner: the vertex's projection and the texture coordinates divided by w.
void SetCorner(const ProjectedPoint& p, float texU, float texV, GrVertex& corner) {
  corner.oow = p.oow;
  corner.x = p.x;
  corner.y = p.y;
  corner.tmuvtx[0].sow = texU * p.oow;
  corner.tmuvtx[0].tow = texV * p.oow;
}

bool ReachesOffscreen(const GrVertex& corner) {
  return corner.x > kClipRight || corner.y > kClipBottom || corner.x < 0.0f || corner.y < 0.0f;
}

}  // namespace

void DrawTexturedObject(const Vertex4* points, const P3dObject& object, float alpha, const TexturedObjectStyle& style) {
  const auto vertexCount = static_cast<size_t>(object.vertexCount);
  if (Projected.size() < vertexCount) Projected.resize(vertexCount);
  for (size_t v = 0; v < vertexCount; ++v) Projected[v] = Project(points[v], style);
  for (GrVertex& corner : Corners) {
    corner.r = corner.g = corner.b = 0.0f;
    corner.a = alpha;
  }
  for (int32_t i = 0; i < object.faceCount; ++i) {
    const P3dFace& face = object.faces[i];
    const ProjectedPoint& p0 = Projected[static_cast<size_t>(face.vertex0)];
    const ProjectedPoint& p1 = Projected[static_cast<size_t>(face.vertex1)];
    const ProjectedPoint& p2 = Projected[static_cast<size_t>(face.vertex2)];
    if (!(p0.near && p1.near && p2.near)) continue;

    SetCorner(p0, face.texU0, face.texV0, Corners[0]);
    SetCorner(p1, face.texU1, face.texV1, Corners[1]);
    SetCorner(p2, face.texU2, face.texV2, Corners[2]);
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
  SetSceneTextureState();
  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthBufferFunction(depthFunction);
  grDepthMask(FXTRUE);
  if (iteratedAlphaFirst) guAlphaSource(GR_ALPHASOURCE_ITERATED_ALPHA);
  guAlphaSource(GR_ALPHASOURCE_TEXTURE_ALPHA_TIMES_ITERATED_ALPHA);
  grAlphaBlendFunction(GR_BLEND_SRC_ALPHA, GR_BLEND_ONE, GR_BLEND_ONE, GR_BLEND_ZERO);
  grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER_ADD_LOCAL, GR_COMBINE_FACTOR_LOCAL_ALPHA, GR_COMBINE_LOCAL_ITERATED,
                 GR_COMBINE_OTHER_TEXTURE, FXFALSE);
  grAlphaBlendFunction(GR_BLEND_ONE, GR_BLEND_ZERO, GR_BLEND_ZERO, GR_BLEND_ZERO);
}
