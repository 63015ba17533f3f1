// The presenting side of grBufferSwap: pacing to the retrace, then the shown frame goes to the
// presenter and to every recorder that is on, then the shared frame clock counts it.
#include "Presentation.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "Misuse.h"
#include "Pacer.h"
#include "PresentGamma.h"
#include "PresentRecord.h"
#include "PresentSdl.h"
#include "PresentVideo.h"
#include "Settings.h"
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
  std::unique_ptr<LineLog> hashes;
  std::unique_ptr<LineLog> swaps;
  std::string captureDirectory;
  FrameList captureFrames;
  std::unique_ptr<VideoPipe> video;
  std::unique_ptr<Yuv420Converter> yuv;  // for the display table's gamma `yuvGamma`
  float yuvGamma = 0;
  std::vector<uint8_t> rgb;         // a captured frame as packed RGB after gamma
  std::vector<uint8_t> videoFrame;  // the shown frame as the encoder takes it
};

PresentationState State;
bool ExitHandlerInstalled = false;

// The pacing settings, read on first use so that a swap before grSstWinOpen is paced too.
void ReadPacingSettings() {
  State.intervalOverride = SwapIntervalSetting();
  State.rateHz = RetraceRateSetting();
  State.pacer = std::make_unique<SwapPacer>(State.rateHz, SwapPacer::Clock::now(), PacingSetting());
}

const DisplayTable& Table() {
  const float gamma = State.gammaOverride.value_or(State.gamma);
  if (!State.table || State.table->Gamma() != gamma) State.table = std::make_unique<DisplayTable>(gamma);
  return *State.table;
}

// Each opener returns false when its output was asked for and could not be opened.
bool OpenPresenter() {
  const std::optional<PresenterKind> asked = PresenterSetting();
  if (asked == PresenterKind::kNone) return true;  // no need to look for a display
  const bool display = platform::DisplayAvailable();
  const PresenterKind kind = asked.value_or(display ? PresenterKind::kFullscreen : PresenterKind::kNone);
  if (kind == PresenterKind::kNone) return true;
  if (!display) {
    Warn("GLIDE_PRESENT=%s needs a display and there is none; showing nothing", PresenterName(kind));
    return false;
  }
  std::string error;
  State.presenter = SdlPresenter::Open(kind, State.width, State.height, State.rateHz, &error);
  if (!State.presenter) {
    Warn("%s; showing nothing", error.c_str());
    return false;
  }
  return true;
}

bool OpenLineLog(const char* path, const char* what, bool flushEachLine, std::unique_ptr<LineLog>& log) {
  if (path == nullptr) return true;
  std::string error;
  log = LineLog::Open(path, what, flushEachLine, &error);
  if (!log) Warn("%s", error.c_str());
  return log != nullptr;
}

bool OpenCapture() {
  const char* directory = CaptureDirectorySetting();
  if (directory == nullptr) {
    if (CaptureFramesSet()) Warn("GLIDE_CAPTURE_FRAMES is set but GLIDE_CAPTURE names no directory; nothing is captured");
    return true;
  }
  State.captureFrames = CaptureFramesSetting();
  if (State.captureFrames.Empty()) {
    Warn("GLIDE_CAPTURE is set but GLIDE_CAPTURE_FRAMES lists no frame; nothing is captured");
    return false;
  }
  std::error_code code;
  std::filesystem::create_directories(directory, code);
  if (!std::filesystem::is_directory(directory, code)) {
    Warn("cannot make the capture directory %s; nothing is captured", directory);
    return false;
  }
  State.captureDirectory = directory;
  return true;
}

bool OpenVideo() {
  const char* path = VideoSetting();
  if (path == nullptr) return true;
  std::string error;
  State.video = VideoPipe::Start(VideoEncoderCommand(path, State.width, State.height, kVideoRateHz), path, &error);
  if (!State.video) Warn("%s; GLIDE_VIDEO=%s is not written", error.c_str(), path);
  return State.video != nullptr;
}

// Recorders are finished at exit too, so that a run ended by exit() still leaves a whole video.
void FinishRecordersAtExit() {
  State.video.reset();
  State.hashes.reset();
  State.swaps.reset();
}

void Show(const uint16_t* front, int interval) {
  const SwapPacer::Clock::time_point due = State.pacer->Due(SwapPacer::Clock::now(), std::max(interval, 1));
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
  if (State.swaps && interval > 0) {
    const auto micros = [](SwapPacer::Clock::duration d) {
      return std::chrono::duration_cast<std::chrono::microseconds>(d).count();
    };
    const SwapPacer::Clock::time_point origin = State.pacer->Origin();
    State.swaps->WriteSwap(platform::FrameCount(), micros(due - origin), micros(SwapPacer::Clock::now() - origin));
  }
}

void Record(const uint16_t* front, uint64_t frame) {
  const size_t pixels = static_cast<size_t>(State.width) * static_cast<size_t>(State.height);
  if (State.hashes) State.hashes->WriteHash(frame, FrameHash(front, pixels));
  const bool capture = !State.captureDirectory.empty() && State.captureFrames.Contains(frame);
  const bool video = State.video && !State.video->Failed();
  if (capture) {
    State.rgb.resize(pixels * 3);
    Table().ToRgb24(front, static_cast<int>(pixels), State.rgb.data());
    std::string error;
    if (!WritePng(CapturePath(State.captureDirectory, frame), State.rgb.data(), State.width, State.height, &error)) {
      Warn("%s", error.c_str());
    }
  }
  if (video) {
    if (!State.yuv || State.yuvGamma != Table().Gamma()) {
      State.yuv = std::make_unique<Yuv420Converter>(Table());
      State.yuvGamma = Table().Gamma();
    }
    State.videoFrame.resize(Yuv420Converter::FrameBytes(State.width, State.height));
    State.yuv->Convert(front, State.width, State.height, State.videoFrame.data());
    State.video->Write(State.videoFrame.data(), State.videoFrame.size());
  }
}

}  // namespace

bool OpenPresentation(int width, int height) {
  ClosePresentation();
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) {
    Warn("cannot present a %d x %d frame", width, height);
    return false;
  }
  if (!ExitHandlerInstalled) {
    ExitHandlerInstalled = true;
    std::atexit(FinishRecordersAtExit);
  }
  State.width = width;
  State.height = height;
  ReadPacingSettings();
  State.gammaOverride = GammaSetting();
  bool ok = OpenPresenter();
  ok = OpenLineLog(FrameHashesSetting(), "frame hash log", true, State.hashes) && ok;
  ok = OpenLineLog(SwapLogSetting(), "swap log", false, State.swaps) && ok;
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
  State.swaps.reset();
  State.video.reset();
  State.captureDirectory.clear();
  State.captureFrames = FrameList();
  State.pacer.reset();
  State.rgb = std::vector<uint8_t>();
}

void SetPresentationGamma(float gamma) {
  if (!(gamma >= 0.1f && gamma <= 10.0f)) {
    Warn("display gamma %s is outside 0.1 to 10; ignored", std::to_string(gamma).c_str());
    return;
  }
  State.gamma = gamma;
}

}  // namespace glide
