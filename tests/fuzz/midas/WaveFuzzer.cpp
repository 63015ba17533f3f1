// libFuzzer harness for the MIDAS stand-in's WAV reader: any bytes give PCM data in range or a
// MIDAS error, never a crash (build: tests/fuzz/CMakeLists.txt).
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
