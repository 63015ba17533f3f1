// GLIDE_VIDEO: every shown frame, after gamma, converted to the encoder's Y'CbCr 4:2:0 and piped
// to an ffmpeg process that encodes it to a file. A missing or failing encoder is reported once;
// the run goes on.
#pragma once

#include <sys/types.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PresentLevels.h"
#include "PresentSink.h"
#include "platform/Opened.h"

namespace glide {

class DisplayTable;

// RGB565 frames to planar Y'CbCr 4:2:0 (BT.601, limited range: what H.264 players assume for a
// picture of this size), after the display table's gamma. Converting here costs a fraction of the
// encoder's own conversion from packed RGB. In integer arithmetic from each channel's displayed
// level, so the AVX2 path (sixteen pixels at a time, levels held in registers) and the per-value
// table give the same bytes.
class Yuv420Converter {
 public:
  explicit Yuv420Converter(const DisplayTable& display);

  // Bytes of one converted width x height frame: the Y plane, then Cb and Cr at half size
  // (rounded up).
  static size_t FrameBytes(int width, int height);
  // Each chroma sample is the mean of its 2 x 2 pixels (sited at their centre, and tagged so).
  // `stride`: pixels a row of src (0: width).
  void Convert(const uint16_t* src, int width, int height, uint8_t* dst, int stride = 0) const;

 private:
  std::vector<uint8_t> luma_;  // per RGB565 value
  // The display table's level of each 5-bit (red and blue) and 6-bit (green) channel value.
  std::array<uint8_t, 32> fiveBit_;
  std::array<uint8_t, 64> sixBit_;
  PresentSteps steps_{};  // of the SIMD level chosen
};

// The encoder's command line for a width x height yuv420p stream at `rateHz` frames a second.
std::vector<std::string> VideoEncoderCommand(const std::string& path, int width, int height, int rateHz);

// The encoder's standard input, fed from a thread of its own: the drawing thread hands a frame
// over and goes on drawing while the encoder takes the frames before it. Up to kQueuedFrames
// wait (about 15 MB at 640 x 480), so that the encoder never runs dry while a heavy scene is
// drawn and the drawing never waits while the encoder is busy with a light one.
class VideoPipe {
 public:
  // Frames handed over and not yet written before Write waits.
  static constexpr size_t kQueuedFrames = 32;

  // Starts `command` (its first word looked up in PATH) with a pipe on its standard input;
  // `path` names the file it writes in reports.
  static platform::Opened<VideoPipe> Start(const std::vector<std::string>& command, const std::string& path);
  // Closes the pipe and waits for the encoder; reports a failure it has not reported yet.
  ~VideoPipe();
  VideoPipe(const VideoPipe&) = delete;
  VideoPipe& operator=(const VideoPipe&) = delete;

  // Hands one frame over (copied). Once a write has failed (the encoder quit) nothing more is
  // sent; the failure shows in Failed() as soon as the writing thread meets it.
  void Write(const uint8_t* data, size_t bytes);
  bool Failed() const { return failed_.load(std::memory_order_relaxed); }

  // Writes what is queued, closes the pipe and waits; true when every frame was taken and the
  // encoder finished successfully.
  bool Finish();

 private:
  VideoPipe() = default;
  void WriteQueued();
  bool WriteAll(const uint8_t* data, size_t bytes);

  int fd_ = -1;
  pid_t pid_ = -1;
  std::atomic<bool> failed_{false};
  std::string path_;

  std::mutex mutex_;
  std::condition_variable queuedChanged_;
  std::deque<std::vector<uint8_t>> queued_;  // handed over, oldest first
  std::vector<std::vector<uint8_t>> spare_;  // written, kept for reuse
  bool closing_ = false;
  std::thread writer_;
};

// GLIDE_VIDEO: every shown frame, converted for the encoder, through a VideoPipe running
// VideoEncoderCommand into `path`. Fails when the encoder cannot be started.
OpenedSink OpenVideo(const std::string& path, int width, int height);

}  // namespace glide
