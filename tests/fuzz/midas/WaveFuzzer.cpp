// libFuzzer target for the MIDAS stand-in's WAV reader. Not part of the CTest run; build with
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I platform/midas \
//     tests/fuzz/midas/WaveFuzzer.cpp platform/midas/WaveFile.cpp platform/midas/Errors.cpp \
//     platform/midas/Sample.cpp -o wave_fuzzer
// and run ./wave_fuzzer from the repository root.
#include "Errors.h"
#include "Sample.h"
#include "WaveFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const midas::PcmData pcm = midas::ParseWave({data, size});
    if (pcm.channels != 1 && pcm.channels != 2) std::abort();
    if (pcm.frames() == 0) std::abort();
    for (float v : pcm.interleaved) {
      if (!(v >= -1.0f && v < 1.0f)) std::abort();
    }
    midas::Sample::Make(pcm.interleaved, pcm.channels, true);
  } catch (const midas::Error&) {
  }
  return 0;
}
