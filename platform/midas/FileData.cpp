#include "FileData.h"

#include "Errors.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace midas {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::vector<uint8_t> ReadWholeFile(const char* path) {
  if (path == nullptr || *path == '\0') throw Error(kInvalidArguments);
  FileDescriptor file(open(path, O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) throw Error(ErrorFromErrno(errno));
  struct stat info {};
  if (fstat(file.get(), &info) != 0) throw Error(ErrorFromErrno(errno));
  if (S_ISDIR(info.st_mode)) throw Error(kUnableToReadFile);
  if (S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) > kMaxFileBytes) throw Error(kOutOfMemory);

  // Read to the end rather than trusting st_size: the file may change, or be a pipe.
  std::vector<uint8_t> bytes;
  bytes.reserve(S_ISREG(info.st_mode) ? static_cast<std::size_t>(info.st_size) : 0);
  uint8_t block[65536];
  for (;;) {
    const ssize_t got = read(file.get(), block, sizeof block);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw Error(kUnableToReadFile);
    }
    if (got == 0) break;
    if (bytes.size() + static_cast<std::size_t>(got) > kMaxFileBytes) throw Error(kOutOfMemory);
    bytes.insert(bytes.end(), block, block + got);
  }
  return bytes;
}

}  // namespace midas
