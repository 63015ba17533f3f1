// Runs of PresentFrame with the presenting variables cleared, unpaced unless a test says
// otherwise, in a fresh temporary directory, closed again after each test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Presentation.h"
#include "platform/FrameClock.h"

class PresentationFixture : public testing::Test {
 public:
  static constexpr int kWidth = 32;
  static constexpr int kHeight = 16;

 protected:
  void SetUp() override {
    ClearVariables();
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("FX_GLIDE_SWAPINTERVAL", "0", 1);
    platform::ResetFrameClock();
    dir_ = std::filesystem::temp_directory_path() /
           ("glide_present_" + std::to_string(getpid()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    glide::ClosePresentation();
    glide::SetPresentationGamma(1.7f);
    ClearVariables();
    std::filesystem::remove_all(dir_);
  }

  // The variables the presentation reads.
  static void ClearVariables() {
    for (const char* name : {"GLIDE_PRESENT", "GLIDE_CAPTURE", "GLIDE_CAPTURE_FRAMES", "GLIDE_FRAME_HASHES",
                             "GLIDE_VIDEO", "SST_GAMMA", "FX_GLIDE_SWAPINTERVAL", "GLIDE_SWAP_LOG"}) {
      unsetenv(name);
    }
  }

  // `count` frames, frame i filled with the value i * 0x0841 (a grey ramp).
  void ShowFrames(int count) {
    std::vector<uint16_t> frame(kWidth * kHeight);
    for (int i = 0; i < count; ++i) {
      std::fill(frame.begin(), frame.end(), static_cast<uint16_t>(i * 0x0841));
      glide::PresentFrame(frame.data(), kWidth, 1);
    }
  }

  std::filesystem::path dir_;
};
