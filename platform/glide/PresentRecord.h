// Records of shown frames: the frame hash and its log, and PNG capture.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace glide {

// 64-bit FNV-1a over the pixels' little-endian bytes: the frame exactly as the frame buffer
// holds it, before gamma, so any change to a rendered pixel changes it.
uint64_t FrameHash(const uint16_t* pixels, size_t count);

// GLIDE_FRAME_HASHES: one line per shown frame, "FRAME HASH" with the frame number in decimal
// and the hash in 16 lower-case hex digits. Lines reach the file as they are written.
class HashLog {
 public:
  static std::unique_ptr<HashLog> Open(const std::string& path, std::string* error);
  ~HashLog();
  HashLog(const HashLog&) = delete;
  HashLog& operator=(const HashLog&) = delete;

  void Write(uint64_t frame, uint64_t hash);

 private:
  explicit HashLog(std::FILE* file) : file_(file) {}
  std::FILE* file_;
};

// GLIDE_SWAP_LOG: one line per paced swap, "FRAME DUE SHOWN": the frame number, when the swap
// was due had the program kept up (its interval after the previous swap) and when the frame had
// been handed to the display, both in microseconds since the display opened. SHOWN - DUE is how
// late the frame was; a frame a retrace late shows about 16667 (at 60 Hz).
class SwapLog {
 public:
  static std::unique_ptr<SwapLog> Open(const std::string& path, std::string* error);
  ~SwapLog();
  SwapLog(const SwapLog&) = delete;
  SwapLog& operator=(const SwapLog&) = delete;

  void Write(uint64_t frame, int64_t dueMicroseconds, int64_t shownMicroseconds);

 private:
  explicit SwapLog(std::FILE* file) : file_(file) {}
  std::FILE* file_;
};

// DIR/NNNNNN.png: the frame number with at least six digits.
std::string CapturePath(const std::string& directory, uint64_t frame);

// Writes packed 8-bit RGB rows as a PNG file. False with the reason in `error`.
bool WritePng(const std::string& path, const uint8_t* rgb, int width, int height, std::string* error);

}  // namespace glide
