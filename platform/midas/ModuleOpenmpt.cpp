// The libopenmpt back end of the module decoder. libopenmpt objects are not thread-safe; each
// stream is touched only under the stand-in's lock.
#include "Errors.h"
#include "Module.h"

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cstring>
#include <future>
#include <map>
#include <new>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace midas {
namespace {

// libopenmpt logs to a stream; the stand-in reports through error codes instead.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
};

std::ostream& NullLog() {
  static NullBuffer buffer;
  static std::ostream log(&buffer);
  return log;
}

std::unique_ptr<openmpt::module> Load(std::span<const uint8_t> bytes) {
  if (bytes.empty()) throw Error(kUnexpectedEof);
  CheckModuleComplete(bytes);
  try {
    // Without the sub-song scan, which plays the whole song through once at load (tens of
    // milliseconds, spent twice in a scene's init) to serve seeking by time that nothing uses.
    return std::make_unique<openmpt::module>(bytes.data(), bytes.size(), NullLog(),
                                             std::map<std::string, std::string>{{"load.skip_subsongs_init", "1"}});
  } catch (const std::bad_alloc&) {
    throw Error(kOutOfMemory);
  } catch (const std::exception&) {
    throw Error(kInvalidModule);
  }
}

class OpenmptStream final : public ModuleStream {
 public:
  OpenmptStream(std::unique_ptr<openmpt::module> module, int mixRate)
      : module_(std::move(module)), mixRate_(mixRate) {}

  std::size_t Render(float* stereo, std::size_t frames) override {
    // In short steps, so that every return to an earlier point of the song (a loop) is seen.
    constexpr std::size_t kStep = 1024;
    std::size_t done = 0;
    while (done < frames) {
      const std::size_t want = std::min(frames - done, kStep);
      const std::size_t got = module_->read_interleaved_stereo(mixRate_, want, stereo + 2 * done);
      done += got;
      const long place = Place();
      if (place < lastPlace_) ++songLoops_;
      lastPlace_ = place;
      if (got < want) break;
    }
    return done;
  }

  ModulePosition Position() const override {
    ModulePosition position;
    position.order = module_->get_current_order();
    position.pattern = module_->get_current_pattern();
    position.row = module_->get_current_row();
    position.songLoops = songLoops_;
    return position;
  }

  bool SetOrder(int order) override {
    if (order < 0 || order >= module_->get_num_orders()) return false;
    module_->set_position_order_row(order, 0);
    lastPlace_ = Place();
    return true;
  }

 private:
  // Order and row as one number: it only goes down when the song jumps back, i.e. loops.
  long Place() const {
    return static_cast<long>(module_->get_current_order()) * 1024 + module_->get_current_row();
  }

  std::unique_ptr<openmpt::module> module_;
  int mixRate_;
  long lastPlace_ = 0;  // order and row of the last render, see Place
  unsigned songLoops_ = 0;
};

// The smallest module libopenmpt takes: a 31-sample MOD with one empty pattern.
std::vector<uint8_t> MinimalModule() {
  std::vector<uint8_t> bytes(1084 + 64 * 4 * 4, 0);
  bytes[950] = 1;  // song length: one order, pattern 0
  std::memcpy(&bytes[1080], "M.K.", 4);
  return bytes;
}

class OpenmptDecoder final : public ModuleDecoder {
 public:
  // libopenmpt sets up its shared tables with the first module a process loads, about 20 ms of
  // one core, which would land in the init of the first scene that starts a song and make it
  // miss a retrace. A minimal module loaded on a thread of its own when the decoder is made does
  // it meanwhile; every load waits for that first.
  // In a web page without threads the first load does it: there std::async's failure to start a
  // thread would wait for ever.
  OpenmptDecoder() {
#if !defined(__EMSCRIPTEN__) || defined(__EMSCRIPTEN_PTHREADS__)
    try {
      warmUp_ = std::async(std::launch::async, [] {
        try {
          Load(MinimalModule());
        } catch (const Error&) {
        }
      });
    } catch (const std::exception&) {
      // No thread to spare: the first load does the set-up itself.
    }
#endif
  }

  ModuleInfo Probe(std::span<const uint8_t> bytes) override {
    WaitForWarmUp();
    const auto module = Load(bytes);
    ModuleInfo info;
    info.title = module->get_metadata("title");
    info.type = module->get_metadata("type");
    info.channels = module->get_num_channels();
    info.orders = module->get_num_orders();
    info.patterns = module->get_num_patterns();
    info.instruments = std::max(module->get_num_instruments(), module->get_num_samples());
    if (info.channels <= 0) throw Error(kInvalidModule);
    return info;
  }

  std::unique_ptr<ModuleStream> Open(std::span<const uint8_t> bytes, int mixRate, bool loop,
                                     int stereoSeparation) override {
    WaitForWarmUp();
    auto module = Load(bytes);
    try {
      module->set_repeat_count(loop ? -1 : 0);
      module->set_render_param(openmpt::module::RENDER_STEREOSEPARATION_PERCENT,
                               std::clamp(stereoSeparation, 0, 64) * 100 / 64);
      // A song that is not looped stops at its end instead of fading out.
      module->ctl_set_text("play.at_end", "stop");
    } catch (const std::exception&) {
      throw Error(kInvalidModule);
    }
    return std::make_unique<OpenmptStream>(std::move(module), mixRate);
  }

 private:
  void WaitForWarmUp() {
    if (warmUp_.valid()) warmUp_.get();
  }

  std::future<void> warmUp_;
};

}  // namespace

std::unique_ptr<ModuleDecoder> MakeOpenmptDecoder() { return std::make_unique<OpenmptDecoder>(); }

}  // namespace midas
