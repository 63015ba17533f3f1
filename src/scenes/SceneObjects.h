// The objects a 3D scene loads and the scratch array it transforms them into. Every scene that
// draws P3D objects keeps its own PointScratch of kPointScratchSize points; an object with more
// points would be transformed past the array's end, so the load refuses it.
#pragma once

#include "geom/P3d.h"

#include <span>

inline constexpr int32_t kPointScratchSize = 3000;

// ObjectScale = scale, then LoadP3d, refusing (and releasing) an object larger than a point
// scratch array. An object loaded again first releases its old arrays. 0 on success, 1 on failure.
int LoadSceneObject(const char* fileName, float scale, P3dObject* object);

struct SceneObjectFile {
  const char* name;
  float scale;
  P3dObject* object;
};

// LoadSceneObject for each file in turn, stopping at the first that fails (1: ObjectScale is
// left at its scale). After the last, ObjectScale is back at 1.0 and the result is 0.
int LoadSceneObjects(std::span<const SceneObjectFile> files);
