// A loaded sample as the mixer reads it: float planes with guard frames around the data, so
// that cubic interpolation reads four neighbours without a branch, wrapping across the loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace midas {

class Sample {
 public:
  // Frames of guard before and after the data: the interpolator reads frames i-1 .. i+2.
  static constexpr std::size_t kGuardBefore = 1;
  static constexpr std::size_t kGuardAfter = 3;

  // `interleaved` holds frames * channels values in -1..1; channels is 1 or 2; frames > 0.
  // A looping sample loops as a whole, [0, frames), as MIDAS loops WAV samples: its guards hold
  // the wrapped neighbours. A one-shot sample has silent guards.
  static std::shared_ptr<const Sample> Make(const std::vector<float>& interleaved, int channels, bool loop);

  int channels() const { return channels_; }
  uint32_t frames() const { return frames_; }
  bool loops() const { return loop_; }
  // Plane c (0 left/mono, 1 right) pointing at data frame 0; valid from -kGuardBefore to
  // frames + kGuardAfter - 1.
  const float* plane(int c) const { return planes_[c].data() + kGuardBefore; }

 private:
  Sample() = default;
  int channels_ = 1;
  uint32_t frames_ = 0;
  bool loop_ = false;
  std::vector<float> planes_[2];
};

}  // namespace midas
