#include "PresentVideo.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Misuse.h"
#include "PresentGamma.h"
#include "PresentLevels.h"
#include "Settings.h"

extern char** environ;

namespace glide {

namespace {

// A channel's share of Y' in 1/256 of a level: the high half of (level * 256) * weight.
constexpr int LumaShare(int level, uint16_t weight) {
  return static_cast<int>((static_cast<uint32_t>(level) * 256u * weight) >> 16);
}
constexpr uint8_t Luma(int r, int g, int b) {
  return static_cast<uint8_t>((LumaShare(r, kLumaR) + LumaShare(g, kLumaG) + LumaShare(b, kLumaB) + 16 * 256 + 128) >> 8);
}
// A 2 x 2 block's Cb or Cr from its channel sums; the arithmetic shift rounds half up.
constexpr uint8_t ChromaLevel(int sumR, int sumG, int sumB, int16_t wr, int16_t wg, int16_t wb) {
  const int v = wr * sumR + wg * sumG + wb * sumB;
  return static_cast<uint8_t>(std::clamp(128 + ((v + 32768) >> 16), 16, 240));
}

}  // namespace

Yuv420Converter::Yuv420Converter(const DisplayTable& display)
    : luma_(65536), fiveBit_(display.FiveBitLevels()), sixBit_(display.SixBitLevels()) {
  for (uint32_t pixel = 0; pixel < 65536; ++pixel) {
    luma_[pixel] = Luma(fiveBit_[pixel >> 11], sixBit_[(pixel >> 5) & 63], fiveBit_[pixel & 31]);
  }
  steps_ = PresentStepsFor(SimdSetting());
}

size_t Yuv420Converter::FrameBytes(int width, int height) {
  const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
  return w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2);
}

void Yuv420Converter::Convert(const uint16_t* src, int width, int height, uint8_t* dst, int stride) const {
  if (stride == 0) stride = width;
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  const int chromaWidth = (width + 1) / 2;
  const int chromaHeight = (height + 1) / 2;
  uint8_t* cbPlane = dst + pixels;
  uint8_t* crPlane = cbPlane + static_cast<size_t>(chromaWidth) * static_cast<size_t>(chromaHeight);
  const auto clamp = [](int value, int top) { return std::min(value, top); };
  for (int cy = 0; cy < chromaHeight; ++cy) {
    const size_t topRow = static_cast<size_t>(2 * cy) * static_cast<size_t>(width);
    const uint16_t* top = src + static_cast<ptrdiff_t>(2 * cy) * stride;
    const bool pair = 2 * cy + 1 < height;
    const uint16_t* bottom = pair ? top + stride : top;  // the last row repeated where the height is odd
    uint8_t* cb = cbPlane + static_cast<size_t>(cy) * static_cast<size_t>(chromaWidth);
    uint8_t* cr = crPlane + static_cast<size_t>(cy) * static_cast<size_t>(chromaWidth);
    int done = 0;
    if (steps_.rowPairToYuv != nullptr && pair) {
      done = steps_.rowPairToYuv(fiveBit_.data(), sixBit_.data(), top, bottom, width, dst + topRow, dst + topRow + width, cb,
                           cr);
    }
    for (int x = done; x < width; ++x) {
      dst[topRow + x] = luma_[top[x]];
      if (pair) dst[topRow + width + x] = luma_[bottom[x]];
    }
    // Each chroma sample is from its 2 x 2 pixels (the edge column repeated where the width is
    // odd).
    for (int cx = done / 2; cx < chromaWidth; ++cx) {
      const int left = 2 * cx;
      const int right = clamp(left + 1, width - 1);
      int sums[3] = {0, 0, 0};
      for (const uint16_t pixel : {top[left], top[right], bottom[left], bottom[right]}) {
        sums[0] += fiveBit_[pixel >> 11];
        sums[1] += sixBit_[(pixel >> 5) & 63];
        sums[2] += fiveBit_[pixel & 31];
      }
      cb[cx] = ChromaLevel(sums[0], sums[1], sums[2], kCbR, kCbG, kCbB);
      cr[cx] = ChromaLevel(sums[0], sums[1], sums[2], kCrR, kCrG, kCrB);
    }
  }
}

// H.264 in 8-bit 4:2:0, which every player takes, tagged BT.601 limited range. The frames are
// 16-bit colour with the board's 4 x 4 dither standing in for the missing levels: an encoder
// that smooths the dither away leaves bands on every gradient. CRF 16 keeps the pattern, and
// adaptive quantisation with a bias to dark areas (aq-mode 3) spends the bits where the glows
// fade into black; "veryfast" keeps the encoder about as fast as the presentation renders.
// Without the 4 x 4 and 8 x 8 intra partitions (partitions=none) and with the quickest sub-pixel
// refinement (subme=1) the encoder takes a third less time for the same fidelity: over the
// first 6000 frames the same squared error within 0.4 % and the same worst frames; the whole
// run's file is 17 % larger.
std::vector<std::string> VideoEncoderCommand(const std::string& path, int width, int height, int rateHz) {
  return {"ffmpeg", "-hide_banner", "-loglevel", "error", "-stats", "-y",
          "-f", "rawvideo", "-pix_fmt", "yuv420p", "-s", std::to_string(width) + "x" + std::to_string(height),
          "-r", std::to_string(rateHz), "-i", "-",
          "-c:v", "libx264", "-preset", "veryfast", "-crf", "16", "-x264-params", "aq-mode=3:partitions=none:subme=1",
          "-color_range", "tv", "-colorspace", "smpte170m", "-color_primaries", "smpte170m",
          "-color_trc", "smpte170m", "-chroma_sample_location", "center", path};
}

platform::Opened<VideoPipe> VideoPipe::Start(const std::vector<std::string>& command, const std::string& path) {
  using Result = platform::Opened<VideoPipe>;
  if (command.empty()) return Result::Failure("no encoder command");
#if defined(__EMSCRIPTEN__)
  return Result::Failure("cannot start " + command[0] + " from a web page");
#else
  // A writer to a pipe whose reader has gone gets EPIPE instead of being killed by SIGPIPE.
  struct sigaction current{};
  if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) signal(SIGPIPE, SIG_IGN);

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return Result::Failure(std::string("cannot make a pipe: ") + std::strerror(errno));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int result = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[0]);
  if (result != 0) {
    close(fds[1]);
    return Result::Failure("cannot start " + command[0] + " (" + std::strerror(result) + ")");
  }
  // A deeper pipe than the default 64 KiB lets the encoder read a whole frame at once (the
  // kernel may refuse; the default then serves).
#ifdef F_SETPIPE_SZ
  fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
#endif
  std::unique_ptr<VideoPipe> video(new VideoPipe());
  video->fd_ = fds[1];
  video->pid_ = pid;
  video->path_ = path;
  video->writer_ = std::thread([pipe = video.get()] { pipe->WriteQueued(); });
  return Result::Of(std::move(video));
#endif
}

void VideoPipe::Write(const uint8_t* data, size_t bytes) {
  if (Failed() || writer_.get_id() == std::thread::id()) return;
  std::unique_lock lock(mutex_);
  queuedChanged_.wait(lock, [this] { return queued_.size() < kQueuedFrames || Failed(); });
  if (Failed()) return;
  std::vector<uint8_t> frame;
  if (!spare_.empty()) {
    frame = std::move(spare_.back());
    spare_.pop_back();
  }
  lock.unlock();
  frame.assign(data, data + bytes);
  lock.lock();
  queued_.push_back(std::move(frame));
  lock.unlock();
  queuedChanged_.notify_all();
}

void VideoPipe::WriteQueued() {
  std::unique_lock lock(mutex_);
  for (;;) {
    queuedChanged_.wait(lock, [this] { return !queued_.empty() || closing_; });
    if (queued_.empty()) return;  // closing, and everything is written
    std::vector<uint8_t> frame = std::move(queued_.front());
    queued_.pop_front();
    lock.unlock();
    const bool written = !Failed() && WriteAll(frame.data(), frame.size());
    lock.lock();
    spare_.push_back(std::move(frame));
    if (!written) queued_.clear();  // the encoder is gone; what is left is dropped
    queuedChanged_.notify_all();
  }
}

bool VideoPipe::WriteAll(const uint8_t* data, size_t bytes) {
  while (bytes > 0) {
    const ssize_t written = write(fd_, data, bytes);
    if (written < 0) {
      if (errno == EINTR) continue;
      failed_.store(true, std::memory_order_relaxed);
      Warn("the video encoder stopped taking frames (%s); %s is incomplete", std::strerror(errno), path_.c_str());
      return false;
    }
    data += written;
    bytes -= static_cast<size_t>(written);
  }
  return true;
}

bool VideoPipe::Finish() {
  if (writer_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    queuedChanged_.notify_all();
    writer_.join();
  }
  if (pid_ < 0) return !Failed();
  close(fd_);
  fd_ = -1;
  int status = 0;
  pid_t waited;
  do {
    waited = waitpid(pid_, &status, 0);
  } while (waited < 0 && errno == EINTR);
  pid_ = -1;
  const bool ok = waited > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!ok && !Failed()) {
    Warn("the video encoder failed (%s %d); %s may be missing or incomplete",
         waited > 0 && WIFSIGNALED(status) ? "signal" : "exit status",
         waited > 0 && WIFSIGNALED(status) ? WTERMSIG(status) : (waited > 0 ? WEXITSTATUS(status) : -1), path_.c_str());
  }
  if (!ok) failed_.store(true, std::memory_order_relaxed);
  return ok && !Failed();
}

VideoPipe::~VideoPipe() { Finish(); }

namespace {

// Frames in the video advance the sound track by 1/60 s each (the WAV output's clock), so the
// video's rate stays 60 whatever the display's refresh rate.
constexpr int kVideoRateHz = 60;

class VideoSink final : public FrameSink {
 public:
  explicit VideoSink(std::unique_ptr<VideoPipe> pipe) : pipe_(std::move(pipe)) {}

  // False once the encoder has stopped taking frames (reported by the pipe, once).
  bool Take(const ShownFrame& frame) override {
    if (pipe_->Failed()) return false;
    if (!converter_ || converterGamma_ != frame.display.Gamma()) {
      converter_ = std::make_unique<Yuv420Converter>(frame.display);
      converterGamma_ = frame.display.Gamma();
    }
    converted_.resize(Yuv420Converter::FrameBytes(frame.width, frame.height));
    converter_->Convert(frame.pixels, frame.width, frame.height, converted_.data(), frame.stride);
    pipe_->Write(converted_.data(), converted_.size());
    return true;
  }

 private:
  std::unique_ptr<VideoPipe> pipe_;
  std::unique_ptr<Yuv420Converter> converter_;  // for the display gamma `converterGamma_`
  float converterGamma_ = 0;
  std::vector<uint8_t> converted_;  // the shown frame as the encoder takes it
};

}  // namespace

OpenedSink OpenVideo(const std::string& path, int width, int height) {
  platform::Opened<VideoPipe> pipe = VideoPipe::Start(VideoEncoderCommand(path, width, height, kVideoRateHz), path);
  if (!pipe.opened) return OpenedSink::Failure(pipe.error + "; GLIDE_VIDEO=" + path + " is not written");
  return OpenedSink::Of(std::make_unique<VideoSink>(std::move(pipe.opened)));
}

}  // namespace glide
