// The presentation's three songs, composed in code. Each is built the same way every time.
#pragma once

#include "formats/Song.h"

namespace mkdata::music {

// "go.s3m": 4 channels, A minor, 136 BPM; drives the tunnel, fire and fractal scenes.
Song ComposeGo();
// "ohyea.mod": a 4-channel M.K. MOD, D phrygian, 104 BPM with a swing; the crypt.
Song ComposeOhYea();
// "creature.s3m": 14 channels, E minor, 84 BPM; the temple.
Song ComposeCreature();

}  // namespace mkdata::music
