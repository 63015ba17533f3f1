// Frame feedback: the scheme the tunnel and fire scenes are built on. The scene works in a
// 256 x 256 working area at the top-left of the back buffer. Every frame it draws the previous
// working image back into the area through a slightly distorted quad (black keyed out), paints
// new material over it with a textured source quad, reads the area back into system memory, and
// shows the working image of the frame before stretched over the whole screen with a fade. What
// was read back is uploaded as the feedback texture at the start of the next frame.
//
// Each scene owns one FeedbackState and describes itself with one FeedbackScene; the two are
// never shared between scenes.
#pragma once

#include "gfx/Display.h"
#include "scenes/PhasePair.h"

#include <glide.h>

#include <cstddef>
#include <cstdint>
#include <memory>

inline constexpr int kWorkingSide = 256;                                          // pixels
inline constexpr size_t kCapturePixels = static_cast<size_t>(kWorkingSide) * kWorkingSide;
inline constexpr FxU32 kCaptureBytes = static_cast<FxU32>(kCapturePixels * 2);    // RGB565: 131072

// One corner of a quad as the scenes give it: position in pixels of the working area or the
// screen, texture position in texels, vertex alpha 0 ... 255.
struct FeedbackCorner {
  float x, y, s, t, a;
};

// What makes a feedback scene: its files, its length, its fade, its two quads and their motion.
struct FeedbackScene {
  const char* startLine;     // logged by init
  const char* paletteFile;   // the palette the source texture is drawn through
  const char* celFile;       // the source texture, a paletted square CEL
  int32_t length;            // L: the scene shows frames n = 0 ... L
  bool fadeOnEvenFramesOnly;  // otherwise the fade follows every frame
  float displayHeight;       // T: texture rows 0 ... T fill the screen
  // Initial corners; the feedback quad is drawn as triangles (0, 1, 2) and (2, 1, 3), the source
  // quad as the polygon 0, 1, 2, 3.
  FeedbackCorner feedbackQuad[4];
  FeedbackCorner sourceQuad[4];
  // Per-frame motion from the phase pair, applied just before each quad is drawn; a null
  // feedback motion leaves that quad as it is.
  void (*moveFeedbackQuad)(GrVertex* quad, const PhasePair& phases);
  void (*moveSourceQuad)(GrVertex* quad, const PhasePair& phases);
};

// Everything one feedback scene keeps between frames.
struct FeedbackState {
  std::unique_ptr<uint16_t[]> capture;  // the working area read back, 256 rows of 256 RGB565 pixels
  FxU32 feedbackAddress = 0;            // the bottom of TMU 0 memory
  GrTexInfo feedbackTexture{};          // the capture as a 256 x 256 RGB565 texture
  TextureId source = -1;
  GrVertex feedbackQuad[4]{};
  GrVertex sourceQuad[4]{};
  GrVertex displayQuad[4]{};
  int32_t frame = 0;                    // the scene's frame, n above
  PhasePair phases;                     // 0 at program start; init leaves them alone
};

// Where capture buffers come from: zero-filled memory for kCapturePixels pixels, or null when
// none can be had. Replaceable so that a refusal can be exercised.
using CaptureAllocator = std::unique_ptr<uint16_t[]> (*)();
extern CaptureAllocator AllocateCaptureBuffer;

// Starts a feedback scene: resets texture memory, logs the start line, allocates the capture,
// places the feedback texture at the bottom of TMU 0 memory and the source texture above it,
// fills the quads and sets the render state. When the capture cannot be allocated or the source
// texture cannot be loaded, the scene is marked over so that its first frame ends it.
void FeedbackInit(FeedbackState& state, const FeedbackScene& scene);

// Draws, captures, shows and swaps one frame; returns nonzero once frame L has been shown (or at
// once, drawing nothing, when init could not start the scene).
int32_t FeedbackFrame(FeedbackState& state, const FeedbackScene& scene);

// The two feedback scenes' states, to look at (what was captured, the frame counter).
const FeedbackState& TunnelFeedbackState();
const FeedbackState& FireFeedbackState();
