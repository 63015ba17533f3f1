// P3D objects: a plain-text list of texture image names, vertices and textured triangles, read at
// scene start into a caller-owned P3dObject. The loader maps the file's axes to the renderers'
// view axes, scales by ObjectScale and loads every named texture through LoadCelRgb565.
//
// The file: a texture count T (the rest of its line is ignored); T lines, each one texture file
// name (the whole line, at most 99 characters); a vertex count V and V triples of reals a b c; a
// face count F and F faces "t  i0 u0 v0  i1 u1 v1  i2 u2 v2" (texture index, then per corner a
// vertex index and texture coordinates in 0 ... 1). Integers may be decimal, 0x hexadecimal or
// 0-prefixed octal; CR LF line ends read as line ends.
#pragma once

#include "geom/Matrix.h"
#include "gfx/Display.h"

#include <cstdint>
#include <string_view>

inline constexpr int kP3dMaxTextures = 16;
inline constexpr int kP3dMaxNameLength = 99;
// Counts beyond these are refused as absurd before anything is allocated.
inline constexpr int32_t kP3dMaxVertices = 1 << 20;
inline constexpr int32_t kP3dMaxFaces = 1 << 21;

struct P3dFace {
  float texU0, texU1, texU2;  // Glide texel units, 0 ... 255 across (file u * 255)
  float texV0, texV1, texV2;  // (1 - file v) * 255
  int32_t vertex0, vertex1, vertex2;  // corners in drawing order
  TextureId textureId;                // already resolved through the object's textureIds
};

struct P3dObject {
  int32_t textureCount;
  int32_t vertexCount;
  int32_t faceCount;
  TextureId textureIds[kP3dMaxTextures];  // the first textureCount entries are set
  P3dFace* faces;                         // faceCount records, owned by the object
  Vertex4* vertices;                      // vertexCount records in object space, w = 1.0
};

// Global scale applied by the next LoadP3d, set by the calling scene. 1.0 at start.
extern float ObjectScale;

using P3dTextureLoader = TextureId (*)(const char* fileName);

// Loads `fileName` into `object`: 0 on success, 1 on failure. On success the object's arrays are
// new and the object owns them (the program never frees them; ReleaseP3d exists for tools and
// tests). First clamps ObjectScale: a value outside 0.1 ... 20.0 (or not a number) becomes 1.0
// and stays so. Then, with s = ObjectScale, a vertex a b c becomes x = 2sa, y = -2sc, z = 2sb.
// Failures:
//  - file missing or unreadable, or a file that breaks the format (a count that cannot be read,
//    is negative or absurd, more than 16 textures, a name longer than 99 characters, a texture
//    or vertex index out of range, a number that cannot be read, premature end): the object is
//    left untouched and no texture is loaded;
//  - a texture that fails to load: loading stops there; textureCount and the ids loaded so far
//    are written, the vertex and face fields are not touched.
int LoadP3d(const char* fileName, P3dObject* object);

// The same with another texture loader (LoadP3d uses LoadCelRgb565).
int LoadP3d(const char* fileName, P3dObject* object, P3dTextureLoader loadTexture);

// The same on the file's bytes already in memory (as the file reads in binary mode).
int LoadP3dText(std::string_view text, P3dObject* object, P3dTextureLoader loadTexture);

// Frees the arrays of an object that LoadP3d filled and clears its counts and pointers.
void ReleaseP3d(P3dObject* object);
