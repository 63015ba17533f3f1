// Modules (MOD, S3M and the other formats the decoder knows) behind a small decoder interface:
// the libopenmpt back end (ModuleOpenmpt.cpp) and a null twin that accepts nothing.
#pragma once

#include "Mixer.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace midas {

struct ModuleInfo {
  std::string title;
  std::string type;  // short format name, "mod", "s3m", ...
  int channels = 0;
  int orders = 0;
  int patterns = 0;
  int instruments = 0;
};

struct ModulePosition {
  int order = 0;
  int pattern = 0;
  int row = 0;
  unsigned songLoops = 0;  // times the song wrapped back to an earlier order
};

class ModuleStream : public MusicStream {
 public:
  virtual ModulePosition Position() const = 0;
  // Jumps to the start of order `order`; false if there is no such order.
  virtual bool SetOrder(int order) = 0;
};

class ModuleDecoder {
 public:
  virtual ~ModuleDecoder() = default;
  // Validates a module held in memory and describes it. Throws Error: kInvalidModule for data
  // the decoder does not take, kUnexpectedEof for a MOD or S3M cut short.
  virtual ModuleInfo Probe(std::span<const uint8_t> bytes) = 0;
  // A player for an already probed module, rendering at mixRate. loop: the song repeats
  // forever, else it ends after one pass. stereoSeparation: 0 (mono) .. 64 (full).
  virtual std::unique_ptr<ModuleStream> Open(std::span<const uint8_t> bytes, int mixRate, bool loop,
                                             int stereoSeparation) = 0;
};

std::unique_ptr<ModuleDecoder> MakeOpenmptDecoder();
std::unique_ptr<ModuleDecoder> MakeNullDecoder();

// libopenmpt plays truncated modules without a word, where MIDAS stopped at the short read.
// For MOD (known signatures at 1080) and S3M ("SCRM" at 44) this checks that every pattern and
// sample the headers declare lies inside the file; throws Error(kUnexpectedEof) if not. Other
// formats, and data that is neither, pass unchecked.
void CheckModuleComplete(std::span<const uint8_t> bytes);

}  // namespace midas
