#include "jianpu/SheetLayout.h"

#include <algorithm>
#include <cmath>

#include "jianpu/PhraseBlock.h"

namespace jianpu {

namespace {

constexpr double kEps = 1e-9;
constexpr double kTextCharWidth = 6.0;  // a character of header and fault text, at most
constexpr size_t kFaultTextChars = 24;  // of a refused phrase's own text
constexpr double kTitleHeight = 30.0;
constexpr double kPageNumberHeight = 20.0;

// Counts characters of UTF-8 text (to size text the layout cannot measure).
size_t CharacterCount(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

SheetItem TitleItem(const std::string& title, double width) {
  SheetItem item;
  item.kind = ItemKind::kTitle;
  item.text = title;
  item.width = width;
  item.height = kTitleHeight - 8.0;
  return item;
}

bool IsWords(const SheetItem& item) {
  return item.kind == ItemKind::kSyllable || item.kind == ItemKind::kExtender;
}

// A piece of a line: a block of a phrase (or a refused phrase), with what stands over it.
struct Piece {
  PhraseBlock block;
  std::string header;
  bool endsPhrase = true;
};

std::string HeaderOf(const Sheet& sheet, int32_t phrase) {
  const Score& score = *sheet.score;
  const Phrase& p = score.phrases[phrase];
  const Phrase* before = phrase > 0 ? &score.phrases[phrase - 1] : nullptr;
  std::string header;
  const auto add = [&](const std::string& part) { header += (header.empty() ? "" : "  ") + part; };
  if (before == nullptr || before->keyLetter != p.keyLetter || before->accidental != p.accidental)
    add(KeyText(p.keyLetter, p.accidental));
  if (phrase < static_cast<int32_t>(sheet.song.phrases.size())) {
    const std::optional<SongMeter>& meter = sheet.song.phrases[static_cast<size_t>(phrase)].meter;
    if (meter) add(MeterText(*meter));
  }
  if (before == nullptr || before->tempo != p.tempo) add(TempoText(p.tempo));
  return header;
}

// A refused phrase: its text (shortened) in a marked box with the parser's message under it.
Piece FaultPiece(const Sheet& sheet, const SheetFault& fault) {
  std::string text;
  if (fault.offset >= 0) {
    const size_t from = std::min(static_cast<size_t>(fault.offset), sheet.text.size());
    text = sheet.text.substr(from, static_cast<size_t>(fault.length));
    for (char& c : text)
      if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    if (CharacterCount(text) > kFaultTextChars) {
      size_t cut = 0;
      for (size_t chars = 0; cut < text.size() && chars < kFaultTextChars; ++chars) {
        ++cut;
        while (cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) ++cut;
      }
      text = text.substr(0, cut) + "…";
    }
  }
  Piece piece;
  SheetItem item;
  item.kind = ItemKind::kFault;
  item.text = text;
  item.message = fault.message;
  item.width = kTextCharWidth * static_cast<double>(
                                    std::max(CharacterCount(text), CharacterCount(fault.message))) +
               6.0;
  item.y = -4.0;
  item.height = kDigitHeight + 16.0;
  item.source = {fault.offset, fault.offset + fault.length};
  piece.block.width = item.width;
  piece.block.items.push_back(item);
  piece.block.itemRows.push_back(0);
  return piece;
}

// The pieces of a phrase for lines `width` wide, the first `room` wide. An empty first
// piece: the phrase starts on the next line.
std::vector<Piece> PhrasePieces(const Sheet& sheet, int32_t phrase, double room, double width) {
  const CPhraseLayout layout(sheet, phrase);
  const std::vector<BreakPoint>& points = layout.BreakPoints();
  constexpr size_t kNone = static_cast<size_t>(-1);
  std::vector<Piece> pieces;
  // A phrase that fits a line but not what is left of this one starts the next; so does a
  // longer one when little of this line is left.
  if (room < width && points.back().x > room && (points.back().x <= width || room < width / 3)) {
    pieces.emplace_back();
    room = width;
  }
  double from = 0.0;
  double fromX = 0.0;
  size_t next = 0;
  while (next < points.size()) {
    // The last break that fits, a measure's end or else a whole beat if one does; at least
    // one column.
    size_t chosen = kNone;
    size_t whole = kNone;
    size_t bar = kNone;
    for (size_t k = next; k < points.size() && points[k].x - fromX <= room; ++k) {
      chosen = k;
      if (std::fabs(points[k].beat - std::round(points[k].beat)) < kEps) whole = k;
      if (points[k].measure) bar = k;
    }
    if (chosen == kNone)
      chosen = next;
    else if (chosen + 1 != points.size() && (bar != kNone || whole != kNone))
      chosen = bar != kNone ? bar : whole;
    const bool last = chosen + 1 == points.size();
    Piece piece;
    piece.block = layout.Block(from, last ? points[chosen].beat + 1.0 : points[chosen].beat);
    piece.endsPhrase = last;
    if (from == 0.0) piece.header = HeaderOf(sheet, phrase);
    pieces.push_back(std::move(piece));
    from = points[chosen].beat;
    fromX = points[chosen].x + kColumnGap;
    next = chosen + 1;
    room = width;
  }
  return pieces;
}

// Places the pieces of one line and gives them rows, bar lines and headers.
SheetLine FinishLine(const std::vector<Piece>& pieces, const std::vector<double>& xs,
                     bool lastOfScore) {
  SheetLine line;
  int32_t rows = 1;
  bool header = false;
  for (const Piece& piece : pieces) {
    rows = std::max(rows, piece.block.rows);
    header = header || !piece.header.empty();
  }
  // Each row as tall as what stands in it, one under the other; the words, under the first,
  // as deep as its verses.
  std::vector<double> top(static_cast<size_t>(rows), 0.0);
  std::vector<double> bottom(static_cast<size_t>(rows), kDigitHeight);
  double wordsDepth = 0.0;
  for (const Piece& piece : pieces) {
    for (size_t i = 0; i < piece.block.items.size(); ++i) {
      const SheetItem& item = piece.block.items[i];
      const size_t row = static_cast<size_t>(piece.block.itemRows[i]);
      if (IsWords(item)) {
        wordsDepth = std::max(wordsDepth, item.y + item.height);
        continue;
      }
      top[row] = std::min(top[row], item.y);
      bottom[row] = std::max(bottom[row], item.y + item.height);
    }
  }
  const double wordsTop = bottom[0] + kWordsGap;  // from the first row's digits
  if (wordsDepth > 0.0) bottom[0] = wordsTop + wordsDepth;
  std::vector<double> rowY(static_cast<size_t>(rows));
  // A little room over the rows for the bar lines and the lit phrase's box.
  const double contentTop = header ? kHeaderHeight + 2.0 : 2.0;
  double y = contentTop;
  for (size_t r = 0; r < rowY.size(); ++r) {
    rowY[r] = y - top[r];
    y = rowY[r] + bottom[r] + (r + 1 < rowY.size() ? kRowGap : 0.0);
  }
  line.height = y;
  // Bar lines run down the rows of notes, not through the words under the last.
  const double barTop = contentTop - 2.0;
  const double barBottom =
      rows == 1 && wordsDepth > 0.0 ? rowY[0] + wordsTop - kWordsGap + 2.0 : line.height + 2.0;
  for (size_t p = 0; p < pieces.size(); ++p) {
    const Piece& piece = pieces[p];
    const double x = xs[p];
    int32_t phrase = -1;
    for (size_t i = 0; i < piece.block.items.size(); ++i) {
      SheetItem item = piece.block.items[i];
      item.x += x;
      item.y +=
          rowY[static_cast<size_t>(piece.block.itemRows[i])] + (IsWords(item) ? wordsTop : 0.0);
      if (item.kind == ItemKind::kBarLine) {
        item.y = barTop;
        item.height = barBottom - barTop;
      }
      phrase = item.kind == ItemKind::kFault ? -1 : item.phrase;
      line.items.push_back(std::move(item));
    }
    if (!piece.header.empty()) {
      SheetItem item;
      item.kind = ItemKind::kHeader;
      item.text = piece.header;
      item.x = x;
      item.width = kTextCharWidth * static_cast<double>(CharacterCount(piece.header));
      item.height = kHeaderHeight;
      item.phrase = phrase;
      line.items.push_back(item);
    }
    if (phrase >= 0) {
      SheetItem box;
      box.kind = ItemKind::kPhrase;
      box.phrase = phrase;
      box.x = x - kBarGap / 2;
      box.y = contentTop - 2.0;
      box.width = piece.block.width + kBarGap;
      box.height = line.height - box.y + 2.0;
      line.items.push_back(box);
    }
    if (piece.endsPhrase) {
      SheetItem bar;
      bar.kind = ItemKind::kBarLine;
      bar.level = lastOfScore && p + 1 == pieces.size() ? 2 : 1;
      bar.x = x + piece.block.width + kBarGap / 2;
      bar.y = barTop;
      bar.height = barBottom - barTop;
      line.items.push_back(bar);
    }
  }
  return line;
}

}  // namespace

std::string KeyText(int32_t keyLetter, int32_t accidental, int32_t semitones) {
  static const char* const kNames[12] = {"C",  "♯C", "D",  "♭E", "E",  "F",
                                         "♯F", "G",  "♭A", "A",  "♭B", "B"};
  static const int32_t kLetterSteps[7] = {9, 11, 0, 2, 4, 5, 7};  // A to G
  if (semitones == 0) {
    std::string text = "1=";
    if (accidental > 0) text += "♯";
    if (accidental < 0) text += "♭";
    const bool letter = keyLetter >= 'A' && keyLetter <= 'G';
    return text + static_cast<char>(letter ? keyLetter : 'C');
  }
  const int32_t letter = keyLetter >= 'A' && keyLetter <= 'G' ? keyLetter - 'A' : 2;
  const int32_t step = ((kLetterSteps[letter] + accidental + semitones) % 12 + 12) % 12;
  return std::string("1=") + kNames[step];
}

std::string TempoText(int32_t tempo) { return "♩=" + std::to_string(tempo); }

std::string MeterText(const SongMeter& meter) {
  return std::to_string(meter.count) + "/" + std::to_string(meter.unit);
}

std::vector<SheetLine> LayOutLines(const Sheet& sheet, double width) {
  std::vector<SheetLine> lines;
  std::vector<Piece> pieces;
  std::vector<double> xs;
  double x = 0.0;
  const auto endLine = [&](bool last) {
    if (pieces.empty()) return;
    lines.push_back(FinishLine(pieces, xs, last));
    pieces.clear();
    xs.clear();
    x = 0.0;
  };
  const auto place = [&](Piece piece) {
    const double headerWidth =
        kTextCharWidth * static_cast<double>(CharacterCount(piece.header)) + kBarGap;
    const double span = std::max(piece.block.width, headerWidth);
    if (!pieces.empty() && x + span > width) endLine(false);
    xs.push_back(x);
    x += span + kBarGap;
    pieces.push_back(std::move(piece));
  };

  // Phrases and refused phrases in text order.
  const Score& score = *sheet.score;
  size_t fault = 0;
  const auto faultsBefore = [&](int32_t offset) {
    while (fault < sheet.faults.size() && sheet.faults[fault].offset < offset)
      place(FaultPiece(sheet, sheet.faults[fault++]));
  };
  for (int32_t p = 0; p < score.phraseCount; ++p) {
    faultsBefore(PhraseSource(sheet, p).start);
    for (Piece& piece : PhrasePieces(sheet, p, width - x, width)) {
      if (piece.block.items.empty()) {
        endLine(false);
        continue;
      }
      place(std::move(piece));
    }
  }
  faultsBefore(static_cast<int32_t>(sheet.text.size()) + 1);
  endLine(true);
  return lines;
}

SheetPage StackLines(const std::vector<SheetLine>& lines, const std::string& title, double width) {
  SheetPage page;
  double y = 0.0;
  if (!title.empty()) {
    page.items.push_back(TitleItem(title, width));
    y = kTitleHeight;
  }
  for (const SheetLine& line : lines) {
    for (SheetItem item : line.items) {
      item.y += y;
      page.items.push_back(std::move(item));
    }
    y += line.height + kLineGap;
  }
  return page;
}

std::vector<SheetPage> LayOutPages(const Sheet& sheet, double width, double height,
                                   const std::string& title) {
  const std::vector<SheetLine> lines = LayOutLines(sheet, width);
  // Pages of lines; the room for the page number is kept whenever there could be two pages.
  std::vector<std::vector<const SheetLine*>> pages(1);
  const auto fill = [&](double bottomRoom) {
    pages.assign(1, {});
    double y = kTitleHeight;
    for (const SheetLine& line : lines) {
      if (!pages.back().empty() && y + line.height > height - bottomRoom) {
        pages.emplace_back();
        y = 0.0;
      }
      pages.back().push_back(&line);
      y += line.height + kLineGap;
    }
  };
  fill(0.0);
  if (pages.size() > 1) fill(kPageNumberHeight);

  std::vector<SheetPage> result;
  for (size_t n = 0; n < pages.size(); ++n) {
    SheetPage page;
    double y = 0.0;
    if (n == 0) {
      page.items.push_back(TitleItem(title, width));
      y = kTitleHeight;
    }
    for (const SheetLine* line : pages[n]) {
      for (SheetItem item : line->items) {
        item.y += y;
        page.items.push_back(std::move(item));
      }
      y += line->height + kLineGap;
    }
    if (pages.size() > 1) {
      SheetItem number;
      number.kind = ItemKind::kPageNumber;
      number.text = std::to_string(n + 1) + " / " + std::to_string(pages.size());
      number.y = height - kPageNumberHeight + 6.0;
      number.width = width;
      number.height = kPageNumberHeight - 6.0;
      page.items.push_back(number);
    }
    result.push_back(std::move(page));
  }
  return result;
}

}  // namespace jianpu
