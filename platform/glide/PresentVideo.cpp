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

extern char** environ;

namespace glide {

Yuv420Converter::Yuv420Converter(const DisplayTable& display) : luma_(65536), cb_(65536), cr_(65536) {
  for (uint32_t pixel = 0; pixel < 65536; ++pixel) {
    const uint32_t xrgb = display[static_cast<uint16_t>(pixel)];
    const double r = (xrgb >> 16) & 0xff, g = (xrgb >> 8) & 0xff, b = xrgb & 0xff;
    luma_[pixel] = static_cast<uint8_t>(std::lround(16.0 + (65.481 * r + 128.553 * g + 24.966 * b) / 255.0));
    cb_[pixel] = static_cast<int16_t>(std::lround(64.0 * (-37.797 * r - 74.203 * g + 112.0 * b) / 255.0));
    cr_[pixel] = static_cast<int16_t>(std::lround(64.0 * (112.0 * r - 93.786 * g - 18.214 * b) / 255.0));
  }
}

size_t Yuv420Converter::FrameBytes(int width, int height) {
  const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
  return w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2);
}

void Yuv420Converter::Convert(const uint16_t* src, int width, int height, uint8_t* dst) const {
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < pixels; ++i) dst[i] = luma_[src[i]];
  const int chromaWidth = (width + 1) / 2;
  const int chromaHeight = (height + 1) / 2;
  uint8_t* cbPlane = dst + pixels;
  uint8_t* crPlane = cbPlane + static_cast<size_t>(chromaWidth) * static_cast<size_t>(chromaHeight);
  // Each chroma sample is the mean of its 2 x 2 pixels (the edge column or row repeated where
  // the frame's size is odd), in 1/64 steps.
  const auto clamp = [](int value, int top) { return std::min(value, top); };
  for (int cy = 0; cy < chromaHeight; ++cy) {
    const uint16_t* top = src + static_cast<size_t>(2 * cy) * static_cast<size_t>(width);
    const uint16_t* bottom = src + static_cast<size_t>(clamp(2 * cy + 1, height - 1)) * static_cast<size_t>(width);
    for (int cx = 0; cx < chromaWidth; ++cx) {
      const int left = 2 * cx;
      const int right = clamp(left + 1, width - 1);
      const int cb = cb_[top[left]] + cb_[top[right]] + cb_[bottom[left]] + cb_[bottom[right]];
      const int cr = cr_[top[left]] + cr_[top[right]] + cr_[bottom[left]] + cr_[bottom[right]];
      // Sum / (4 * 64), rounded to nearest, around 128.
      const auto level = [](int sum) {
        const int rounded = sum >= 0 ? (sum + 128) / 256 : -((-sum + 128) / 256);
        return static_cast<uint8_t>(std::clamp(128 + rounded, 16, 240));
      };
      const size_t at = static_cast<size_t>(cy) * static_cast<size_t>(chromaWidth) + static_cast<size_t>(cx);
      cbPlane[at] = level(cb);
      crPlane[at] = level(cr);
    }
  }
}

// H.264 in 8-bit 4:2:0, which every player takes, tagged BT.601 limited range. The frames are
// 16-bit colour with the board's 4 x 4 dither standing in for the missing levels: an encoder
// that smooths the dither away leaves bands on every gradient. CRF 16 keeps the pattern, and
// adaptive quantisation with a bias to dark areas (aq-mode 3) spends the bits where the glows
// fade into black; "veryfast" keeps the encoder about as fast as the presentation renders.
std::vector<std::string> VideoEncoderCommand(const std::string& path, int width, int height, int rateHz) {
  return {"ffmpeg", "-hide_banner", "-loglevel", "error", "-stats", "-y",
          "-f", "rawvideo", "-pix_fmt", "yuv420p", "-s", std::to_string(width) + "x" + std::to_string(height),
          "-r", std::to_string(rateHz), "-i", "-",
          "-c:v", "libx264", "-preset", "veryfast", "-crf", "16", "-x264-params", "aq-mode=3",
          "-color_range", "tv", "-colorspace", "smpte170m", "-color_primaries", "smpte170m",
          "-color_trc", "smpte170m", "-chroma_sample_location", "center", path};
}

std::unique_ptr<VideoPipe> VideoPipe::Start(const std::vector<std::string>& command, const std::string& path,
                                            std::string* error) {
  if (command.empty()) {
    *error = "no encoder command";
    return nullptr;
  }
  // A writer to a pipe whose reader has gone gets EPIPE instead of being killed by SIGPIPE.
  struct sigaction current{};
  if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) signal(SIGPIPE, SIG_IGN);

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    *error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return nullptr;
  }
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
    *error = "cannot start " + command[0] + " (" + std::strerror(result) + ")";
    return nullptr;
  }
  std::unique_ptr<VideoPipe> video(new VideoPipe());
  video->fd_ = fds[1];
  video->pid_ = pid;
  video->path_ = path;
  return video;
}

void VideoPipe::Write(const uint8_t* data, size_t bytes) {
  while (!failed_ && bytes > 0) {
    const ssize_t written = write(fd_, data, bytes);
    if (written < 0) {
      if (errno == EINTR) continue;
      failed_ = true;
      Warn("the video encoder stopped taking frames (%s); %s is incomplete", std::strerror(errno), path_.c_str());
      return;
    }
    data += written;
    bytes -= static_cast<size_t>(written);
  }
}

bool VideoPipe::Finish() {
  if (pid_ < 0) return !failed_;
  close(fd_);
  fd_ = -1;
  int status = 0;
  pid_t waited;
  do {
    waited = waitpid(pid_, &status, 0);
  } while (waited < 0 && errno == EINTR);
  pid_ = -1;
  const bool ok = waited > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!ok && !failed_) {
    Warn("the video encoder failed (%s %d); %s may be missing or incomplete",
         waited > 0 && WIFSIGNALED(status) ? "signal" : "exit status",
         waited > 0 && WIFSIGNALED(status) ? WTERMSIG(status) : (waited > 0 ? WEXITSTATUS(status) : -1), path_.c_str());
  }
  failed_ = failed_ || !ok;
  return ok;
}

VideoPipe::~VideoPipe() { Finish(); }

}  // namespace glide
