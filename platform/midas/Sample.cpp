#include "Sample.h"

#include <cassert>

namespace midas {

std::shared_ptr<const Sample> Sample::Make(const std::vector<float>& interleaved, int channels, bool loop) {
  assert(channels == 1 || channels == 2);
  const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels);
  assert(frames > 0);
  std::shared_ptr<Sample> sample(new Sample());
  sample->channels_ = channels;
  sample->frames_ = static_cast<uint32_t>(frames);
  sample->loop_ = loop;
  for (int c = 0; c < channels; ++c) {
    std::vector<float>& plane = sample->planes_[c];
    plane.assign(kGuardBefore + frames + kGuardAfter, 0.0f);
    for (std::size_t i = 0; i < frames; ++i) {
      plane[kGuardBefore + i] = interleaved[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)];
    }
    if (loop) {
      // Whole-sample loop: frame -1 is the last frame, frames past the end restart at 0.
      // Modulo covers samples shorter than the guard.
      for (std::size_t g = 1; g <= kGuardBefore; ++g) {
        plane[kGuardBefore - g] = plane[kGuardBefore + (frames - (g % frames)) % frames];
      }
      for (std::size_t g = 0; g < kGuardAfter; ++g) {
        plane[kGuardBefore + frames + g] = plane[kGuardBefore + g % frames];
      }
    }
  }
  return sample;
}

}  // namespace midas
