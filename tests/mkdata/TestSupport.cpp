#include "TestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>

#include "Generator.h"

namespace mkdata::test {

std::map<std::string, std::vector<uint8_t>> RunGenerator(const std::string& name) {
  std::map<std::string, std::vector<uint8_t>> files;
  const auto dir = std::filesystem::temp_directory_path() /
                   ("mkdata_test_" + name + "_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  Output out(dir);
  bool found = false;
  for (const GeneratorInfo& gen : Generators()) {
    if (name != gen.name) continue;
    found = true;
    if (!gen.run(out)) ADD_FAILURE() << "generator " << name << " failed";
  }
  if (!found) ADD_FAILURE() << "no generator " << name;
  for (const ManifestEntry& entry : out.Entries()) {
    std::ifstream file(dir / entry.name, std::ios::binary);
    files[entry.name] = std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
  }
  std::filesystem::remove_all(dir);
  return files;
}

double SongLengthSeconds(std::span<const uint8_t> module) {
  std::ostringstream log;
  return openmpt::module(module.data(), module.size(), log).get_duration_seconds();
}

double ToDb(double amplitude) { return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -200.0; }

double PeakDb(std::span<const float> stereo, size_t from, size_t count) {
  double peak = 0.0;
  for (size_t i = 2 * from; i < 2 * (from + count) && i < stereo.size(); ++i) peak = std::max(peak, std::fabs(double{stereo[i]}));
  return ToDb(peak);
}

double RmsDb(std::span<const float> stereo, size_t from, size_t count, int channel) {
  double sum = 0.0;
  size_t n = 0;
  for (size_t i = 2 * from; i < 2 * (from + count) && i < stereo.size(); ++i) {
    if (channel >= 0 && static_cast<int>(i % 2) != channel) continue;
    sum += double{stereo[i]} * stereo[i];
    ++n;
  }
  return n ? ToDb(std::sqrt(sum / static_cast<double>(n))) : -200.0;
}

double QuietestWindowDb(std::span<const float> stereo, size_t from, size_t to, size_t windowFrames) {
  double quietest = 1000.0;
  for (size_t at = from; at + windowFrames <= to; at += windowFrames / 2)
    for (int channel = 0; channel < 2; ++channel) quietest = std::min(quietest, RmsDb(stereo, at, windowFrames, channel));
  return quietest;
}

double LargestStep(std::span<const float> stereo, size_t from, size_t to) {
  double largest = 0.0;
  for (size_t f = std::max<size_t>(from, 1); f < to && 2 * f + 1 < stereo.size(); ++f)
    for (size_t c = 0; c < 2; ++c) largest = std::max(largest, std::fabs(double{stereo[2 * f + c]} - stereo[2 * (f - 1) + c]));
  return largest;
}

}  // namespace mkdata::test
