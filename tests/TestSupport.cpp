#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testsupport {

namespace fs = std::filesystem;

fs::path TestDirectory(const std::string& prefix, bool keep) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const fs::path dir = fs::path(KELDRIN_BINARY_DIR) / "test-tmp" /
                       (prefix + "_" + info->test_suite_name() + "." + info->name());
  if (!keep) fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

void LinkData(const fs::path& dir) {
  const char* data = std::getenv("KELDRIN_DATA");
  ASSERT_NE(data, nullptr);
  // Only the generated files, as the manifest lists them: anything else a run left in the data
  // directory (a debug.log) must not be shared between tests.
  std::istringstream manifest(ReadFile(fs::path(data) / "MANIFEST"));
  std::string line;
  int linked = 0;
  while (std::getline(manifest, line)) {
    const std::string name = line.substr(0, line.find(' '));
    const fs::path link = dir / name;
    if (!fs::exists(fs::symlink_status(link))) fs::create_symlink(fs::path(data) / name, link);
    ++linked;
  }
  ASSERT_GT(linked, 0) << "no MANIFEST in " << data;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace testsupport
