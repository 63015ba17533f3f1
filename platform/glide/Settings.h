// The stand-in's environment, read here and nowhere else. One convention for every variable:
// unset and empty both mean the default, and a value that is not understood means the default
// too, with one warning "glide: NAME=VALUE is not ..." on stderr that says what is used instead.
//
// The Parse functions hold the rules and read nothing (the tests call them directly): they return
// the value a text asks for, or nothing for the default, and say in `error` what is wrong with a
// text they do not understand. The Setting functions read their variable at the moment they are
// called (the context when it is made and at grGlideInit, the presentation at grSstWinOpen and at
// a swap before it) and warn.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Pacer.h"
#include "Raster.h"

namespace glide {

enum class PresenterKind { kNone, kFullscreen, kWindow };

// A set of frame numbers from a list such as "0,35,100-110": single numbers and inclusive
// ranges, separated by commas, spaces allowed around them. Entries that are not of that form
// (junk, negative numbers, reversed ranges, numbers past 2^63) are skipped and listed in
// `errors`, one message each; the rest of the list still counts.
class FrameList {
 public:
  static FrameList Parse(const char* text, std::vector<std::string>* errors);

  bool Contains(uint64_t frame) const;
  bool Empty() const { return ranges_.empty(); }

 private:
  struct Range {
    uint64_t first;
    uint64_t last;
  };
  std::vector<Range> ranges_;
};

// GLIDE_PRESENT: "fullscreen", "window" or "none" (the default: fullscreen where a display exists).
std::optional<PresenterKind> ParsePresenterKind(const char* text, std::string* error);
const char* PresenterName(PresenterKind kind);
// FX_GLIDE_SWAPINTERVAL: a whole number that replaces every swap's interval, negative meaning 0.
std::optional<int> ParseSwapInterval(const char* text, std::string* error);
// SST_SCREENREFRESH: one of the retrace rates the board can be set to, 60, 72, 75, 85 or 120 Hz.
std::optional<int> ParseRetraceRate(const char* text, std::string* error);
// GLIDE_PACING: "keep-up" or "board", how a late swap is met (see Pacer.h).
std::optional<Pacing> ParsePacing(const char* text, std::string* error);
// SST_GAMMA: a display gamma from 0.1 to 10 (the default: the application's).
std::optional<float> ParseGamma(const char* text, std::string* error);
// SST_TMUMEM_SIZE: 1, 2 or 4 MiB of texture memory, returned in bytes.
std::optional<uint32_t> ParseTextureMemorySize(const char* text, std::string* error);
// GLIDE_SIMD: a SIMD level's name (SimdName), a cap on the rasterizer's SIMD level.
std::optional<SimdLevel> ParseSimdLimit(const char* text, std::string* error);
// The best of the `available` levels (AvailableSimd) at or below `cap` within cap's
// architecture (kNone where none is); nothing where the machine has no level of cap's
// architecture.
std::optional<SimdLevel> CapSimd(SimdLevel cap, const std::vector<SimdLevel>& available);
// GLIDE_THREADS: the rasterizer's threads, 1 to 64 (1: no queue, the calling thread draws).
std::optional<int> ParseThreads(const char* text, std::string* error);
// GLIDE_SCALE: the buffers' size in multiples of 640 x 480, 1 to 4.
std::optional<int> ParseScale(const char* text, std::string* error);
// FX_GLIDE_NO_DITHER_SUB: a switch, on for any text but "0".
bool ParseSwitch(const char* text);

inline constexpr int kDefaultRetraceRateHz = 60;
inline constexpr uint32_t kDefaultTextureMemoryBytes = 2u << 20;

std::optional<PresenterKind> PresenterSetting();    // GLIDE_PRESENT
std::optional<int> SwapIntervalSetting();           // FX_GLIDE_SWAPINTERVAL (nothing: the program's)
int RetraceRateSetting();                           // SST_SCREENREFRESH
Pacing PacingSetting();                             // GLIDE_PACING
std::optional<float> GammaSetting();                // SST_GAMMA (nothing: the program's)
uint32_t TextureMemorySetting();                    // SST_TMUMEM_SIZE
SimdLevel SimdSetting();                            // GLIDE_SIMD, never above what the CPU has
bool NoDitherSubtractSetting();                     // FX_GLIDE_NO_DITHER_SUB
bool StatsSetting();                                // GLIDE_STATS
int ThreadsSetting();                               // GLIDE_THREADS (default: the cores, at most 8; 1 in a web page)
// GLIDE_SCALE (nothing when unset: the caller's default; 1 after a value it refuses).
std::optional<int> ScaleSetting();
// The files and the directory the presentation writes to (null when unset).
const char* FrameHashesSetting();                   // GLIDE_FRAME_HASHES
const char* CaptureDirectorySetting();              // GLIDE_CAPTURE
const char* VideoSetting();                         // GLIDE_VIDEO
const char* SwapLogSetting();                       // GLIDE_SWAP_LOG
// GLIDE_CAPTURE_FRAMES: whether it is set, and its list with every skipped entry reported.
bool CaptureFramesSet();
FrameList CaptureFramesSetting();

}  // namespace glide
