// Reflection-mapped drawing of a transformed P3D object: texture coordinates come from surface
// normals instead of the file, so the selected reflection image seems mirrored by the surface.
// Expects the caller's Glide state: a texture selected, W-buffer with depth writes, texture
// alpha times iterated alpha, TEXTURE_ADD_ITRGB colour, blend (SRC_ALPHA, ZERO).
#pragma once

#include "geom/Matrix.h"
#include "geom/P3d.h"

// View space: the eye looks along +z from 200 units behind the origin, x right, y down.
inline constexpr float kReflectionEyeDistance = 200.0f;

// Smooth: every vertex's normal is the average of the normals of the faces around it. `points`
// holds the object's vertices transformed to view space; `alpha` 0..255 fades the object.
void DrawEnvMappedObject(const Vertex4* points, const P3dObject* object, float alpha);

// Faceted: one normal per face, two of its corners pulled towards the centre of the image.
void DrawFaceMappedObject(const Vertex4* points, const P3dObject* object, float alpha);
