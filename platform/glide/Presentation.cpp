// The presenting side of grBufferSwap: pacing to the retrace, then the shown frame goes to every
// sink that is open, then the shared frame clock counts it.
#include "Presentation.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Misuse.h"
#include "Pacer.h"
#include "PresentGamma.h"
#include "PresentRecord.h"
#include "PresentSink.h"
#include "PresentVideo.h"
#include "PresentWindow.h"
#include "Settings.h"
#include "platform/FrameClock.h"

namespace glide {
namespace {

struct PresentationState {
  bool open = false;
  int width = 0;
  int height = 0;
  int rateHz = 60;
  std::optional<int> intervalOverride;  // FX_GLIDE_SWAPINTERVAL
  std::optional<float> gammaOverride;   // SST_GAMMA
  float gamma = kDefaultGamma;          // grGammaCorrectionValue
  std::unique_ptr<SwapPacer> pacer;
  std::unique_ptr<DisplayTable> table;
  std::vector<std::unique_ptr<FrameSink>> sinks;  // in the order they take each frame
};

PresentationState State;
bool ExitHandlerInstalled = false;

// The pacing settings, read on first use so that a swap before grSstWinOpen is paced too.
void ReadPacingSettings() {
  State.intervalOverride = SwapIntervalSetting();
  State.rateHz = RetraceRateSetting();
  State.pacer = std::make_unique<SwapPacer>(State.rateHz, SwapPacer::Clock::now(), PacingSetting());
}

// The interval a swap asked for with `interval` is paced to: FX_GLIDE_SWAPINTERVAL's where it is
// set, never below 0 (unpaced).
int SwapInterval(int interval) {
  if (!State.pacer) ReadPacingSettings();
  if (State.intervalOverride) interval = *State.intervalOverride;
  return std::max(interval, 0);
}

const DisplayTable& Table() {
  const float gamma = State.gammaOverride.value_or(State.gamma);
  if (!State.table || State.table->Gamma() != gamma) State.table = std::make_unique<DisplayTable>(gamma);
  return *State.table;
}

// Keeps a sink that opened; reports one that failed. False when it failed.
bool Keep(OpenedSink sink) {
  if (sink.Failed()) {
    Warn("%s", sink.error.c_str());
    return false;
  }
  if (sink.opened) State.sinks.push_back(std::move(sink.opened));
  return true;
}

// Every sink the environment asks for, in the order they take a frame: the window first, so
// that the frame is on the display before anything is written, and the swap log next, so that
// it times the frame's arrival there.
bool OpenSinks() {
  bool ok = Keep(OpenWindow(PresenterSetting(), State.width, State.height, State.rateHz));
  if (const char* path = SwapLogSetting()) ok = Keep(OpenSwapLog(path)) && ok;
  if (const char* path = FrameHashesSetting()) ok = Keep(OpenHashLog(path)) && ok;
  if (const char* directory = CaptureDirectorySetting()) {
    ok = Keep(OpenCapture(directory, CaptureFramesSetting())) && ok;
  } else if (CaptureFramesSet()) {
    Warn("GLIDE_CAPTURE_FRAMES is set but GLIDE_CAPTURE names no directory; nothing is captured");
  }
  if (const char* path = VideoSetting()) ok = Keep(OpenVideo(path, State.width, State.height)) && ok;
  return ok;
}

// The sinks are closed at exit too, so that a run ended by exit() still leaves a whole video.
void CloseSinksAtExit() { State.sinks.clear(); }

bool VsyncPaces() {
  return std::any_of(State.sinks.begin(), State.sinks.end(), [](const auto& sink) { return sink->VsyncPaces(); });
}

// Waits for the swap's retrace (unless a window's vsync will), then hands the frame to every
// sink, closing those that can take no more.
void Show(const uint16_t* front, int stride, int interval) {
  const SwapPacer::Clock::time_point due = State.pacer->Due(SwapPacer::Clock::now(), std::max(interval, 1));
  const bool vsync = interval == 1 && VsyncPaces();
  if (interval > 0 && !vsync) State.pacer->WaitForSwap(interval);
  const ShownFrame frame{front, State.width, State.height, stride, platform::FrameCount(), Table(),
                         vsync, interval > 0, due, State.pacer->Origin()};
  std::erase_if(State.sinks, [&frame](const auto& sink) { return !sink->Take(frame); });
  if (vsync) {
    // A present that did not wait for the retrace (vsync ignored, window minimised) must not
    // let the program run ahead: the next frame starts no earlier than the retrace grid allows.
    const SwapPacer::Clock::time_point now = SwapPacer::Clock::now();
    if (State.pacer->TooSoon(now)) {
      State.pacer->WaitForSwap(1);
    } else {
      State.pacer->NoteSwap(now);
    }
  }
}

}  // namespace

int DisplayScale(int width, int height, int most) {
  // Read quietly: opening the sinks reports a value it cannot use.
  std::string ignored;
  return DisplayScale(ParsePresenterKind(std::getenv("GLIDE_PRESENT"), &ignored), width, height, most);
}

bool OpenPresentation(int width, int height) {
  ClosePresentation();
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) {
    Warn("cannot present a %d x %d frame", width, height);
    return false;
  }
  if (!ExitHandlerInstalled) {
    ExitHandlerInstalled = true;
    std::atexit(CloseSinksAtExit);
  }
  State.width = width;
  State.height = height;
  ReadPacingSettings();
  State.gammaOverride = GammaSetting();
  const bool ok = OpenSinks();
  State.open = true;
  return ok;
}

void PresentFrame(const uint16_t* front, int stride, int interval) {
  interval = SwapInterval(interval);
  if (State.open && front != nullptr) {
    Show(front, stride, interval);
  } else if (interval > 0) {
    State.pacer->WaitForSwap(interval);
  }
  platform::AdvanceFrame();
}

std::chrono::nanoseconds FrameBudget(int interval) {
  interval = SwapInterval(interval);
  return std::chrono::duration_cast<std::chrono::nanoseconds>(State.pacer->Period() * interval);
}

void ClosePresentation() {
  State.open = false;
  State.sinks.clear();
  State.pacer.reset();
}

void SetPresentationGamma(float gamma) {
  if (!(gamma >= 0.1f && gamma <= 10.0f)) {
    Warn("display gamma %s is outside 0.1 to 10; ignored", std::to_string(gamma).c_str());
    return;
  }
  State.gamma = gamma;
}

}  // namespace glide
