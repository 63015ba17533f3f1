// GLIDE_VIDEO: every shown frame, packed RGB after gamma, piped to an ffmpeg process that
// encodes it to a file. A missing or failing encoder is reported once; the run goes on.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace glide {

// The encoder's command line for a width x height rgb24 stream at `rateHz` frames a second.
std::vector<std::string> VideoEncoderCommand(const std::string& path, int width, int height, int rateHz);

class VideoPipe {
 public:
  // Starts `command` (its first word looked up in PATH) with a pipe on its standard input.
  // Null with the reason in `error` when it cannot be started.
  static std::unique_ptr<VideoPipe> Start(const std::vector<std::string>& command, const std::string& path,
                                          std::string* error);
  // Closes the pipe and waits for the encoder; reports a failure it has not reported yet.
  ~VideoPipe();
  VideoPipe(const VideoPipe&) = delete;
  VideoPipe& operator=(const VideoPipe&) = delete;

  // Sends one frame. After the first failure (the encoder quit) nothing more is sent.
  void Write(const uint8_t* data, size_t bytes);
  bool Failed() const { return failed_; }

  // Closes the pipe and waits; true when the encoder finished successfully.
  bool Finish();

 private:
  VideoPipe() = default;
  int fd_ = -1;
  pid_t pid_ = -1;
  bool failed_ = false;
  std::string path_;
};

}  // namespace glide
