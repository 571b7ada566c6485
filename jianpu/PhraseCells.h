#pragma once

#include <cstdint>
#include <vector>

#include "jianpu/NoteSpelling.h"
#include "jianpu/Sheet.h"
#include "jianpu/SheetItem.h"

namespace jianpu {

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
  bool measureStart = false;  // a measure's bar line stands before it
  int32_t group = -1;         // triplet bracket
  int32_t underlines = 0;
  int32_t dots = 0;  // drawn after the cell
  int32_t note = -1;
  std::vector<StackedDigit> stack;
  bool sharpRoom = false;
  double width = 0.0;
  double x = 0.0;
};

// The room between a measure's last column and the next measure's first, where its bar line
// stands, over the gap between any two columns.
constexpr double kMeasureGap = 8.0;

// A phrase's notes as cells, each voice's in time order, voice by voice; a head carrying
// words is as wide as its widest syllable needs.
std::vector<Cell> CellsOf(const Sheet& sheet, int32_t phrase);

// Places the columns: a column stands right of every cell of each voice before it (and of a
// measure's bar line), and every cell starting at its beat stands in it. Sorts `cells` by
// time; returns the right edge of the last.
double PlaceColumns(std::vector<Cell*>& cells);

// The left edge of a head's digit (after the room for a sharp).
inline double DigitLeft(const Cell& cell) { return cell.x + (cell.sharpRoom ? kSharpWidth : 0.0); }

// The right edge of what a cell draws: its digit or dash and its dots (not its words).
inline double InkRight(const Cell& cell) {
  return DigitLeft(cell) + kDigitWidth + cell.dots * kDotWidth;
}

}  // namespace jianpu
