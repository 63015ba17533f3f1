// Shared helpers of the data generator's tests: running a generator into a scratch directory,
// a module's length in libopenmpt, and level measurements on rendered audio.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace mkdata::test {

// Runs the generator called `name` into a fresh directory and returns its files by name.
// Fails the calling test (ADD_FAILURE) when the generator is missing or fails.
std::map<std::string, std::vector<uint8_t>> RunGenerator(const std::string& name);

// One pass of a module before it loops, as libopenmpt reckons it.
double SongLengthSeconds(std::span<const uint8_t> module);

double ToDb(double amplitude);
// Peak and RMS in dBFS of stereo frames [from, from + count); `channel` 0 or 1 for one side,
// -1 for both together.
double PeakDb(std::span<const float> stereo, size_t from, size_t count);
double RmsDb(std::span<const float> stereo, size_t from, size_t count, int channel = -1);
// The quietest `windowFrames`-long window (stepped by half a window) of either channel in
// [from, to), in dBFS: a side falling silent counts as a gap.
double QuietestWindowDb(std::span<const float> stereo, size_t from, size_t to, size_t windowFrames);
// Largest sample-to-sample step of either channel in frames [from, to).
double LargestStep(std::span<const float> stereo, size_t from, size_t to);

}  // namespace mkdata::test
