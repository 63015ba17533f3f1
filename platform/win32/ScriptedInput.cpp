// WIN32_INPUT: key presses, releases and a window close at chosen frame numbers.
#include <algorithm>
#include <string_view>

#include "Win32Internal.h"
#include "platform/Text.h"

namespace win32 {
namespace {

using platform::Trim;

// A whole unsigned number in decimal, or hexadecimal after "0x"; false past `limit`.
bool ParseNumber(std::string_view text, uint64_t limit, uint64_t* value) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  uint64_t result = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    if (result > (limit - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base)) return false;
    result = result * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  *value = result;
  return true;
}

bool ParseEntry(std::string_view entry, ScriptedEvent* event) {
  const size_t first = entry.find(':');
  if (first == std::string_view::npos) return false;
  uint64_t frame = 0;
  if (!ParseNumber(Trim(entry.substr(0, first)), uint64_t{INT64_MAX}, &frame)) return false;
  std::string_view rest = entry.substr(first + 1);
  const size_t second = rest.find(':');
  const std::string_view action = Trim(rest.substr(0, second));
  event->frame = frame;
  if (action == "close") {
    event->kind = ScriptedEvent::Kind::kClose;
    return second == std::string_view::npos;
  }
  if (action == "down") {
    event->kind = ScriptedEvent::Kind::kDown;
  } else if (action == "up") {
    event->kind = ScriptedEvent::Kind::kUp;
  } else {
    return false;
  }
  if (second == std::string_view::npos) return false;
  uint64_t key = 0;
  if (!ParseNumber(Trim(rest.substr(second + 1)), 254, &key) || key == 0) return false;
  event->virtualKey = static_cast<int>(key);
  return true;
}

}  // namespace

std::vector<ScriptedEvent> ParseScript(const char* text, std::vector<std::string>* errors) {
  std::vector<ScriptedEvent> events;
  if (text == nullptr) return events;
  std::string_view rest(text);
  while (true) {
    const size_t comma = rest.find(',');
    const std::string_view entry = Trim(rest.substr(0, comma));
    if (!entry.empty()) {
      ScriptedEvent event;
      if (ParseEntry(entry, &event)) {
        events.push_back(event);
      } else {
        errors->push_back("WIN32_INPUT entry \"" + std::string(entry) +
                          "\" is not FRAME:down:VK, FRAME:up:VK or FRAME:close; ignored");
      }
    }
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const ScriptedEvent& a, const ScriptedEvent& b) { return a.frame < b.frame; });
  return events;
}

}  // namespace win32
