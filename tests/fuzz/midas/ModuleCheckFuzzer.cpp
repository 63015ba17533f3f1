// libFuzzer harness for the MIDAS stand-in's own module reading: the MOD/S3M completeness check
// that runs before libopenmpt sees a module. Any bytes pass or give kUnexpectedEof, never a crash
// or another error (build: tests/fuzz/CMakeLists.txt).
#include "Errors.h"
#include "Module.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    midas::CheckModuleComplete({data, size});
  } catch (const midas::Error& error) {
    if (error.code() != midas::kUnexpectedEof) std::abort();
  }
  return 0;
}
