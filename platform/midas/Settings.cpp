#include "Settings.h"

#include <cstring>

namespace midas {

OutputSetting ParseOutputSetting(const char* value) {
  OutputSetting setting;
  if (value == nullptr || *value == '\0' || std::strcmp(value, "device") == 0) return setting;
  if (std::strcmp(value, "silent") == 0) {
    setting.kind = OutputSetting::kSilent;
  } else if (std::strncmp(value, "wav:", 4) == 0 && value[4] != '\0') {
    setting.kind = OutputSetting::kWav;
    setting.path = value + 4;
  } else {
    setting.kind = OutputSetting::kInvalid;
  }
  return setting;
}

ConfigSetting ParseConfigSetting(const char* value) {
  if (value == nullptr || *value == '\0') return ConfigSetting::kAsk;
  if (std::strcmp(value, "ok") == 0) return ConfigSetting::kOk;
  if (std::strcmp(value, "silent") == 0) return ConfigSetting::kSilent;
  if (std::strcmp(value, "cancel") == 0) return ConfigSetting::kCancel;
  return ConfigSetting::kInvalid;
}

}  // namespace midas
