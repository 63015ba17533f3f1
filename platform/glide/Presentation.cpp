// The presenting side of grBufferSwap: pacing to the retrace, then the shown frame goes to the
// presenter and to every recorder that is on, then the shared frame clock counts it.
#include "Presentation.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "Pacer.h"
#include "PresentGamma.h"
#include "PresentRecord.h"
#include "PresentSdl.h"
#include "PresentSettings.h"
#include "PresentVideo.h"
#include "platform/FrameClock.h"
#include "platform/SdlVideo.h"

namespace glide {
namespace {

// Frames in the video advance the sound track by 1/60 s each (the WAV output's clock), so the
// video's rate stays 60 whatever the display's refresh rate.
constexpr int kVideoRateHz = 60;

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
  std::unique_ptr<SdlPresenter> presenter;
  std::unique_ptr<HashLog> hashes;
  std::string captureDirectory;
  FrameList captureFrames;
  std::unique_ptr<VideoPipe> video;
  std::vector<uint8_t> rgb;  // the shown frame as packed RGB after gamma
};

PresentationState State;
bool ExitHandlerInstalled = false;

void Warn(const std::string& message) { std::fprintf(stderr, "glide: %s\n", message.c_str()); }

const char* Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

// The pacing settings, read on first use so that a swap before grSstWinOpen is paced too.
void ReadPacingSettings() {
  std::string error;
  State.intervalOverride = ParseSwapInterval(Env("FX_GLIDE_SWAPINTERVAL"), &error);
  if (!error.empty()) Warn(error);
  const char* refresh = Env("SST_SCREENREFRESH");
  State.rateHz = RetraceRateHz(refresh);
  if (refresh != nullptr && std::to_string(State.rateHz) != refresh) {
    Warn(std::string("SST_SCREENREFRESH=") + refresh + " is not one of 60, 72, 75, 85, 120; using 60 Hz");
  }
  State.pacer = std::make_unique<SwapPacer>(State.rateHz, SwapPacer::Clock::now());
}

void ReadGammaSetting() {
  const char* text = Env("SST_GAMMA");
  State.gammaOverride.reset();
  if (text == nullptr) return;
  float gamma = 0;
  if (ParseGamma(text, &gamma)) {
    State.gammaOverride = gamma;
  } else {
    Warn(std::string("SST_GAMMA=") + text + " is not a number from 0.1 to 10; using the application's gamma");
  }
}

const DisplayTable& Table() {
  const float gamma = State.gammaOverride.value_or(State.gamma);
  if (!State.table || State.table->Gamma() != gamma) State.table = std::make_unique<DisplayTable>(gamma);
  return *State.table;
}

// Each opener returns false when its output was asked for and could not be opened.
bool OpenPresenter() {
  std::string error;
  const std::optional<PresenterKind> asked = ParsePresenterKind(Env("GLIDE_PRESENT"), &error);
  if (!error.empty()) Warn(error);
  if (asked == PresenterKind::kNone) return true;  // no need to look for a display
  const bool display = platform::DisplayAvailable();
  const PresenterKind kind = asked.value_or(display ? PresenterKind::kFullscreen : PresenterKind::kNone);
  if (kind == PresenterKind::kNone) return true;
  if (!display) {
    Warn(std::string("GLIDE_PRESENT=") + Env("GLIDE_PRESENT") + " needs a display and there is none; showing nothing");
    return false;
  }
  State.presenter = SdlPresenter::Open(kind, State.width, State.height, State.rateHz, &error);
  if (!State.presenter) {
    Warn(error + "; showing nothing");
    return false;
  }
  return true;
}

bool OpenHashLog() {
  const char* path = Env("GLIDE_FRAME_HASHES");
  if (path == nullptr) return true;
  std::string error;
  State.hashes = HashLog::Open(path, &error);
  if (!State.hashes) Warn(error);
  return State.hashes != nullptr;
}

bool OpenCapture() {
  const char* directory = Env("GLIDE_CAPTURE");
  const char* frames = Env("GLIDE_CAPTURE_FRAMES");
  if (directory == nullptr) {
    if (frames != nullptr) Warn("GLIDE_CAPTURE_FRAMES is set but GLIDE_CAPTURE names no directory; nothing is captured");
    return true;
  }
  std::vector<std::string> errors;
  State.captureFrames = FrameList::Parse(frames, &errors);
  for (const std::string& error : errors) Warn("GLIDE_CAPTURE_FRAMES: " + error);
  if (State.captureFrames.Empty()) {
    Warn("GLIDE_CAPTURE is set but GLIDE_CAPTURE_FRAMES lists no frame; nothing is captured");
    return false;
  }
  std::error_code code;
  std::filesystem::create_directories(directory, code);
  if (!std::filesystem::is_directory(directory, code)) {
    Warn(std::string("cannot make the capture directory ") + directory + "; nothing is captured");
    return false;
  }
  State.captureDirectory = directory;
  return true;
}

bool OpenVideo() {
  const char* path = Env("GLIDE_VIDEO");
  if (path == nullptr) return true;
  std::string error;
  State.video = VideoPipe::Start(VideoEncoderCommand(path, State.width, State.height, kVideoRateHz), path, &error);
  if (!State.video) Warn(error + "; GLIDE_VIDEO=" + path + " is not written");
  return State.video != nullptr;
}

// Recorders are finished at exit too, so that a run ended by exit() still leaves a whole video.
void FinishRecordersAtExit() {
  State.video.reset();
  State.hashes.reset();
}

void Show(const uint16_t* front, int interval) {
  const bool vsync = interval == 1 && State.presenter && State.presenter->VsyncPaces();
  if (interval > 0 && !vsync) State.pacer->WaitForSwap(interval);
  if (State.presenter && !State.presenter->Show(front, Table(), vsync)) {
    State.presenter.reset();  // the program's window has been destroyed
  }
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

void Record(const uint16_t* front, uint64_t frame) {
  const size_t pixels = static_cast<size_t>(State.width) * static_cast<size_t>(State.height);
  if (State.hashes) State.hashes->Write(frame, FrameHash(front, pixels));
  const bool capture = !State.captureDirectory.empty() && State.captureFrames.Contains(frame);
  const bool video = State.video && !State.video->Failed();
  if (!capture && !video) return;
  State.rgb.resize(pixels * 3);
  Table().ToRgb24(front, static_cast<int>(pixels), State.rgb.data());
  if (capture) {
    std::string error;
    if (!WritePng(CapturePath(State.captureDirectory, frame), State.rgb.data(), State.width, State.height, &error)) {
      Warn(error);
    }
  }
  if (video) State.video->Write(State.rgb.data(), State.rgb.size());
}

}  // namespace

bool OpenPresentation(int width, int height) {
  ClosePresentation();
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) {
    Warn("cannot present a " + std::to_string(width) + " x " + std::to_string(height) + " frame");
    return false;
  }
  if (!ExitHandlerInstalled) {
    ExitHandlerInstalled = true;
    std::atexit(FinishRecordersAtExit);
  }
  State.width = width;
  State.height = height;
  ReadPacingSettings();
  ReadGammaSetting();
  bool ok = OpenPresenter();
  ok = OpenHashLog() && ok;
  ok = OpenCapture() && ok;
  ok = OpenVideo() && ok;
  State.open = true;
  return ok;
}

void PresentFrame(const uint16_t* front, int interval) {
  if (!State.pacer) ReadPacingSettings();
  if (State.intervalOverride) interval = *State.intervalOverride;
  if (interval < 0) interval = 0;
  if (State.open && front != nullptr) {
    Show(front, interval);
    Record(front, platform::FrameCount());
  } else if (interval > 0) {
    State.pacer->WaitForSwap(interval);
  }
  platform::AdvanceFrame();
}

void ClosePresentation() {
  State.open = false;
  State.presenter.reset();
  State.hashes.reset();
  State.video.reset();
  State.captureDirectory.clear();
  State.captureFrames = FrameList();
  State.pacer.reset();
  State.rgb = std::vector<uint8_t>();
}

void SetPresentationGamma(float gamma) {
  if (!(gamma >= 0.1f && gamma <= 10.0f)) {
    Warn("display gamma " + std::to_string(gamma) + " is outside 0.1 to 10; ignored");
    return;
  }
  State.gamma = gamma;
}

}  // namespace glide
