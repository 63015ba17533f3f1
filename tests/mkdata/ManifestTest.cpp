// The generated data against the committed manifest (tools/mkdata/MANIFEST): any change to the
// content must come with a reviewed change of that file. UPDATE_MANIFEST=1 rewrites it from the
// generated one.
#include "Generator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

struct Line {
  int number;       // 1-based line in its file
  std::string text; // "name size hash"
};

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Lines by file name (the first field).
std::map<std::string, Line> ByName(const std::string& text) {
  std::map<std::string, Line> lines;
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.empty()) continue;
    lines[line.substr(0, line.find(' '))] = {number, line};
  }
  return lines;
}

std::filesystem::path GeneratedDir() {
  const char* data = std::getenv("KELDRIN_DATA");
  return data && *data ? std::filesystem::path(data) : std::filesystem::path(KELDRIN_BINARY_DIR) / "data";
}

TEST(ManifestTest, GeneratedDataMatchesTheCommittedManifest) {
  const std::filesystem::path generatedPath = GeneratedDir() / "MANIFEST";
  const std::filesystem::path committedPath = std::filesystem::path(KELDRIN_SOURCE_DIR) / "tools/mkdata/MANIFEST";
  ASSERT_TRUE(std::filesystem::is_regular_file(generatedPath))
      << generatedPath << " is missing: build the data target (mkdata writes it)";
  const std::string generated = ReadText(generatedPath);
  ASSERT_FALSE(generated.empty()) << generatedPath << " is empty";

  const char* update = std::getenv("UPDATE_MANIFEST");
  if (update && std::string(update) == "1") {
    std::ofstream(committedPath, std::ios::binary | std::ios::trunc) << generated;
    std::printf("rewrote %s from %s\n", committedPath.c_str(), generatedPath.c_str());
  }
  const std::string committed = ReadText(committedPath);
  if (committed == generated) return;

  // A located diff: which files are new, gone or changed, with the lines of both manifests.
  const auto want = ByName(committed);
  const auto got = ByName(generated);
  std::ostringstream diff;
  for (const auto& [name, line] : want) {
    const auto it = got.find(name);
    if (it == got.end()) {
      diff << committedPath.string() << ":" << line.number << ": no longer generated: " << line.text << "\n";
    } else if (it->second.text != line.text) {
      diff << committedPath.string() << ":" << line.number << ": changed\n  - " << line.text << "\n  + "
           << it->second.text << "\n";
    }
  }
  for (const auto& [name, line] : got) {
    if (!want.count(name)) diff << generatedPath.string() << ":" << line.number << ": new: " << line.text << "\n";
  }
  if (diff.str().empty()) diff << "same entries, different layout (ordering or line ends)\n";
  ADD_FAILURE() << "the generated data differs from the committed manifest:\n"
                << diff.str() << "If the change is intended, rerun with UPDATE_MANIFEST=1 and commit "
                << committedPath.string();
}

// The scene tests run in scratch directories that link the generated files: a fixture that wrote
// through a link would change the data every later test and run reads. Each file must still be
// what its manifest line says.
TEST(ManifestTest, GeneratedFilesStillHoldWhatTheManifestSays) {
  const std::filesystem::path dir = GeneratedDir();
  const std::string manifest = ReadText(dir / "MANIFEST");
  ASSERT_FALSE(manifest.empty());
  std::istringstream in(manifest);
  std::string name;
  uint64_t size = 0;
  std::string hash;
  int files = 0;
  while (in >> name >> size >> hash) {
    const std::string bytes = ReadText(dir / name);
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx",
                  static_cast<unsigned long long>(mkdata::Fnv1a64(std::span<const uint8_t>(data, bytes.size()))));
    EXPECT_EQ(bytes.size(), size) << name;
    EXPECT_EQ(hex, hash) << name << " was changed after mkdata wrote it";
    ++files;
  }
  EXPECT_GT(files, 50);
}

}  // namespace
