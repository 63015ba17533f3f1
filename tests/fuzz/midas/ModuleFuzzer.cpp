// libFuzzer harness for module loading through the MIDAS stand-in: the MOD/S3M completeness
// check, then libopenmpt probing and a short render (build: tests/fuzz/CMakeLists.txt).
#include "Errors.h"
#include "Module.h"

#include <cmath>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const auto decoder = midas::MakeOpenmptDecoder();
  try {
    const midas::ModuleInfo info = decoder->Probe({data, size});
    if (info.channels <= 0) std::abort();
    const auto stream = decoder->Open({data, size}, 44100, true, 64);
    std::vector<float> out(2 * 2048);
    stream->Render(out.data(), 2048);
    for (float v : out) {
      if (!std::isfinite(v)) std::abort();
    }
  } catch (const midas::Error&) {
  }
  return 0;
}
