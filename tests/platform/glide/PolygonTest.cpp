// Polygon fans, the planar variant, culling and the screen-space clipper.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "GlideTestSupport.h"

using glidetest::GlideFixture;
using glidetest::Vertex;

namespace {

class Polygons : public GlideFixture {
 protected:
  void SetUp() override {
    GlideFixture::SetUp();
    FlatState();
    grBufferClear(0, 0, 0);
  }
  static int Green(uint16_t p) { return (p >> 5) & 63; }
};

TEST_F(Polygons, PlanarPolygonsUseTheFirstTrianglesGradients) {
  // Green 0 at the top, 252 at the bottom-left only: not a plane. The fan's second triangle
  // (0, 2, 3) keeps the first triangle's slopes, which have no vertical change along the right
  // edge, so its bottom-left stays dark in the planar version.
  GrVertex q[4] = {Vertex(0, 0, 0, 0, 0), Vertex(64, 0, 0, 0, 0), Vertex(64, 64, 0, 0, 0),
                   Vertex(0, 64, 0, 252, 0)};
  grDrawPolygonVertexList(4, q);
  const int fanned = Green(Pixel(4, 60));
  grBufferClear(0, 0, 0);
  grDrawPlanarPolygonVertexList(4, q);
  const int planar = Green(Pixel(4, 60));
  EXPECT_GT(fanned, 40);
  EXPECT_EQ(planar, 0);
  // Pixels of the first triangle are the same either way.
  EXPECT_EQ(Green(Pixel(60, 4)), 0);
}

TEST_F(Polygons, LowerLeftOriginFlipsRowsButNotTheClipWindow) {
  grSstOrigin(GR_ORIGIN_LOWER_LEFT);
  GrVertex p = Vertex(10.5f, 2.5f);
  grDrawPoint(&p);
  std::vector<uint16_t> px = Read();
  EXPECT_NE(px[(480 - 3) * 640 + 10], 0) << "y = 2 counts from the bottom";
  grBufferClear(0, 0, 0);
  grClipWindow(0, 0, 640, 100);  // the top 100 rows of the screen
  GrVertex q[4] = {Vertex(0, 0), Vertex(640, 0), Vertex(640, 480), Vertex(0, 480)};
  grDrawPolygonVertexList(4, q);
  px = Read();
  EXPECT_NE(px[50 * 640 + 5], 0);
  EXPECT_EQ(px[150 * 640 + 5], 0);
  grSstOrigin(GR_ORIGIN_UPPER_LEFT);
}

TEST_F(Polygons, CullModesDropOneWinding) {
  GrVertex cw[3] = {Vertex(0, 0), Vertex(20, 0), Vertex(0, 20)};  // clockwise on screen
  GrVertex ccw[3] = {Vertex(40, 0), Vertex(40, 20), Vertex(60, 0)};
  struct Case {
    int mode;
    bool cwDrawn, ccwDrawn;
  };
  for (const Case c : {Case{GR_CULL_DISABLE, true, true}, Case{GR_CULL_NEGATIVE, true, false},
                       Case{GR_CULL_POSITIVE, false, true}}) {
    grBufferClear(0, 0, 0);
    grCullMode(c.mode);
    grDrawTriangle(&cw[0], &cw[1], &cw[2]);
    grDrawTriangle(&ccw[0], &ccw[1], &ccw[2]);
    EXPECT_EQ(Pixel(4, 4) != 0, c.cwDrawn) << "mode " << c.mode;
    EXPECT_EQ(Pixel(44, 4) != 0, c.ccwDrawn) << "mode " << c.mode;
  }
  // Zero-area triangles draw nothing.
  grCullMode(GR_CULL_DISABLE);
  grBufferClear(0, 0, 0);
  GrVertex line[3] = {Vertex(0, 0), Vertex(50, 50), Vertex(100, 100)};
  grDrawTriangle(&line[0], &line[1], &line[2]);
  for (uint16_t p : Read()) ASSERT_EQ(p, 0);
}

TEST_F(Polygons, ClippedTrianglesMatchScissoredOnesInsideTheWindow) {
  // A large Gouraud triangle reaching far outside the clip window: drawn through the clipper it
  // covers the same pixels as the scissored triangle, with colours within one step.
  grClipWindow(100, 80, 300, 260);
  GrVertex a = Vertex(-400, 60, 255, 0, 0), b = Vertex(500, 120, 0, 255, 0), c = Vertex(150, 900, 0, 0, 255);
  grDrawTriangle(&a, &b, &c);
  const std::vector<uint16_t> scissored = Read();
  grBufferClear(0, 0, 0);
  guDrawTriangleWithClip(&a, &b, &c);
  const std::vector<uint16_t> clipped = Read();
  int differentCoverage = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const uint16_t s = scissored[y * 640 + x], k = clipped[y * 640 + x];
      const bool inside = x >= 100 && x < 300 && y >= 80 && y < 260;
      if (!inside) {
        ASSERT_EQ(k, 0) << x << "," << y;
      }
      if ((s != 0) != (k != 0)) {
        ++differentCoverage;
        continue;
      }
      ASSERT_LE(std::abs((s >> 11) - (k >> 11)), 1) << x << "," << y;
      ASSERT_LE(std::abs(Green(s) - Green(k)), 1) << x << "," << y;
      ASSERT_LE(std::abs((s & 31) - (k & 31)), 1) << x << "," << y;
    }
  }
  // Snapped intersections may move an edge pixel where the edge crosses the window border.
  EXPECT_LE(differentCoverage, 8);
  // Entirely inside: drawn as is (trivial accept).
  grBufferClear(0, 0, 0);
  GrVertex d = Vertex(120.3f, 90.7f), e = Vertex(200, 100), f = Vertex(150, 200);
  guDrawTriangleWithClip(&d, &e, &f);
  const std::vector<uint16_t> accepted = Read();
  grBufferClear(0, 0, 0);
  grDrawTriangle(&d, &e, &f);
  EXPECT_EQ(accepted, Read());
}

}  // namespace
