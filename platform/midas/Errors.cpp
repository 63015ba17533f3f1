#include "Errors.h"

#include <cerrno>
#include <cstdarg>
#include <iterator>

#include "platform/Warn.h"

namespace midas {
namespace {

// MIDAS 1.1 errorMsg[], in order (protected-mode wording). At most 40 characters each.
const char* const kMessages[] = {
    "OK",
    "Undefined error",
    "Out of memory",
    "Heap corrupted",
    "Invalid memory block",
    "Out of EMS memory",
    "EMS memory heap corrupted",
    "Invalid EMS memory block",
    "Expanded Memory Manager failure",
    "Out of soundcard memory",
    "Soundcard memory heap corrupted",
    "Invalid soundcard memory block",
    "Out of sample handles",
    "Unable to open file",
    "Unable to read file",
    "Invalid module file",
    "Invalid instrument in module",
    "Invalid pattern data in module",
    "Invalid channel number",
    "Invalid sample handle",
    "Sound Device channels not open",
    "Sound Device hardware failure",
    "Invalid function arguments",
    "File does not exist",
    "Invalid file handle",
    "Access denied",
    "File exists",
    "Too many open files",
    "Disk full",
    "Unexpected end of file",
    "Invalid path",
    "Unable to write file",
    "Unable to lock Virtual DMA buffer",
    "Unable to use Virtual DMA Services",
    "Invalid Virtual DMA Service version",
    "DPMI failure",
    "Invalid segment descriptor",
    "Out of system resources",
    "Invalid device used",
    "Unsupported function used",
    "Device is not available",
    "Device is busy",
    "Unsupported output mode used",
    "Unable to lock memory",
    "DirectSound Window Handle not set",
    "Invalid ADPCM data",
    "Invalid sample type",
    "No module is being played",
    "Out of sound channels",
    "Couldn't load dsound.dll",
    "Bad WAVE file",
    "Unsupported sample data format",
};

static_assert(std::size(kMessages) == kUnsupportedSampleFormat + 1);

}  // namespace

const char* ErrorMessage(int code) {
  if (code < 0 || code >= static_cast<int>(std::size(kMessages))) return kMessages[kUndefined];
  return kMessages[code];
}

ErrorCode ErrorFromErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return kFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return kAccessDenied;
    case ENOMEM:
      return kOutOfMemory;
    case ENAMETOOLONG:
    case ELOOP:
      return kInvalidPath;
    case EMFILE:
    case ENFILE:
      return kTooManyOpenFiles;
    case EISDIR:
    case EIO:
      return kUnableToReadFile;
    default:
      return kUnableToOpenFile;
  }
}

void Warn(const char* format, ...) {
  va_list args;
  va_start(args, format);
  platform::WarnV("MIDAS", format, args);
  va_end(args);
}

}  // namespace midas
