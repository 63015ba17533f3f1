// Small helpers shared by the program's tests.
#pragma once

// Tests that replay a scene, or the whole presentation, frame by frame check what is drawn; the
// optimised build runs them. Under the sanitizers the end-to-end test already plays every scene
// whole with the generated data, and these would add nothing there but minutes of CI.
#if defined(__SANITIZE_ADDRESS__)
#define KELDRIN_UNDER_SANITIZERS 1
#else
#define KELDRIN_UNDER_SANITIZERS 0
#endif
#define SKIP_LONG_REPLAY_UNDER_SANITIZERS() \
  if (KELDRIN_UNDER_SANITIZERS) GTEST_SKIP() << "a long replay: run by the optimised build"

#include <filesystem>
#include <string>

namespace testsupport {

// A fresh, empty directory for the running test, under the build tree: test-tmp/PREFIX_TEST.
// Named without the process id, so a death test's child finds its parent's directory (pass
// `keep` = true there to leave its contents alone).
std::filesystem::path TestDirectory(const std::string& prefix, bool keep = false);

// Links every generated data file ($KELDRIN_DATA, as its MANIFEST lists them) into `dir`.
void LinkData(const std::filesystem::path& dir);

// The whole file, or "" when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace testsupport
