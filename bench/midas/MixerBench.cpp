#include "Fixtures.h"
#include "Mixer.h"
#include "Module.h"
#include "Sample.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr std::size_t kBlock = 1024;  // the device output's block

std::shared_ptr<const midas::Sample> Noise(std::size_t frames, int channels) {
  std::vector<float> data(frames * static_cast<std::size_t>(channels));
  uint32_t state = 1;
  for (float& v : data) {
    state = state * 1664525u + 1013904223u;
    v = static_cast<float>(static_cast<int32_t>(state)) / 2147483648.0f * 0.5f;
  }
  return midas::Sample::Make(data, channels, true);
}

// Renders one second of 16-bit output per iteration.
void RenderSecond(benchmark::State& state, midas::Mixer& mixer) {
  std::vector<int16_t> out(2 * kBlock);
  for (auto _ : state) {
    for (std::size_t done = 0; done < kRate; done += kBlock) mixer.RenderS16(out.data(), kBlock);
    benchmark::DoNotOptimize(out.data());
  }
  // Seconds of audio per second of CPU: how many times faster than real time.
  state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_MixOneEffect(benchmark::State& state) {
  midas::Mixer mixer(kRate);
  mixer.SetChannelCount(1);
  mixer.Play(0, Noise(48000, 1), 16000, 64, 0);
  RenderSecond(state, mixer);
}
BENCHMARK(BM_MixOneEffect)->Unit(benchmark::kMicrosecond);

void BM_Mix16ChannelsCubic(benchmark::State& state) {
  midas::Mixer mixer(kRate);
  mixer.SetChannelCount(16);
  for (int ch = 0; ch < 16; ++ch) {
    mixer.Play(ch, Noise(20000 + 1000 * static_cast<std::size_t>(ch), ch % 4 == 3 ? 2 : 1),
               8000 + 2500 * static_cast<unsigned>(ch), 48, (ch % 5) * 32 - 64);
  }
  RenderSecond(state, mixer);
}
BENCHMARK(BM_Mix16ChannelsCubic)->Unit(benchmark::kMicrosecond);

void BM_ModuleThroughMixer(benchmark::State& state) {
  midas::Mixer mixer(kRate);
  mixer.SetChannelCount(4);
  const auto decoder = midas::MakeOpenmptDecoder();
  mixer.AddMusic(decoder->Open(midas_test::TinyS3m(), kRate, true, 64), 64);
  RenderSecond(state, mixer);
}
BENCHMARK(BM_ModuleThroughMixer)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
