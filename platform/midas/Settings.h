// The stand-in's environment, read here and nowhere else:
//   MIDAS_OUTPUT = device | silent | wav:PATH   (unset or empty: device)
//   MIDAS_CONFIG = ok | silent | cancel          (unset or empty: ask where a display exists)
// The Parse functions hold the rules and read nothing; the Read functions read the variable
// when they are called and warn about a value they do not understand, as
// "MIDAS: NAME=VALUE is not ...".
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

// MIDAS_OUTPUT at MIDASinit; kInvalid (after the warning) makes MIDASinit fail.
OutputSetting ReadOutputSetting();
// MIDAS_CONFIG at MIDASconfig; a value not understood means kAsk (after the warning).
ConfigSetting ReadConfigSetting();

}  // namespace midas
