// The presenting side's environment: which presenter, which frames to capture, the swap
// interval override. Parsed into values here so the rules can be tested without SDL or files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace glide {

enum class PresenterKind { kNone, kFullscreen, kWindow };

// GLIDE_PRESENT: "fullscreen", "window" or "none"; unset or empty means the default (fullscreen
// where a display exists). Anything else is reported in `error` and means the default.
std::optional<PresenterKind> ParsePresenterKind(const char* text, std::string* error);

// FX_GLIDE_SWAPINTERVAL: an integer that replaces every swap's interval, negative meaning 0.
// Unset or empty: no override. Junk is reported in `error` and ignored.
std::optional<int> ParseSwapInterval(const char* text, std::string* error);

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

}  // namespace glide
