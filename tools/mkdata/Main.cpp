// mkdata DIR [GENERATOR...]: writes every data file of the presentation into DIR (created if
// needed), deterministically, then DIR/MANIFEST. With generator names, runs only those and
// writes no manifest.
#include "Generator.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>

namespace {

int Usage() {
  std::fprintf(stderr, "usage: mkdata DIR [GENERATOR...]\ngenerators:");
  for (const auto& gen : mkdata::Generators()) std::fprintf(stderr, " %s", gen.name);
  std::fprintf(stderr, "\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // An option where the directory belongs (--help) is not a directory to fill.
  if (argc < 2 || argv[1][0] == '-') return Usage();
  std::set<std::string> only(argv + 2, argv + argc);
  for (const std::string& name : only) {
    bool known = false;
    for (const auto& gen : mkdata::Generators()) known = known || name == gen.name;
    if (!known) {
      std::fprintf(stderr, "mkdata: there is no generator %s\n", name.c_str());
      return Usage();
    }
  }
  std::error_code error;
  std::filesystem::create_directories(argv[1], error);
  if (error) {
    std::fprintf(stderr, "mkdata: cannot create %s: %s\n", argv[1], error.message().c_str());
    return 1;
  }
  mkdata::Output out(argv[1]);
  bool ok = true;
  for (const auto& gen : mkdata::Generators()) {
    if (!only.empty() && !only.count(gen.name)) continue;
    if (!gen.run(out)) {
      std::fprintf(stderr, "mkdata: generator %s failed\n", gen.name);
      ok = false;
    }
  }
  if (!ok) return 1;
  if (only.empty() && !out.Write("MANIFEST", out.ManifestText())) return 1;
  return 0;
}
