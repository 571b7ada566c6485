#include "jianpu/PhraseBlock.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "jianpu/NoteSpelling.h"

namespace jianpu {

namespace {

constexpr double kEps = 1e-9;
constexpr double kMinAdvance = 4.0;  // between two columns of different voices

// One digit of a head: how it is written and the note it stands for.
struct StackedDigit {
  WrittenPitch pitch;
  int32_t note = -1;
};

// A column's content in one voice: a head (a digit, or a chord's digits stacked bottom
// first) or a dash.
struct Cell {
  double time = 0.0;
  double beats = 0.0;  // how long the head lasts (for triplet brackets)
  int32_t voice = 0;
  bool dash = false;
  bool tied = false;  // tied to the head before it
  bool triplet = false;
  int32_t group = -1;  // triplet bracket
  int32_t underlines = 0;
  int32_t dots = 0;  // drawn after the cell
  int32_t note = -1;
  std::vector<StackedDigit> stack;
  bool sharpRoom = false;
  double width = 0.0;
  double x = 0.0;
};

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
  return cells;
}

// Places the columns: a column stands right of every cell of each voice before it, and
// every cell starting at its beat stands in it.
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
    while (end < cells.size() && std::fabs(cells[end]->time - cells[i]->time) < kEps)
      x = std::max(x, voiceEnd[static_cast<size_t>(cells[end++]->voice)]);
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

SheetItem NoteItem(ItemKind kind, double x, double y, double w, double h, const Sheet& sheet,
                   int32_t phrase, int32_t note) {
  SheetItem item;
  item.kind = kind;
  item.x = x;
  item.y = y;
  item.width = w;
  item.height = h;
  item.phrase = phrase;
  item.note = note;
  item.source = NoteSource(sheet, phrase, note);
  return item;
}

class CBlockWriter {
 public:
  CBlockWriter(const Sheet& sheet, int32_t phrase, PhraseBlock& block)
      : sheet_(sheet), phrase_(phrase), block_(block) {}

  void Add(SheetItem item, int32_t row) {
    block_.items.push_back(std::move(item));
    block_.itemRows.push_back(row);
  }

  // A head's digits, sharps and octave dots; returns the top of what it drew.
  double Head(const Cell& cell) {
    const double digitX = cell.x + (cell.sharpRoom ? kSharpWidth : 0.0);
    double y = 0.0;
    double top = 0.0;
    for (size_t i = 0; i < cell.stack.size(); ++i) {
      const StackedDigit& digit = cell.stack[i];
      const WrittenPitch& pitch = digit.pitch;
      if (i > 0) {
        const WrittenPitch& below = cell.stack[i - 1].pitch;
        y -= kDigitHeight + 2.0 + std::max(0, below.octave) * kDotStep +
             std::max(0, -pitch.octave) * kDotStep;
      }
      SheetItem d = NoteItem(ItemKind::kDigit, digitX, y, kDigitWidth, kDigitHeight, sheet_,
                             phrase_, digit.note);
      d.text = std::string(1, static_cast<char>('0' + pitch.degree));
      Add(d, cell.voice);
      if (pitch.sharp)
        Add(NoteItem(ItemKind::kSharp, cell.x, y - 2.0, kSharpWidth, 8.0, sheet_, phrase_,
                     digit.note),
            cell.voice);
      for (int32_t k = 0; k < pitch.octave && pitch.degree > 0; ++k) {
        const double cy = y - 1.5 - kDotRadius - k * kDotStep;
        Add(Dot(ItemKind::kOctaveDot, digitX + kDigitWidth / 2, cy, digit.note), cell.voice);
        top = std::min(top, cy - kDotRadius);
      }
      const double belowStart =
          i == 0 ? kDigitHeight + 1.0 + cell.underlines * kUnderlineStep : y + kDigitHeight + 0.5;
      for (int32_t k = 0; k < -pitch.octave && pitch.degree > 0; ++k) {
        const double cy = belowStart + kDotRadius + 0.5 + k * kDotStep;
        Add(Dot(ItemKind::kOctaveDot, digitX + kDigitWidth / 2, cy, digit.note), cell.voice);
      }
      top = std::min(top, y);
    }
    AugmentationDots(cell, digitX + kDigitWidth);
    return top;
  }

  void Dash(const Cell& cell) {
    Add(NoteItem(ItemKind::kDash, cell.x + 1.0, kDigitHeight / 2 - 0.6, kDigitWidth - 2.0, 1.2,
                 sheet_, phrase_, cell.note),
        cell.voice);
    AugmentationDots(cell, cell.x + kDigitWidth);
  }

  SheetItem Dot(ItemKind kind, double cx, double cy, int32_t note) {
    return NoteItem(kind, cx - kDotRadius, cy - kDotRadius, 2 * kDotRadius, 2 * kDotRadius, sheet_,
                    phrase_, note);
  }

  void AugmentationDots(const Cell& cell, double x) {
    for (int32_t k = 0; k < cell.dots; ++k)
      Add(Dot(ItemKind::kDot, x + kDotWidth * (k + 0.5), kDigitHeight / 2, cell.note), cell.voice);
  }

  void Plain(ItemKind kind, double x, double y, double w, double h, int32_t row, int32_t level = 0,
             const char* text = "") {
    SheetItem item;
    item.level = level;
    item.kind = kind;
    item.x = x;
    item.y = y;
    item.width = w;
    item.height = h;
    item.text = text;
    item.phrase = phrase_;
    Add(item, row);
  }

 private:
  const Sheet& sheet_;
  int32_t phrase_;
  PhraseBlock& block_;
};

double DigitLeft(const Cell& cell) { return cell.x + (cell.sharpRoom ? kSharpWidth : 0.0); }

// Underlines: the heads of one beat (or of one triplet) that have them are joined, each level
// under the run of heads that have that many.
void Underlines(const std::vector<Cell*>& voiceCells, CBlockWriter& writer) {
  const auto groupOf = [](const Cell* c) {
    return c->triplet ? 1e9 + c->group : std::floor(c->time + kEps);
  };
  size_t i = 0;
  while (i < voiceCells.size()) {
    const Cell* first = voiceCells[i];
    if (first->dash || first->underlines == 0) {
      ++i;
      continue;
    }
    size_t end = i + 1;
    while (end < voiceCells.size() && !voiceCells[end]->dash && voiceCells[end]->underlines > 0 &&
           groupOf(voiceCells[end]) == groupOf(first))
      ++end;
    int32_t most = 0;
    for (size_t k = i; k < end; ++k) most = std::max(most, voiceCells[k]->underlines);
    for (int32_t level = 1; level <= most; ++level) {
      size_t k = i;
      while (k < end) {
        if (voiceCells[k]->underlines < level) {
          ++k;
          continue;
        }
        size_t last = k;
        while (last + 1 < end && voiceCells[last + 1]->underlines >= level) ++last;
        const double left = DigitLeft(*voiceCells[k]);
        const double right = voiceCells[last]->x + voiceCells[last]->width;
        writer.Plain(ItemKind::kUnderline, left, kDigitHeight + 1.0 + (level - 1) * kUnderlineStep,
                     right - left, kUnderlineThickness, first->voice, level);
        k = last + 1;
      }
    }
    i = end;
  }
}

// The bracket over each triplet and the tie arcs, above the highest thing its heads draw.
void Arcs(const std::vector<Cell*>& voiceCells, const std::vector<double>& tops,
          CBlockWriter& writer) {
  size_t i = 0;
  while (i < voiceCells.size()) {
    const Cell* first = voiceCells[i];
    if (first->group < 0) {
      ++i;
      continue;
    }
    size_t end = i + 1;
    double top = tops[i];
    while (end < voiceCells.size() && voiceCells[end]->group == first->group)
      top = std::min(top, tops[end++]);
    const Cell* last = voiceCells[end - 1];
    writer.Plain(ItemKind::kTriplet, DigitLeft(*first), top - 8.0,
                 last->x + last->width - DigitLeft(*first), 6.0, first->voice, 0, "3");
    i = end;
  }
  const Cell* head = nullptr;
  for (size_t k = 0; k < voiceCells.size(); ++k) {
    const Cell* cell = voiceCells[k];
    if (cell->dash) continue;
    if (cell->tied && head != nullptr) {
      const double left = DigitLeft(*head) + kDigitWidth / 2;
      writer.Plain(ItemKind::kTie, left, tops[k] - 5.0, DigitLeft(*cell) + kDigitWidth / 2 - left,
                   4.0, cell->voice);
    }
    head = cell;
  }
}

}  // namespace

struct CPhraseLayout::Cells {
  std::vector<Cell> all;
};

CPhraseLayout::CPhraseLayout(const Sheet& sheet, int32_t phrase)
    : sheet_(sheet), phrase_(phrase), cells_(std::make_unique<Cells>()) {
  cells_->all = CellsOf(sheet, phrase);
  std::vector<Cell> placedCells = cells_->all;
  std::vector<Cell*> placed;
  for (Cell& cell : placedCells) placed.push_back(&cell);
  const double width = PlaceColumns(placed);
  int32_t voices = 0;
  for (const Cell& cell : placedCells) voices = std::max(voices, cell.voice + 1);
  size_t i = 0;
  while (i < placed.size()) {
    size_t end = i;
    std::vector<bool> present(static_cast<size_t>(voices), false);
    while (end < placed.size() && std::fabs(placed[end]->time - placed[i]->time) < kEps)
      present[static_cast<size_t>(placed[end++]->voice)] = true;
    if (i > 0 && std::all_of(present.begin(), present.end(), [](bool p) { return p; }))
      breakPoints_.push_back({placed[i]->time, placed[i]->x - kColumnGap});
    i = end;
  }
  const Phrase& p = sheet.score->phrases[phrase];
  breakPoints_.push_back({p.startTimes[p.noteCount], width});
}

CPhraseLayout::~CPhraseLayout() = default;

PhraseBlock CPhraseLayout::Block(double from, double to) const {
  std::vector<Cell> cells;
  PhraseBlock block;
  for (const Cell& cell : cells_->all) {
    block.rows = std::max(block.rows, cell.voice + 1);
    if (cell.time > from - kEps && cell.time < to - kEps) cells.push_back(cell);
  }
  std::vector<Cell*> chosen;
  for (Cell& cell : cells) chosen.push_back(&cell);
  block.width = PlaceColumns(chosen);
  CBlockWriter writer(sheet_, phrase_, block);
  for (int32_t voice = 0; voice < block.rows; ++voice) {
    std::vector<Cell*> voiceCells;
    std::vector<double> tops;
    for (Cell* cell : chosen) {
      if (cell->voice != voice) continue;
      voiceCells.push_back(cell);
      if (cell->dash) {
        writer.Dash(*cell);
        tops.push_back(0.0);
      } else {
        tops.push_back(writer.Head(*cell));
      }
    }
    Underlines(voiceCells, writer);
    Arcs(voiceCells, tops, writer);
  }
  return block;
}

}  // namespace jianpu
