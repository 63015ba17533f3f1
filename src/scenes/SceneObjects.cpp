#include "scenes/SceneObjects.h"

int LoadSceneObject(const char* fileName, float scale, P3dObject* object) {
  ObjectScale = scale;
  if (object->vertices != nullptr) ReleaseP3d(object);
  if (LoadP3d(fileName, object) != 0) return 1;
  if (object->vertexCount > kPointScratchSize) {
    ReleaseP3d(object);
    return 1;
  }
  return 0;
}

int LoadSceneObjects(std::span<const SceneObjectFile> files) {
  for (const SceneObjectFile& file : files) {
    if (LoadSceneObject(file.name, file.scale, file.object) != 0) return 1;
  }
  ObjectScale = 1.0f;
  return 0;
}
