// Whole-file reading for samples and modules, with OS failures mapped to MIDAS error codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace midas {

// Files larger than this are refused as "Out of memory": no sample or module the stand-in
// serves comes near it, and a runaway file must not exhaust the process.
inline constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;

// Reads the whole file. Throws Error: kInvalidArguments for a null or empty path, the errno
// mapping for open and read failures (a missing file is kFileNotFound), kOutOfMemory past
// kMaxFileBytes.
std::vector<uint8_t> ReadWholeFile(const char* path);

}  // namespace midas
