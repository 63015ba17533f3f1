// The "objects" generator: every P3D object and the textures they name. Each mesh is checked
// before it is written: a broken object fails the generator instead of reaching a scene.
#include "formats/Cel.h"
#include "Generator.h"
#include "objects/Meshes.h"
#include "objects/ObjectTextures.h"

#include <cstdio>

namespace mkdata {
namespace {

bool WriteObjects(Output& out) {
  bool ok = true;
  for (const ObjectEntry& entry : ObjectCatalog()) {
    const Mesh mesh = entry.make();
    const MeshCheck check = CheckMesh(mesh);
    const bool sound = mesh.vertices.size() <= kMaxObjectVertices && check.badIndices == 0 &&
                       check.degenerateFaces == 0 && check.duplicateFaces == 0 &&
                       (!entry.closed || (check.Closed() && check.volume6 > 0));
    if (!sound) {
      std::fprintf(stderr, "objects: %s is not sound (%zu vertices; %s)\n", entry.file.c_str(),
                   mesh.vertices.size(), check.Describe().c_str());
      ok = false;
      continue;
    }
    ok = out.Write(entry.file, P3dText(mesh)) && ok;
  }
  for (const NamedImage& texture : ObjectTextures()) {
    ok = WriteCel(out, texture.name, texture.image).has_value() && ok;
  }
  return ok;
}

}  // namespace

MKDATA_GENERATOR("objects", WriteObjects);

}  // namespace mkdata
