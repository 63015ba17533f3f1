// Writes a 16-bit stereo PCM WAV file incrementally, with sizes in the header patched after
// every append so the file on disk is always a complete WAV. A pipe or FIFO gets a stream: the
// header once, with the largest sizes (length unknown), then the samples as they come.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/Opened.h"

namespace midas {

class WavWriter {
 public:
  // Creates the file and writes its header; fails when either cannot be done.
  static platform::Opened<WavWriter> Open(const std::string& path, int rate);
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Appends frames and rewrites the header sizes (a stream: flushes them). Returns false once the
  // file is full (a WAV cannot describe more than 4 GiB of data) or a write failed; later
  // appends are dropped.
  bool Append(const int16_t* stereo, std::size_t frames);
  uint64_t frames() const { return frames_; }

 private:
  explicit WavWriter(int rate) : rate_(rate) {}
  void WriteHeader();
  std::FILE* file_ = nullptr;
  int rate_;
  uint64_t frames_ = 0;
  bool failed_ = false;
  bool streaming_ = false;
};

}  // namespace midas
