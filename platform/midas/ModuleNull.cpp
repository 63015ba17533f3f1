// The null twin of the module decoder: refuses every module as MIDAS refused unknown data.
#include "Errors.h"
#include "Module.h"

namespace midas {
namespace {

class NullDecoder final : public ModuleDecoder {
 public:
  ModuleInfo Probe(std::span<const uint8_t>) override { throw Error(kInvalidModule); }
  std::unique_ptr<ModuleStream> Open(std::span<const uint8_t>, int, bool, int) override {
    throw Error(kInvalidModule);
  }
};

}  // namespace

std::unique_ptr<ModuleDecoder> MakeNullDecoder() { return std::make_unique<NullDecoder>(); }

}  // namespace midas
