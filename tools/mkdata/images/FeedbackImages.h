// The source textures of the two feedback scenes, each a 256 x 256 paletted CEL drawn through a
// palette file of its own, with index 0 black: the key colour, keyed out wherever it is drawn.
//  - "tunnel.cel" + "tunnel.pal": a round metal plate on black: eight steel blades on dark navy,
//    a glowing seam beside each, a bright rim and a dark hole at the centre; its turning copies,
//    streaming outwards, make the twisting walls of a tunnel. Palette: a cold metallic ramp and
//    a hot accent ramp.
//  - "fire.cel" + "fire.pal": flame noise whose rows 128 ... 144 hold the brightest, most broken
//    band (the scenes sample only there); black gaps between the flames. Palette: black, deep
//    red, orange, yellow, white.
#pragma once

#include "kit/Quantize.h"

namespace mkdata {

// The tile; the keyed corners and nothing else use index 0.
IndexedImage MakeTunnelTile();
// The flame texture; index 0 where no flame burns.
IndexedImage MakeFireTexture();

// Palette entries of the tunnel's two ramps.
inline constexpr int kTunnelMetalFirst = 1;
inline constexpr int kTunnelMetalLast = 191;
inline constexpr int kTunnelHotFirst = 192;
inline constexpr int kTunnelHotLast = 255;

}  // namespace mkdata
