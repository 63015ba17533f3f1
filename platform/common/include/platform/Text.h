// Small text helpers the stand-ins' settings parsers share.
#pragma once

#include <string_view>

namespace platform {

// `text` without the spaces and tabs at either end.
inline std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace platform
