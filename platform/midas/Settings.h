// The stand-in's environment settings, parsed without side effects.
//   MIDAS_OUTPUT = device | silent | wav:PATH   (unset or empty: device)
//   MIDAS_CONFIG = ok | silent | cancel          (unset or empty: ask where a display exists)
#pragma once

#include <string>

namespace midas {

struct OutputSetting {
  enum Kind { kDevice, kSilent, kWav, kInvalid } kind = kDevice;
  std::string path;  // kWav only
};
OutputSetting ParseOutputSetting(const char* value);

enum class ConfigSetting { kAsk, kOk, kSilent, kCancel, kInvalid };
ConfigSetting ParseConfigSetting(const char* value);

}  // namespace midas
