// The drawer of P3D objects shown with their own textures (space, crypt, temple): each face's
// transformed corners pushed back by the scene's depth offset, projected with focal length 640
// onto whole pixels, textured with the face's texture coordinates, given one alpha, culled by
// screen area and drawn with grDrawTriangle.
#pragma once

#include "geom/P3d.h"

#include <glide.h>

struct TexturedObjectStyle {
  float depthOffset;  // added to every transformed z (the eye sits this far in front of the origin)
  float nearLimit;    // a face is drawn only when all three shifted z exceed this
  // Each face selects its own texture, also when it is then culled. Off, the texture the caller
  // selected serves every face.
  bool selectFaceTextures = true;
  // A face with a corner right of x 639, below y 439 or at a negative x or y is drawn with
  // guDrawTriangleWithClip instead of grDrawTriangle.
  bool clipOffscreen = false;
};

// Draws `object`, whose points `points` holds transformed, face by face in stored order, every
// corner with r = g = b = 0 and a = alpha. There is no sorting: the depth buffer resolves overlaps.
void DrawTexturedObject(const Vertex4* points, const P3dObject& object, float alpha, const TexturedObjectStyle& style);

// The Glide state the scenes that draw these objects set in init: colour writes without alpha,
// W-buffered depth with `depthFunction` and depth writes, alpha = texture alpha x iterated alpha,
// colour = texture x iterated alpha + iterated RGB, bilinear filtering, nearest mipmapping, no
// chroma key, and a blend that replaces (ONE, ZERO) for the objects drawn first. The space and
// temple scenes name the iterated alpha source first (the later call wins); the crypt does not.
void SetTexturedObjectState(GrCmpFnc_t depthFunction = GR_CMP_LEQUAL, bool iteratedAlphaFirst = true);
