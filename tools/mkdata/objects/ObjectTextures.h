// The textures the 3D objects name: the figure's material ramps, the planet's surface and cloud
// layer, the temple's weathered stone and roof tiles in shades, and one small metal swatch shared
// by the objects whose own texture is never shown.
#pragma once

#include "kit/Image.h"

#include <string>
#include <vector>

namespace mkdata {

struct NamedImage {
  std::string name;  // CEL file name, as the objects name it
  Image image;
};

// Every object texture, in a fixed order.
std::vector<NamedImage> ObjectTextures();

}  // namespace mkdata
