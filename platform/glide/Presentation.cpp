// The presenting side of grBufferSwap: pacing to the retrace, then the shown frame goes to the
// presenter and to every recorder that is on, then the shared frame clock counts it.
#include "Presentation.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Pacer.h"
#include "PresentGamma.h"
#include "PresentSettings.h"
#include "platform/FrameClock.h"

namespace glide {
namespace {

struct PresentationState {
  bool open = false;
  int width = 0;
  int height = 0;
  std::optional<int> intervalOverride;  // FX_GLIDE_SWAPINTERVAL
  std::optional<float> gammaOverride;   // SST_GAMMA
  float gamma = kDefaultGamma;
  std::unique_ptr<SwapPacer> pacer;
};

PresentationState State;

void Warn(const std::string& message) { std::fprintf(stderr, "glide: %s\n", message.c_str()); }

// The pacing settings, read on first use so that a swap before grSstWinOpen is paced too.
void ReadPacingSettings() {
  std::string error;
  State.intervalOverride = ParseSwapInterval(std::getenv("FX_GLIDE_SWAPINTERVAL"), &error);
  if (!error.empty()) Warn(error);
  const char* refresh = std::getenv("SST_SCREENREFRESH");
  const int rate = RetraceRateHz(refresh);
  if (refresh != nullptr && *refresh != '\0' && std::to_string(rate) != refresh) {
    Warn(std::string("SST_SCREENREFRESH=") + refresh + " is not one of 60, 72, 75, 85, 120; using 60 Hz");
  }
  State.pacer = std::make_unique<SwapPacer>(rate, SwapPacer::Clock::now());
}

void ReadGammaSetting() {
  const char* text = std::getenv("SST_GAMMA");
  State.gammaOverride.reset();
  if (text == nullptr || *text == '\0') return;
  float gamma = 0;
  if (ParseGamma(text, &gamma)) {
    State.gammaOverride = gamma;
  } else {
    Warn(std::string("SST_GAMMA=") + text + " is not a number from 0.1 to 10; ignored");
  }
}

}  // namespace

bool OpenPresentation(int width, int height) {
  ClosePresentation();
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) {
    Warn("cannot present a " + std::to_string(width) + " x " + std::to_string(height) + " frame");
    return false;
  }
  State.width = width;
  State.height = height;
  ReadPacingSettings();
  ReadGammaSetting();
  State.open = true;
  return true;
}

void PresentFrame(const uint16_t* front, int interval) {
  if (!State.pacer) ReadPacingSettings();
  if (State.intervalOverride) interval = *State.intervalOverride;
  if (interval > 0) State.pacer->WaitForSwap(interval);
  (void)front;
  platform::AdvanceFrame();
}

void ClosePresentation() {
  State.open = false;
  State.pacer.reset();
}

void SetPresentationGamma(float gamma) {
  if (!(gamma >= 0.1f && gamma <= 10.0f)) {
    Warn("display gamma " + std::to_string(gamma) + " is outside 0.1 to 10; ignored");
    return;
  }
  State.gamma = gamma;
}

}  // namespace glide
