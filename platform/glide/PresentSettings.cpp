#include "PresentSettings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace glide {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

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

}  // namespace

std::optional<PresenterKind> ParsePresenterKind(const char* text, std::string* error) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  const std::string_view name(text);
  if (name == "fullscreen") return PresenterKind::kFullscreen;
  if (name == "window") return PresenterKind::kWindow;
  if (name == "none") return PresenterKind::kNone;
  *error = "GLIDE_PRESENT=" + std::string(name) + " is not one of fullscreen, window, none; using the default";
  return std::nullopt;
}

std::optional<int> ParseSwapInterval(const char* text, std::string* error) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || !Trim(end).empty() || errno != 0) {
    *error = "FX_GLIDE_SWAPINTERVAL=" + std::string(text) + " is not a whole number; ignored";
    return std::nullopt;
  }
  if (value < 0) return 0;
  return value > 1000 ? 1000 : static_cast<int>(value);
}

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

}  // namespace glide
