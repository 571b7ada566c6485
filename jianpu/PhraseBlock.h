#pragma once

#include <cstdint>
#include <vector>

#include "jianpu/Sheet.h"
#include "jianpu/SheetItem.h"

namespace jianpu {

// A phrase, or the stretch of it from beat `from` up to beat `to`, drawn as one block: its
// voices on rows of their own, every note at the column of the beat it starts on, so that
// the voices line up. Item positions are relative to the block's left edge and to the top of
// the digits of its row (y 0); `row` of each item is its voice.
struct PhraseBlock {
  double width = 0.0;
  int32_t rows = 1;
  std::vector<SheetItem> items;
  std::vector<int32_t> itemRows;  // the row of each item
};

// The beats at which a phrase may be broken across lines (every voice has a note or a dash
// starting there), each with the width the block takes from the phrase's start to it; the
// phrase's end comes last.
struct BreakPoint {
  double beat = 0.0;
  double x = 0.0;
};
std::vector<BreakPoint> BreakPoints(const Sheet& sheet, int32_t phrase);

// The block of the notes of `phrase` that start in [from, to).
PhraseBlock BuildPhraseBlock(const Sheet& sheet, int32_t phrase, double from, double to);

}  // namespace jianpu
