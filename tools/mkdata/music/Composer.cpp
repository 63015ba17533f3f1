#include "music/Composer.h"

#include <algorithm>
#include <set>
#include <stdexcept>

namespace mkdata::music {

const std::vector<int> kMinorScale = {0, 2, 3, 5, 7, 8, 10};
const std::vector<int> kPhrygianScale = {0, 1, 3, 5, 7, 8, 10};

int ParseNote(std::string_view name) {
  static constexpr int kLetters[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') return -1;
  int pitch = kLetters[name[0] - 'A'];
  size_t at = 1;
  if (name[at] == '#') pitch += 1, ++at;
  else if (name[at] == 'b') pitch -= 1, ++at;
  if (at + 1 != name.size() || name[at] < '0' || name[at] > '8') return -1;
  return 12 * (name[at] - '0' + 1) + pitch;
}

std::vector<LineEvent> ParseLine(std::string_view text, int step) {
  std::vector<LineEvent> line;
  int row = 0;
  size_t at = 0;
  while (at < text.size()) {
    if (text[at] == ' ') {
      ++at;
      continue;
    }
    const size_t end = std::min(text.find(' ', at), text.size());
    std::string_view token = text.substr(at, end - at);
    at = end;
    if (token == "-") {
      line.push_back({row, -1, -1});
    } else if (token != ".") {
      int volume = -1;
      if (token.back() == '!') volume = 64, token.remove_suffix(1);
      else if (token.back() == '\'') volume = 28, token.remove_suffix(1);
      const int midi = ParseNote(token);
      if (midi < 0) throw std::invalid_argument("bad note \"" + std::string(token) + "\"");
      line.push_back({row, midi, volume});
    }
    row += step;
  }
  return line;
}

std::vector<LineEvent> ShiftInScale(const std::vector<LineEvent>& line, int tonic, const std::vector<int>& scale,
                                    int steps) {
  std::vector<LineEvent> shifted = line;
  const int size = static_cast<int>(scale.size());
  for (LineEvent& event : shifted) {
    if (event.midi < 0) continue;
    const int relative = event.midi - tonic;
    const int octave = (relative >= 0 ? relative : relative - 11) / 12;
    const int within = relative - 12 * octave;
    // The degree at or just below the note; chromatic notes keep their distance from it.
    int degree = 0;
    for (int d = 0; d < size; ++d)
      if (scale[d] <= within) degree = d;
    const int chromatic = within - scale[degree];
    const int target = degree + steps;
    const int targetOctave = octave + (target >= 0 ? target / size : (target - size + 1) / size);
    const int targetDegree = ((target % size) + size) % size;
    event.midi = tonic + 12 * targetOctave + scale[targetDegree] + chromatic;
  }
  return shifted;
}

SongBuilder::SongBuilder(std::string title, int channels, int speed, int tempo) {
  song_.title = std::move(title);
  song_.channels = channels;
  song_.initialSpeed = speed;
  song_.initialTempo = tempo;
}

int SongBuilder::Add(Instrument instrument, int volume) {
  instrument.sample.volume = static_cast<uint8_t>(volume);
  song_.samples.push_back(std::move(instrument.sample));
  roots_.push_back(instrument.rootNote);
  return static_cast<int>(song_.samples.size());
}

int SongBuilder::NewPattern() {
  song_.patterns.emplace_back(song_.channels);
  const int index = static_cast<int>(song_.patterns.size()) - 1;
  song_.orders.push_back(index);
  return index;
}

Cell& SongBuilder::At(int pattern, int row, int channel) {
  return song_.patterns.at(static_cast<size_t>(pattern)).At(row, channel);
}

void SongBuilder::Note(int pattern, int row, int channel, int instrument, int midi, int volume) {
  Cell& cell = At(pattern, row, channel);
  if (cell.note != kNoNote || cell.instrument != 0)
    throw std::logic_error("two notes in pattern " + std::to_string(pattern) + " row " + std::to_string(row) +
                           " channel " + std::to_string(channel));
  cell.note = static_cast<int8_t>(midi - roots_.at(static_cast<size_t>(instrument - 1)) + kNoteMiddleC);
  cell.instrument = static_cast<uint8_t>(instrument);
  if (volume >= 0) cell.volume = static_cast<int8_t>(volume);
}

void SongBuilder::Cut(int pattern, int row, int channel) {
  Cell& cell = At(pattern, row, channel);
  if (cell.note != kNoNote) throw std::logic_error("cut on a note");
  cell.note = kNoteCut;
}

void SongBuilder::Volume(int pattern, int row, int channel, int volume) {
  At(pattern, row, channel).volume = static_cast<int8_t>(volume);
}

void SongBuilder::Fx(int pattern, int row, int channel, Effect effect, uint8_t param) {
  Cell& cell = At(pattern, row, channel);
  if (cell.effect != Effect::kNone) throw std::logic_error("two effects in one cell");
  cell.effect = effect;
  cell.param = param;
}

void SongBuilder::Global(int pattern, int row, Effect effect, uint8_t param, bool volumeSharesSlot) {
  for (int ch = 0; ch < song_.channels; ++ch) {
    Cell& cell = At(pattern, row, ch);
    if (cell.effect != Effect::kNone) continue;
    if (volumeSharesSlot && (cell.volume >= 0 || cell.note == kNoteCut)) continue;
    cell.effect = effect;
    cell.param = param;
    return;
  }
  throw std::logic_error("no free effect slot in pattern " + std::to_string(pattern) + " row " + std::to_string(row));
}

void SongBuilder::Line(int pattern, int row, int channel, int instrument, const std::vector<LineEvent>& line,
                       int volume) {
  for (const LineEvent& event : line) {
    const int at = row + event.row;
    if (at >= kRowsPerPattern) break;
    if (event.midi < 0) Cut(pattern, at, channel);
    else Note(pattern, at, channel, instrument, event.midi, event.volume >= 0 ? event.volume : volume);
  }
}

double SongSeconds(const Song& song) {
  double seconds = 0.0;
  int speed = song.initialSpeed, tempo = song.initialTempo;
  std::set<std::pair<size_t, int>> visited;
  size_t order = 0;
  int row = 0;
  // A pass ends at the end of the order list or where a jump revisits a row already played.
  while (order < song.orders.size() && visited.insert({order, row}).second) {
    const Pattern& pattern = song.patterns.at(static_cast<size_t>(song.orders[order]));
    int nextRow = row + 1;
    size_t nextOrder = order;
    bool jumped = false;
    for (int ch = 0; ch < pattern.channels; ++ch) {
      const Cell& cell = pattern.At(row, ch);
      if (cell.effect == Effect::kSetSpeed && cell.param > 0) speed = cell.param;
      if (cell.effect == Effect::kSetTempo) tempo = cell.param;
      if (cell.effect == Effect::kPatternBreak) {
        if (!jumped) nextOrder = order + 1;
        jumped = true;
        nextRow = cell.param;
      }
      if (cell.effect == Effect::kPositionJump) {
        nextOrder = cell.param;
        if (!jumped) nextRow = 0;
        jumped = true;
      }
    }
    seconds += speed * 2.5 / tempo;
    if (!jumped && nextRow >= kRowsPerPattern) {
      nextOrder = order + 1;
      nextRow = 0;
    }
    order = nextOrder;
    row = nextRow;
  }
  return seconds;
}

}  // namespace mkdata::music
