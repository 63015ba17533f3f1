// Small helpers shared by the program's tests.
#pragma once

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
