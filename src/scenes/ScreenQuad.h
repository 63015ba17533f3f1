// Screen quads: four GrVertex corners of a screen-space rectangle in the order top-left,
// top-right, bottom-right, bottom-left, drawn with grDrawPlanarPolygonVertexList(4, quad).
// Rectangles are given relative to the screen centre (320, 240). Every scene keeps its own
// quads; these are the operations that fill, move, scale and turn them.
#pragma once

#include "geom/Projection.h"

#include <glide.h>

// A rectangle of texels: s0..s1 across, t0..t1 down.
struct TexelWindow {
  float s0, t0, s1, t1;
};

// The general fill every named quad below is made of. Corners (x0, y0), (x1, y0), (x1, y1),
// (x0, y1) plus the centre; texture corners (s0, t0), (s1, t0), (s1, t1), (s0, t1) divided by
// w; z = w, oow = 1/w, r = g = b = 0, a = alpha. Every other field is zeroed.
void FillScreenQuad(GrVertex* quad, float x0, float y0, float x1, float y1, float w, float alpha,
                    const TexelWindow& window);

// The whole texture with its top row at t = 1, at depth w: s 0..255, t 1..255, pre-divided.
void SetScreenQuad(GrVertex* quad, float x0, float y0, float x1, float y1, float w, float alpha);

// A flat quad (w = 1) showing texture columns 0..255 and the 60 rows from t0 (t0..t0 + 59).
void SetCenteredQuad(GrVertex* quad, float x0, float y0, float x1, float y1, float alpha, float t0);

// Rewrites only the corners: (k x0, k y0) .. (k x1, k y1) about the centre, and oow = 1.
void SetScaledScreenQuad(GrVertex* quad, float x0, float y0, float x1, float y1, float k);

// Sets z = w and oow = 1/w on all corners and re-divides the texture corners of SetScreenQuad
// for that w (the s of corners 0 and 3 stays 0).
void SetScreenQuadDepth(GrVertex* quad, float w);

// Adds (dx, dy) to every corner.
void MoveScreenQuad(GrVertex* quad, float dx, float dy);

// Scales every corner about the screen centre.
void ScaleScreenQuad(GrVertex* quad, float sx, float sy);

// Snaps a coordinate given relative to `centre` to 1/16 pixel and adds the centre: the sum with
// 2^19 + centre is rounded to single precision, where one unit in the last place is 1/16, and
// 2^19 is taken away again. `centre` must be a whole number below 2^18.
float SnapToSixteenth(float offset, float centre);

// Rewrites only x and y: each corner (cx, cy) of the rectangle, in corner order, turned by
// `angle` radians and scaled by `scale` about the centre, each coordinate snapped to 1/16 pixel.
void RotateScaleScreenQuad(GrVertex* quad, float x0, float y0, float x1, float y1, float angle, float scale);

// RotateScaleScreenQuad at scale 1.
void RotateScreenQuad(GrVertex* quad, float x0, float y0, float x1, float y1, float angle);

// Sets the alpha of all four corners.
void SetQuadAlpha(GrVertex* quad, float alpha);

// Sets z on all four corners (what the quad's layer stands for; the W-buffer goes by oow).
void SetQuadZ(GrVertex* quad, float z);

// Flat quads in whole screen pixels, not about the centre: at w = 1, with ooz and the texture's
// w 1 too, colourless, at `alpha`, every other field zeroed. SetQuadCorners and SetQuadTexels
// place them.
void FillFlatQuad(GrVertex* quad, float alpha);

// Corners (x0, y0), (x1, y0), (x1, y1), (x0, y1) in screen pixels.
void SetQuadCorners(GrVertex* quad, float x0, float y0, float x1, float y1);

// Texture corners (s0, t0), (s1, t0), (s1, t1), (s0, t1) as given: for quads at w = 1.
void SetQuadTexels(GrVertex* quad, const TexelWindow& window);

// Moves one side of a quad at w = 1 to screen column x, showing texel column s there: the left
// side is corners 0 and 3, the right side corners 1 and 2. A wipe moves one side frame by frame.
void SetQuadLeftSide(GrVertex* quad, float x, float s);
void SetQuadRightSide(GrVertex* quad, float x, float s);

// Draws the quad as one planar polygon.
inline void DrawScreenQuad(const GrVertex* quad) { grDrawPlanarPolygonVertexList(4, quad); }
