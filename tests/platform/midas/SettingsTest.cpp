// The stand-in's two variables: what each text means, and the one warning for a text that is not
// understood.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Settings.h"

namespace {

using midas::ConfigSetting;
using midas::OutputSetting;

TEST(MidasSettings, OutputTexts) {
  for (const char* device : {static_cast<const char*>(nullptr), "", "device"}) {
    EXPECT_EQ(midas::ParseOutputSetting(device).kind, OutputSetting::kDevice) << (device ? device : "unset");
  }
  EXPECT_EQ(midas::ParseOutputSetting("silent").kind, OutputSetting::kSilent);
  const OutputSetting wav = midas::ParseOutputSetting("wav:/tmp/a b.wav");
  EXPECT_EQ(wav.kind, OutputSetting::kWav);
  EXPECT_EQ(wav.path, "/tmp/a b.wav");
  for (const char* bad : {"wav:", "wav", "WAV:x.wav", "Device", "silent "}) {
    EXPECT_EQ(midas::ParseOutputSetting(bad).kind, OutputSetting::kInvalid) << bad;
  }
}

TEST(MidasSettings, ConfigTexts) {
  EXPECT_EQ(midas::ParseConfigSetting(nullptr), ConfigSetting::kAsk);
  EXPECT_EQ(midas::ParseConfigSetting(""), ConfigSetting::kAsk);
  EXPECT_EQ(midas::ParseConfigSetting("ok"), ConfigSetting::kOk);
  EXPECT_EQ(midas::ParseConfigSetting("silent"), ConfigSetting::kSilent);
  EXPECT_EQ(midas::ParseConfigSetting("cancel"), ConfigSetting::kCancel);
  EXPECT_EQ(midas::ParseConfigSetting("OK"), ConfigSetting::kInvalid);
}

TEST(MidasSettings, ReadersWarnOnceWithNameAndValue) {
  const std::string savedConfig = std::getenv("MIDAS_CONFIG") ? std::getenv("MIDAS_CONFIG") : "";
  setenv("MIDAS_OUTPUT", "wav:out.wav", 1);
  setenv("MIDAS_CONFIG", "silent", 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(midas::ReadOutputSetting().path, "out.wav");
  EXPECT_EQ(midas::ReadConfigSetting(), ConfigSetting::kSilent);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  setenv("MIDAS_OUTPUT", "speakers", 1);
  setenv("MIDAS_CONFIG", "maybe", 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(midas::ReadOutputSetting().kind, OutputSetting::kInvalid);
  EXPECT_EQ(midas::ReadConfigSetting(), ConfigSetting::kAsk) << "a text not understood asks";
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "MIDAS: MIDAS_OUTPUT=speakers is not device, silent or wav:PATH\n"
            "MIDAS: MIDAS_CONFIG=maybe is not ok, silent or cancel; asking instead\n");
  unsetenv("MIDAS_OUTPUT");
  setenv("MIDAS_CONFIG", savedConfig.c_str(), 1);
}

}  // namespace
