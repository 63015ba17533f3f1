#include "Settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "Misuse.h"
#include "RasterQueue.h"
#include "platform/Text.h"

namespace glide {
namespace {

using platform::Trim;

// A non-negative decimal number below 2^63 filling all of `text`.
bool ParseFrameNumber(std::string_view text, uint64_t* value) {
  if (text.empty() || text.size() > 19) return false;
  uint64_t result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + static_cast<uint64_t>(c - '0');
  }
  if (result > uint64_t{INT64_MAX}) return false;
  *value = result;
  return true;
}

const char* Text(const char* name) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? text : nullptr;
}

template <typename T>
std::optional<T> Read(const char* name, std::optional<T> (*parse)(const char*, std::string*)) {
  const char* text = Text(name);
  std::string error;
  const std::optional<T> value = parse(text, &error);
  if (!error.empty()) Warn("%s=%s %s", name, text, error.c_str());
  return value;
}

}  // namespace

std::optional<PresenterKind> ParsePresenterKind(const char* text, std::string* error) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  for (PresenterKind kind : {PresenterKind::kFullscreen, PresenterKind::kWindow, PresenterKind::kNone}) {
    if (std::strcmp(text, PresenterName(kind)) == 0) return kind;
  }
  *error = "is not one of fullscreen, window, none; using the default";
  return std::nullopt;
}

const char* PresenterName(PresenterKind kind) {
  switch (kind) {
    case PresenterKind::kFullscreen: return "fullscreen";
    case PresenterKind::kWindow: return "window";
    case PresenterKind::kNone: break;
  }
  return "none";
}

std::optional<int> ParseSwapInterval(const char* text, std::string* error) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || !Trim(end).empty() || errno != 0) {
    *error = "is not a whole number; ignored";
    return std::nullopt;
  }
  if (value < 0) return 0;
  return value > 1000 ? 1000 : static_cast<int>(value);
}

std::optional<int> ParseRetraceRate(const char* text, std::string* error) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  for (int rate : {60, 72, 75, 85, 120}) {
    if (std::to_string(rate) == text) return rate;
  }
  *error = "is not one of 60, 72, 75, 85, 120; using 60 Hz";
  return std::nullopt;
}

std::optional<Pacing> ParsePacing(const char* text, std::string* error) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  if (std::string_view(text) == "keep-up") return Pacing::kKeepUp;
  if (std::string_view(text) == "board") return Pacing::kBoard;
  *error = "is not keep-up or board; using keep-up";
  return std::nullopt;
}

std::optional<float> ParseGamma(const char* text, std::string* error) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  while (*end == ' ' || *end == '\t') ++end;
  if (errno != 0 || *end != '\0' || !(value >= 0.1 && value <= 10.0)) {
    *error = "is not a number from 0.1 to 10; using the application's gamma";
    return std::nullopt;
  }
  return static_cast<float>(value);
}

std::optional<uint32_t> ParseTextureMemorySize(const char* text, std::string* error) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  char* end = nullptr;
  const long mib = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || mib < 1 || mib > 4 || mib == 3) {
    *error = "is not 1, 2 or 4 (MiB); using 2";
    return std::nullopt;
  }
  return static_cast<uint32_t>(mib) << 20;
}

std::optional<SimdLevel> ParseSimdLimit(const char* text, std::string* error) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  // x86-64's baseline is the level below SSE4.
  if (std::strcmp(text, "sse2") == 0) return SimdLevel::kNone;
  for (const SimdLevel level : {SimdLevel::kNone, SimdLevel::kSse4, SimdLevel::kAvx2, SimdLevel::kAvx512,
                                SimdLevel::kNeon, SimdLevel::kWasm}) {
    if (std::strcmp(text, SimdName(level)) == 0) return level;
  }
  *error = "is not one of none, sse2, sse4, avx2, avx512, neon, wasm; using the best level";
  return std::nullopt;
}

std::optional<SimdLevel> CapSimd(SimdLevel cap, const std::vector<SimdLevel>& available) {
  if (cap == SimdLevel::kNone) return cap;
  // The levels of one architecture, weakest first (kNone below them all).
  const auto family = [](SimdLevel level) {
    return level == SimdLevel::kNeon ? 1 : level == SimdLevel::kWasm ? 2 : 0;
  };
  std::optional<SimdLevel> best;
  for (const SimdLevel level : available) {
    if (level == SimdLevel::kNone || family(level) != family(cap)) continue;
    if (!best) best = SimdLevel::kNone;
    if (level <= cap) best = level;
  }
  return best;
}

std::optional<int> ParseThreads(const char* text, std::string* error) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  char* end = nullptr;
  const long threads = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || threads < 1 || threads > 64) {
    *error = "is not a whole number from 1 to 64; using the default";
    return std::nullopt;
  }
  return static_cast<int>(threads);
}

std::optional<int> ParseScale(const char* text, std::string* error) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  if (text[0] >= '1' && text[0] <= '4' && text[1] == '\0') return text[0] - '0';
  *error = "is not 1, 2, 3 or 4; drawing at 640 x 480";
  return 1;
}

bool ParseSwitch(const char* text) { return text != nullptr && *text != '\0' && std::strcmp(text, "0") != 0; }

FrameList FrameList::Parse(const char* text, std::vector<std::string>* errors) {
  FrameList list;
  if (text == nullptr) return list;
  std::string_view rest(text);
  while (true) {
    const size_t comma = rest.find(',');
    const std::string_view entry = Trim(rest.substr(0, comma));
    if (!entry.empty()) {
      const size_t dash = entry.find('-');
      Range range{};
      bool ok;
      if (dash == std::string_view::npos) {
        ok = ParseFrameNumber(entry, &range.first);
        range.last = range.first;
      } else {
        ok = ParseFrameNumber(Trim(entry.substr(0, dash)), &range.first) &&
             ParseFrameNumber(Trim(entry.substr(dash + 1)), &range.last) && range.first <= range.last;
      }
      if (ok) {
        list.ranges_.push_back(range);
      } else {
        errors->push_back("frame list entry \"" + std::string(entry) +
                          "\" is not a frame number or a range FIRST-LAST; skipped");
      }
    }
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return list;
}

bool FrameList::Contains(uint64_t frame) const {
  for (const Range& range : ranges_) {
    if (frame >= range.first && frame <= range.last) return true;
  }
  return false;
}

std::optional<PresenterKind> PresenterSetting() { return Read("GLIDE_PRESENT", ParsePresenterKind); }
std::optional<int> SwapIntervalSetting() { return Read("FX_GLIDE_SWAPINTERVAL", ParseSwapInterval); }
int RetraceRateSetting() { return Read("SST_SCREENREFRESH", ParseRetraceRate).value_or(kDefaultRetraceRateHz); }
Pacing PacingSetting() { return Read("GLIDE_PACING", ParsePacing).value_or(Pacing::kKeepUp); }
std::optional<float> GammaSetting() { return Read("SST_GAMMA", ParseGamma); }

uint32_t TextureMemorySetting() {
  return Read("SST_TMUMEM_SIZE", ParseTextureMemorySize).value_or(kDefaultTextureMemoryBytes);
}

SimdLevel SimdSetting() {
  const std::vector<SimdLevel>& available = AvailableSimd();
  const std::optional<SimdLevel> cap = Read("GLIDE_SIMD", ParseSimdLimit);
  if (!cap) return available.back();
  const std::optional<SimdLevel> level = CapSimd(*cap, available);
  if (!level) {
    Warn("GLIDE_SIMD=%s is not a level of this machine's processor; using %s", SimdName(*cap),
         SimdName(available.back()));
    return available.back();
  }
  return *level;
}

bool NoDitherSubtractSetting() { return ParseSwitch(Text("FX_GLIDE_NO_DITHER_SUB")); }
bool StatsSetting() { return ParseSwitch(Text("GLIDE_STATS")); }
int ThreadsSetting() {
  const int threads = Read("GLIDE_THREADS", ParseThreads).value_or(DefaultRasterThreads());
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  // A web page's WebAssembly without shared memory starts no threads: the page's one draws.
  if (threads > 1 && Text("GLIDE_THREADS") != nullptr) {
    Warn("GLIDE_THREADS=%d: this build has no threads; drawing on one", threads);
  }
  return 1;
#else
  return threads;
#endif
}
std::optional<int> ScaleSetting() { return Read("GLIDE_SCALE", ParseScale); }
const char* FrameHashesSetting() { return Text("GLIDE_FRAME_HASHES"); }
const char* CaptureDirectorySetting() { return Text("GLIDE_CAPTURE"); }
const char* VideoSetting() { return Text("GLIDE_VIDEO"); }
const char* SwapLogSetting() { return Text("GLIDE_SWAP_LOG"); }
bool CaptureFramesSet() { return Text("GLIDE_CAPTURE_FRAMES") != nullptr; }

FrameList CaptureFramesSetting() {
  std::vector<std::string> errors;
  FrameList list = FrameList::Parse(Text("GLIDE_CAPTURE_FRAMES"), &errors);
  for (const std::string& error : errors) Warn("GLIDE_CAPTURE_FRAMES: %s", error.c_str());
  return list;
}

}  // namespace glide
