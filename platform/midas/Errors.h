// MIDAS error codes and their message texts. The codes are the positions of the messages in the
// MIDAS 1.1 message table (midas/errors.c), so MIDASgetErrorMessage(code) reads as it did there.
#pragma once

#include <stdexcept>

namespace midas {

enum ErrorCode : int {
  kOk = 0,
  kUndefined = 1,
  kOutOfMemory = 2,
  kUnableToOpenFile = 13,
  kUnableToReadFile = 14,
  kInvalidModule = 15,
  kInvalidChannel = 18,
  kInvalidSampleHandle = 19,
  kChannelsNotOpen = 20,
  kHardwareFailure = 21,
  kInvalidArguments = 22,
  kFileNotFound = 23,
  kAccessDenied = 25,
  kTooManyOpenFiles = 27,
  kUnexpectedEof = 29,
  kInvalidPath = 30,
  kUnableToWriteFile = 31,
  kOutOfResources = 37,
  kDeviceNotAvailable = 40,
  kDeviceBusy = 41,
  kUnsupportedOutputMode = 42,
  kInvalidSampleType = 46,
  kNoModulePlaying = 47,
  kOutOfChannels = 48,
  kBadWave = 50,
  kUnsupportedSampleFormat = 51,
};

// One line "MIDAS: MESSAGE" on stderr, formatted with the printf rules: the stand-in's warnings
// about its surroundings (settings, files, the audio device). Never throws.
void Warn(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The message for a code; codes outside the table read "Undefined error" (the table itself was
// indexed without a check).
const char* ErrorMessage(int code);

// Thrown inside the stand-in and turned into the published failure value plus the recorded code
// at the published function's boundary.
class Error : public std::runtime_error {
 public:
  explicit Error(ErrorCode code) : std::runtime_error(ErrorMessage(code)), code_(code) {}
  ErrorCode code() const { return code_; }

 private:
  ErrorCode code_;
};

// Maps an errno value from opening or reading a file to the MIDAS code for it.
ErrorCode ErrorFromErrno(int err);

}  // namespace midas
