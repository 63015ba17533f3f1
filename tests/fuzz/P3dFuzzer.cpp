// libFuzzer harness for the P3D reader: any bytes must give 0 or 1 without touching memory out of
// bounds or leaking, and a loaded object must hold only indices inside its own arrays.
//   p3d_fuzzer -max_len=4096 corpus/ (build: tests/fuzz/CMakeLists.txt)
#include "geom/P3d.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

// Names starting with 'x' fail to load, as a missing file would; the rest get ids from a counter.
TextureId FuzzLoader(const char* name) {
  static TextureId next = 0;
  if (name[0] == 'x') return -1;
  next = (next + 1) & 127;
  return next;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  P3dObject object{};
  ObjectScale = 1.0f;
  const int result =
      LoadP3dText(std::string_view(reinterpret_cast<const char*>(data), size), &object, FuzzLoader);
  if (result != 0 && result != 1) std::abort();
  if (result == 0) {
    if (object.textureCount < 0 || object.textureCount > kP3dMaxTextures) std::abort();
    for (int32_t i = 0; i < object.faceCount; ++i) {
      const P3dFace& f = object.faces[i];
      for (int32_t v : {f.vertex0, f.vertex1, f.vertex2}) {
        if (v < 0 || v >= object.vertexCount) std::abort();
      }
      if (f.textureId < 0) std::abort();
    }
    for (int32_t i = 0; i < object.vertexCount; ++i) {
      if (object.vertices[i].w != 1.0f) std::abort();
    }
    ReleaseP3d(&object);
  }
  return 0;
}
