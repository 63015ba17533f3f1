#include "Settings.h"

#include <cstdlib>
#include <cstring>

#include "Errors.h"

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

OutputSetting ReadOutputSetting() {
  const char* value = std::getenv("MIDAS_OUTPUT");
  const OutputSetting setting = ParseOutputSetting(value);
  if (setting.kind == OutputSetting::kInvalid) Warn("MIDAS_OUTPUT=%s is not device, silent or wav:PATH", value);
  return setting;
}

ConfigSetting ReadConfigSetting() {
  const char* value = std::getenv("MIDAS_CONFIG");
  const ConfigSetting setting = ParseConfigSetting(value);
  if (setting != ConfigSetting::kInvalid) return setting;
  Warn("MIDAS_CONFIG=%s is not ok, silent or cancel; asking instead", value);
  return ConfigSetting::kAsk;
}

}  // namespace midas
