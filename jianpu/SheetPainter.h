#pragma once

#include <QFont>
#include <cstdint>
#include <string>
#include <vector>

#include "jianpu/Sheet.h"
#include "jianpu/SheetLayout.h"

class QPainter;

namespace jianpu {

// What the view lights while a score plays: the phrase and its sounding notes (by the bytes
// of their numbers; their syllables are lit with them), and the key the pass is raised to in
// practice ("" when not raised).
struct SheetLighting {
  int32_t phrase = -1;
  std::vector<SourceRange> notes;
  std::string raisedKey;
};

// The fonts the sheet is drawn in: digits, the music signs (♩ ♯ ♭) and Latin words in DejaVu
// Sans, Chinese text (titles, words) in WenQuanYi Zen Hei, without ligatures; `pixels` tall in
// layout units.
QFont SheetFont(int pixels, bool bold = false);

// Draws a page's items, the painter's origin at the page's top left inside its margins and
// one unit of the layout one unit of the painter. Digits, headers, the title, the words and
// refused phrases are text; the triplet's number and the page numbers are drawn as outlines, so
// that the only digits in a page's text are the notes' and those of the "=" headers.
void PaintSheet(QPainter& painter, const SheetPage& page, const SheetLighting& lighting = {});

}  // namespace jianpu
