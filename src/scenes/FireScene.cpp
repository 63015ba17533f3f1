// The fire: a strip along the bottom of the working area is painted every frame with a band of
// the flame image that jumps from frame to frame, and the feedback quad lifts the previous image
// by one to five rows, narrows it towards the top, sways it sideways and lets its upper part fade,
// so that the material rises as flames. Only the upper 200 rows of the working image are shown;
// the tunnel's music plays on.
#include "scenes/FeedbackRenderer.h"
#include "scenes/Scenes.h"

#include <cmath>

namespace {

constexpr float kFlicker = 100.0f;  // the strip's angles turn 100 times as fast as the phases

// The top edge spans about 259 texels, the bottom one about 255; both sway by up to a texel.
void SwayFlames(GrVertex* quad, const PhasePair& phases) {
  quad[0].tmuvtx[0].sow = -2.0f - std::sin(phases.first);
  quad[1].tmuvtx[0].sow = 257.0f - std::cos(phases.second);
  quad[2].tmuvtx[0].sow = -std::cos(phases.first);
  quad[3].tmuvtx[0].sow = 255.0f + std::sin(phases.second);
}

// A band of about rows 128 ... 144, columns about 0 ... 64 on the left and 160 ... 224 on the
// right, sampled at angles that jump by up to ten radians a frame: the base of the fire flickers.
void FlickerStrip(GrVertex* quad, const PhasePair& phases) {
  const float a = kFlicker * phases.first;
  const float b = kFlicker * phases.second;
  quad[0].tmuvtx[0].sow = 32.0f + 32.0f * std::cos(a);
  quad[0].tmuvtx[0].tow = 136.0f + 8.0f * std::sin(b);
  quad[1].tmuvtx[0].sow = 192.0f + 32.0f * std::sin(b);
  quad[1].tmuvtx[0].tow = 136.0f + 8.0f * std::cos(a);
  quad[2].tmuvtx[0].sow = 192.0f + 32.0f * std::sin(a);
  quad[2].tmuvtx[0].tow = 136.0f + 8.0f * std::sin(b);
  quad[3].tmuvtx[0].sow = 32.0f + 32.0f * std::cos(b);
  quad[3].tmuvtx[0].tow = 136.0f + 8.0f * std::cos(a);
}

// Texture rows 1 ... 255 laid over pixel rows 0 ... 250, the top at alpha 240.
constexpr FeedbackScene kFire{
    "start:fire\n",
    "fire.pal",
    "fire.cel",
    600,
    false,
    200.0f,
    {{0.0f, 0.0f, 0.0f, 1.0f, 240.0f},
     {255.0f, 0.0f, 0.0f, 1.0f, 240.0f},
     {0.0f, 250.0f, 0.0f, 255.0f, 255.0f},
     {255.0f, 250.0f, 0.0f, 255.0f, 255.0f}},
    {{0.0f, 245.0f, 0.0f, 0.0f, 255.0f},
     {255.0f, 245.0f, 0.0f, 0.0f, 255.0f},
     {255.0f, 255.0f, 0.0f, 0.0f, 255.0f},
     {0.0f, 255.0f, 0.0f, 0.0f, 255.0f}},
    SwayFlames,
    FlickerStrip,
};

FeedbackState Fire;

}  // namespace

void FireInit() { FeedbackInit(Fire, kFire); }

int32_t FireFrame() { return FeedbackFrame(Fire, kFire); }

const FeedbackState& FireFeedbackState() { return Fire; }
