// The tunnel: a small tile turning back and forth at the centre of the working area is painted
// at quarter opacity every frame, while the feedback quad magnifies the previous working image
// about the centre, so that the tile's copies stream outwards as the walls of a tunnel. The scene
// starts the music "go.s3m", which plays on through the fire and the fractal.
#include "log/DebugLog.h"
#include "audio/AudioService.h"
#include "scenes/FeedbackRenderer.h"
#include "scenes/Scenes.h"
#include "scenes/ScreenQuad.h"

#include <cmath>

namespace {

constexpr float kCentre = 128.0f;     // the tile's centre in the working area, in pixels
constexpr float kTileHalf = 8.0f;     // the tile is 16 pixels wide ...
constexpr float kTileStretch = 1.2f;  // ... and 1.2 times as high

// The tile turned by PhaseA about the centre, its corners snapped to 1/16 pixel.
void TurnTile(GrVertex* quad, const PhasePair& phases) {
  const float u = std::sin(phases.first);
  const float w = std::cos(phases.first);
  const float p = kTileHalf * (u - w);
  const float q = kTileHalf * (u + w);
  const float xs[4] = {p, q, -p, -q};
  const float ys[4] = {-kTileStretch * q, kTileStretch * p, kTileStretch * q, -kTileStretch * p};
  for (int i = 0; i < 4; ++i) {
    quad[i].x = SnapToSixteenth(xs[i], kCentre);
    quad[i].y = SnapToSixteenth(ys[i], kCentre);
  }
}

// Texels 16 ... 239 of the previous image spread over the whole area: it grows by 255/223 about
// the centre every frame.
constexpr FeedbackScene kTunnel{
    "start:tunnel\n",
    "tunnel.pal",
    "tunnel.cel",
    500,
    true,
    255.0f,
    {{0.0f, 0.0f, 16.0f, 16.0f, 255.0f},
     {255.0f, 0.0f, 239.0f, 16.0f, 255.0f},
     {0.0f, 255.0f, 16.0f, 239.0f, 255.0f},
     {255.0f, 255.0f, 239.0f, 239.0f, 255.0f}},
    {{0.0f, 0.0f, 0.0f, 0.0f, 64.0f},
     {0.0f, 0.0f, 255.0f, 0.0f, 64.0f},
     {0.0f, 0.0f, 255.0f, 255.0f, 64.0f},
     {0.0f, 0.0f, 0.0f, 255.0f, 64.0f}},
    nullptr,
    TurnTile,
};

FeedbackState Tunnel;

}  // namespace

void TunnelInit() {
  FeedbackInit(Tunnel, kTunnel);
  StartSceneMusic({"go.s3m", 4, true, false});
}

int32_t TunnelFrame() { return FeedbackFrame(Tunnel, kTunnel); }

const FeedbackState& TunnelFeedbackState() { return Tunnel; }
