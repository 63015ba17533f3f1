// The data generator's plumbing: every data file is written through Output, which records it
// for the MANIFEST; every kind of asset registers one generator with MKDATA_GENERATOR.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace mkdata {

struct ManifestEntry {
  std::string name;
  uint64_t size = 0;
  uint64_t hash = 0;  // FNV-1a 64 of the file's bytes
};

uint64_t Fnv1a64(std::span<const uint8_t> bytes);

class Output {
 public:
  explicit Output(std::filesystem::path dir);

  // Writes one data file into the directory and records it. Returns false (with one line on
  // stderr) when the file cannot be written. Writing the same name twice is a generator bug.
  bool Write(const std::string& name, std::span<const uint8_t> bytes);
  bool Write(const std::string& name, const std::string& text);

  const std::filesystem::path& Dir() const { return dir_; }
  const std::vector<ManifestEntry>& Entries() const { return entries_; }

  // "name size hash" lines sorted by name, hash in 16 hex digits.
  std::string ManifestText() const;

 private:
  std::filesystem::path dir_;
  std::vector<ManifestEntry> entries_;
};

using GeneratorFn = bool (*)(Output& out);

struct GeneratorInfo {
  const char* name;
  GeneratorFn run;
};

// All registered generators, sorted by name (the order they run in).
std::vector<GeneratorInfo> Generators();

struct Registrar {
  Registrar(const char* name, GeneratorFn run);
};

}  // namespace mkdata

#define MKDATA_CONCAT_INNER(a, b) a##b
#define MKDATA_CONCAT(a, b) MKDATA_CONCAT_INNER(a, b)
// Registers `fn` (bool fn(mkdata::Output&)) as the generator called `name`.
#define MKDATA_GENERATOR(name, fn) \
  static const ::mkdata::Registrar MKDATA_CONCAT(MkdataRegistrar, __LINE__)(name, fn)
