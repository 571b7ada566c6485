#include "jianpu/PhraseBlock.h"

#include <algorithm>
#include <cmath>

#include "jianpu/PhraseCells.h"
#include "jianpu/PhraseWords.h"

namespace jianpu {

namespace {

constexpr double kEps = 1e-9;

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

  // True when a measure ends at `beat`, inside the phrase.
  bool EndsAMeasure(double beat) const {
    const std::vector<double>& ends = sheet_.measureEnds[static_cast<size_t>(phrase_)];
    return std::any_of(ends.begin(), ends.end(),
                       [&](double end) { return std::fabs(end - beat) < kEps; });
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
        const double right = InkRight(*voiceCells[last]);
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
                 InkRight(*last) - DigitLeft(*first), 6.0, first->voice, 0, "3");
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

// A bar line before the first column of each measure that starts inside the block, halfway
// between the ink of the notes before it and the column, and after the block when a measure
// ends where it is cut. The line sets how tall they are.
void MeasureBars(const std::vector<Cell*>& placed, double from, double to, CBlockWriter& writer) {
  double inkRight = 0.0;
  for (size_t i = 0; i < placed.size(); ++i) {
    const Cell& cell = *placed[i];
    const bool columnStarts = i == 0 || std::fabs(placed[i - 1]->time - cell.time) > kEps;
    if (columnStarts && cell.measureStart && cell.time > from + kEps)
      writer.Plain(ItemKind::kBarLine, (inkRight + cell.x) / 2, 0.0, 0.0, 0.0, 0);
    inkRight = std::max(inkRight, InkRight(cell));
  }
  if (writer.EndsAMeasure(to))
    writer.Plain(ItemKind::kBarLine, inkRight + kBarGap / 2, 0.0, 0.0, 0.0, 0);
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
    if (i > 0 && std::all_of(present.begin(), present.end(), [](bool p) { return p; })) {
      const bool measure = placed[i]->measureStart;
      breakPoints_.push_back(
          {placed[i]->time, placed[i]->x - kColumnGap - (measure ? kMeasureGap : 0.0), measure});
    }
    i = end;
  }
  const Phrase& p = sheet.score->phrases[phrase];
  breakPoints_.push_back({p.startTimes[p.noteCount], width, false});
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
  MeasureBars(chosen, from, to, writer);
  AddWords(sheet_, phrase_, block);
  // A wide first syllable moves the block right rather than reach into what stands before.
  double left = 0.0;
  for (const SheetItem& item : block.items) left = std::min(left, item.x);
  for (SheetItem& item : block.items) item.x -= left;
  block.width -= left;
  return block;
}

}  // namespace jianpu
