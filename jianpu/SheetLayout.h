#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jianpu/Sheet.h"
#include "jianpu/SheetItem.h"

namespace jianpu {

// One line of the sheet: its items (y from the line's top) and its height.
struct SheetLine {
  double height = 0.0;
  std::vector<SheetItem> items;
};

// The sheet's phrases in text order, bar lines between them, wrapped into lines `width` units
// wide: a phrase that does not fit on what is left of a line starts the next, and one wider
// than a whole line is broken at a beat where every voice has a note (a whole beat where it
// can), at a measure's end before any other. A refused phrase stands where it was, marked,
// with the parser's message. The key, the meter and the tempo stand over the first phrase, and
// each again over a phrase where it changes (a meter where one is written). A bar line stands
// after every measure, counted from the pickup; the words stand under the first voice's notes,
// verse under verse.
std::vector<SheetLine> LayOutLines(const Sheet& sheet, double width);

// A page: its items, from the top left corner of the area inside its margins.
struct SheetPage {
  std::vector<SheetItem> items;
};

// The lines one under another, as the window's view shows them, under the title (if any)
// centred over `width` units.
SheetPage StackLines(const std::vector<SheetLine>& lines, const std::string& title = "",
                     double width = 0.0);

// Pages of `width` by `height` units inside their margins: the title on the first, then as
// many whole lines as fit each page; when there is more than one page, each ends with its
// number, "n / m", on a line of its own.
std::vector<SheetPage> LayOutPages(const Sheet& sheet, double width, double height,
                                   const std::string& title);

// "1=F", "1=♭B": the key as the sheet writes it; `semitones` raises it (practice's passes).
std::string KeyText(int32_t keyLetter, int32_t accidental, int32_t semitones = 0);
// "♩=100".
std::string TempoText(int32_t tempo);
// "2/4".
std::string MeterText(const SongMeter& meter);

}  // namespace jianpu
