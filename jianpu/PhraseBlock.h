#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "jianpu/Sheet.h"
#include "jianpu/SheetItem.h"

namespace jianpu {

// A phrase, or the stretch of it from beat `from` up to beat `to`, drawn as one block: its
// voices on rows of their own, every note at the column of the beat it starts on, so that
// the voices line up, with a bar line at each measure's end; the words under the first voice.
// Item positions are relative to the block's left edge and to the top of the digits of its row
// (y 0), the words' to the top of the words; bar lines take the line's height; `row` of each
// item is its voice.
struct PhraseBlock {
  double width = 0.0;
  int32_t rows = 1;
  std::vector<SheetItem> items;
  std::vector<int32_t> itemRows;  // the row of each item
};

// The beats at which a phrase may be broken across lines (every voice has a note or a dash
// starting there), each with the width the block takes from the phrase's start to it and
// whether a measure starts there; the phrase's end comes last.
struct BreakPoint {
  double beat = 0.0;
  double x = 0.0;
  bool measure = false;
};

// A phrase's notes as written, once, for the blocks of its pieces.
class CPhraseLayout {
 public:
  CPhraseLayout(const Sheet& sheet, int32_t phrase);
  ~CPhraseLayout();
  CPhraseLayout(const CPhraseLayout&) = delete;
  CPhraseLayout& operator=(const CPhraseLayout&) = delete;

  const std::vector<BreakPoint>& BreakPoints() const { return breakPoints_; }
  // The block of the notes that start in [from, to).
  PhraseBlock Block(double from, double to) const;

 private:
  struct Cells;
  const Sheet& sheet_;
  int32_t phrase_;
  std::unique_ptr<Cells> cells_;
  std::vector<BreakPoint> breakPoints_;
};

}  // namespace jianpu
