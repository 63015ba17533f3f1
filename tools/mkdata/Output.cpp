#include "Generator.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <fstream>

namespace mkdata {

uint64_t Fnv1a64(std::span<const uint8_t> bytes) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (uint8_t byte : bytes) {
    hash ^= byte;
    hash *= 0x100000001b3ull;
  }
  return hash;
}

Output::Output(std::filesystem::path dir) : dir_(std::move(dir)) {}

bool Output::Write(const std::string& name, std::span<const uint8_t> bytes) {
  for (const auto& entry : entries_) {
    if (entry.name == name) {
      std::fprintf(stderr, "mkdata: %s written twice\n", name.c_str());
      return false;
    }
  }
  const auto path = dir_ / name;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) {
    std::fprintf(stderr, "mkdata: cannot write %s\n", path.c_str());
    return false;
  }
  entries_.push_back({name, bytes.size(), Fnv1a64(bytes)});
  return true;
}

bool Output::Write(const std::string& name, const std::string& text) {
  return Write(name, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::string Output::ManifestText() const {
  auto sorted = entries_;
  std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  std::string text;
  char line[512];
  for (const auto& entry : sorted) {
    std::snprintf(line, sizeof line, "%s %" PRIu64 " %016" PRIx64 "\n", entry.name.c_str(), entry.size, entry.hash);
    text += line;
  }
  return text;
}

namespace {
std::vector<GeneratorInfo>& Registry() {
  static std::vector<GeneratorInfo> registry;
  return registry;
}
}  // namespace

Registrar::Registrar(const char* name, GeneratorFn run) { Registry().push_back({name, run}); }

std::vector<GeneratorInfo> Generators() {
  auto sorted = Registry();
  std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return std::string(a.name) < b.name; });
  return sorted;
}

}  // namespace mkdata
