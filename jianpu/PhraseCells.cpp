#include "jianpu/PhraseCells.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "jianpu/PhraseWords.h"

namespace jianpu {

namespace {

constexpr double kEps = 1e-9;
constexpr double kMinAdvance = 4.0;  // between two columns of different voices

// The voice of each note: a voice ends where an '&' stands between two notes' numbers.
std::vector<int32_t> VoiceOfNotes(const Phrase& phrase) {
  std::vector<int32_t> voices(static_cast<size_t>(phrase.noteCount), 0);
  int32_t voice = 0;
  for (int32_t j = 1; j < phrase.noteCount; ++j) {
    const TokenSpan& before = phrase.tokens[2 * j - 1];
    const TokenSpan& after = phrase.tokens[2 * j];
    if (std::find(before.start + before.length, after.start, '&') != after.start) ++voice;
    voices[static_cast<size_t>(j)] = voice;
  }
  return voices;
}

void AddNote(std::vector<Cell>& cells, int32_t voice, double start, double beats,
             std::vector<StackedDigit> stack) {
  std::sort(stack.begin(), stack.end(), [](const StackedDigit& a, const StackedDigit& b) {
    return std::make_tuple(a.pitch.octave, a.pitch.degree, a.pitch.sharp) <
           std::make_tuple(b.pitch.octave, b.pitch.degree, b.pitch.sharp);
  });
  const bool sharpRoom =
      std::any_of(stack.begin(), stack.end(), [](const StackedDigit& d) { return d.pitch.sharp; });
  const bool triplet = IsTripletLength(beats);
  const double scale = triplet ? 2.0 / 3.0 : 1.0;
  const int32_t note = stack.back().note;
  const bool rest = stack.size() == 1 && stack[0].pitch.degree == 0;
  double time = start;
  bool first = true;
  for (const WrittenLength& head : WriteLength(beats)) {
    Cell cell;
    cell.time = time;
    cell.beats = HeadBeats(head) * scale;
    cell.voice = voice;
    cell.tied = !first;
    cell.triplet = triplet;
    cell.underlines = head.underlines;
    cell.dots = head.dashes == 0 ? head.dots : 0;
    cell.note = note;
    cell.stack = stack;
    cell.sharpRoom = sharpRoom;
    cell.width = (sharpRoom ? kSharpWidth : 0.0) + kDigitWidth + cell.dots * kDotWidth;
    cells.push_back(cell);
    const double beat = std::ldexp(1.0, -head.underlines) * scale;
    for (int32_t d = 1; d <= head.dashes; ++d) {
      // A rest is written again for each beat; a note's further beats are dashes.
      if (rest) {
        Cell again = cell;
        again.time = time + d * beat;
        again.tied = false;
        again.dots = d == head.dashes ? head.dots : 0;
        again.width = kDigitWidth + again.dots * kDotWidth;
        cells.push_back(again);
        continue;
      }
      Cell dash;
      dash.time = time + d * beat;
      dash.voice = voice;
      dash.dash = true;
      dash.note = note;
      dash.dots = d == head.dashes ? head.dots : 0;
      dash.width = kDigitWidth + dash.dots * kDotWidth;
      cells.push_back(dash);
    }
    time += cell.beats;
    first = false;
  }
}

// Triplet heads in a row are bracketed in threes: a bracket closes when its heads fill a
// quarter, half, one or two beats.
void GroupTriplets(std::vector<Cell>& cells) {
  int32_t group = 0;
  double filled = 0.0;
  bool open = false;
  int32_t voice = -1;
  for (Cell& cell : cells) {
    if (cell.dash) continue;
    if (!cell.triplet || cell.voice != voice) {
      if (open) ++group;
      open = false;
      filled = 0.0;
    }
    voice = cell.voice;
    if (!cell.triplet) continue;
    cell.group = group;
    open = true;
    filled += cell.beats;
    for (double span : {0.25, 0.5, 1.0, 2.0}) {
      if (std::fabs(filled - span) < kEps) {
        ++group;
        open = false;
        filled = 0.0;
        break;
      }
    }
  }
}

// Marks the cells a measure starts with, and widens the first voice's cells so that each
// syllable, centred under its head, stays clear of its neighbours and their digits.
void FitMeasuresAndWords(const Sheet& sheet, int32_t phrase, std::vector<Cell>& cells) {
  const std::vector<double>& ends = sheet.measureEnds[static_cast<size_t>(phrase)];
  for (Cell& cell : cells)
    cell.measureStart = std::any_of(ends.begin(), ends.end(),
                                    [&](double end) { return std::fabs(end - cell.time) < kEps; });
  // What a cell draws left and right of its own x.
  const auto words = [&](const Cell& cell) {
    double widest = 0.0;
    if (!cell.dash && !cell.tied)
      for (const StackedDigit& digit : cell.stack)
        widest = std::max(widest, WordsWidth(sheet, phrase, digit.note));
    return widest;
  };
  const auto left = [&](const Cell& cell) {
    return std::min(DigitLeft(cell) - cell.x,
                    DigitLeft(cell) - cell.x + kDigitWidth / 2 - words(cell) / 2);
  };
  const auto right = [&](const Cell& cell) {
    return std::max(cell.width, DigitLeft(cell) - cell.x + kDigitWidth / 2 + words(cell) / 2);
  };
  Cell* before = nullptr;
  for (Cell& cell : cells) {
    if (cell.voice != 0) continue;
    if (before != nullptr && (words(*before) > 0.0 || words(cell) > 0.0))
      before->width = std::max(before->width, right(*before) - left(cell) - kColumnGap);
    before = &cell;
  }
  if (before != nullptr) before->width = right(*before);
}

}  // namespace

std::vector<Cell> CellsOf(const Sheet& sheet, int32_t phrase) {
  const Phrase& p = sheet.score->phrases[phrase];
  const std::vector<int32_t> voices = VoiceOfNotes(p);
  std::vector<Cell> cells;
  std::vector<StackedDigit> pending;
  for (int32_t j = 0; j < p.noteCount; ++j) {
    pending.push_back({WritePitch(p.tokens[2 * j + 1]), j});
    const bool voiceEnds = j + 1 == p.noteCount || voices[j + 1] != voices[j];
    // A note of no length sounds with the next of its voice: their digits stack.
    if (p.durations[j] < kEps && !voiceEnds) continue;
    AddNote(cells, voices[j], p.startTimes[j], p.durations[j], pending);
    pending.clear();
  }
  GroupTriplets(cells);
  FitMeasuresAndWords(sheet, phrase, cells);
  return cells;
}

double PlaceColumns(std::vector<Cell*>& cells) {
  std::stable_sort(cells.begin(), cells.end(),
                   [](const Cell* a, const Cell* b) { return a->time < b->time - kEps; });
  std::vector<double> voiceEnd;
  for (const Cell* cell : cells)
    voiceEnd.resize(std::max(voiceEnd.size(), static_cast<size_t>(cell->voice) + 1), 0.0);
  double columnX = -kMinAdvance;
  double right = 0.0;
  size_t i = 0;
  while (i < cells.size()) {
    size_t end = i;
    double x = std::max(columnX + kMinAdvance, 0.0);
    bool measure = false;
    for (; end < cells.size() && std::fabs(cells[end]->time - cells[i]->time) < kEps; ++end) {
      x = std::max(x, voiceEnd[static_cast<size_t>(cells[end]->voice)]);
      measure = measure || cells[end]->measureStart;
    }
    // A bar line stands clear of every voice's last cell.
    if (measure && i > 0)
      for (double voiceRight : voiceEnd) x = std::max(x, voiceRight + kMeasureGap);
    for (size_t k = i; k < end; ++k) {
      cells[k]->x = x;
      voiceEnd[static_cast<size_t>(cells[k]->voice)] = x + cells[k]->width + kColumnGap;
      right = std::max(right, x + cells[k]->width);
    }
    columnX = x;
    i = end;
  }
  return right;
}

}  // namespace jianpu
