// The presentation's 3D objects as meshes, each with the texture names it carries, and how the
// scenes that show them scale and project them.
#pragma once

#include "objects/Mesh.h"

#include <string>
#include <vector>

namespace mkdata {

inline constexpr int kMaxObjectVertices = 3000;  // every scene transforms into 3000 points

struct ObjectEntry {
  std::string file;       // "vexol.p3d"
  Mesh (*make)();
  bool closed;            // every edge shared by exactly two faces
  float scale;            // the smallest ObjectScale a scene loads it with
  float eyeDistance;      // how far behind the object's origin the scene puts the eye
};

// Every object file the presentation reads, in a fixed order.
const std::vector<ObjectEntry>& ObjectCatalog();

Mesh MakeVexol();
Mesh MakeTeapot();
Mesh MakeTorus();
Mesh MakeKnot();
Mesh MakeShapeBlob();
Mesh MakeShapeStarPrism();
Mesh MakeShapeSpiky();
Mesh MakeShapeHelix();
Mesh MakeShapeRoundedCube();
Mesh MakeShapeRibbon();
Mesh MakePlanet();
Mesh MakeClouds();
Mesh MakePlane();
Mesh MakeTemple();
Mesh MakeLight();
Mesh MakeLiteball();

// The figure's texture is a set of shading ramps, one column per material; the figure's texture
// coordinates pick the column and, through a fixed light, the height in it.
inline constexpr int kVexolMaterials = 4;  // body, accent, joints, glow
// The temple's stone comes in shades: texture k of kTempleShades is stone at brightness k.
inline constexpr int kTempleShades = 8;
inline constexpr int kTempleRoofShades = 4;

}  // namespace mkdata
