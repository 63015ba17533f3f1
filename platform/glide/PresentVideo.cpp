#include "PresentVideo.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Misuse.h"

extern char** environ;

namespace glide {

// H.264 in 8-bit 4:2:0, which every player takes. The frames are 16-bit colour with the board's
// 4 x 4 dither standing in for the missing levels: an encoder that smooths the dither away
// leaves bands on every gradient. CRF 16 keeps the pattern, and adaptive quantisation with a
// bias to dark areas (aq-mode 3) spends the bits where the glows fade into black; "veryfast"
// keeps the encoder about as fast as the presentation renders.
std::vector<std::string> VideoEncoderCommand(const std::string& path, int width, int height, int rateHz) {
  return {"ffmpeg", "-hide_banner", "-loglevel", "error", "-stats", "-y",
          "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", std::to_string(width) + "x" + std::to_string(height),
          "-r", std::to_string(rateHz), "-i", "-",
          "-c:v", "libx264", "-preset", "veryfast", "-crf", "16", "-x264-params", "aq-mode=3",
          "-pix_fmt", "yuv420p", path};
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
