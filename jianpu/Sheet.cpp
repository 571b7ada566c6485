#include "jianpu/Sheet.h"

#include <algorithm>

#include "notation/ScoreParseError.h"
#include "notation/TextSpans.h"

namespace jianpu {

namespace {

// Blanks `length` bytes at `offset`: a phrase of spaces holds nothing and is dropped.
void Blank(std::string& text, int32_t offset, int32_t length) {
  const size_t from = std::min(static_cast<size_t>(offset), text.size());
  const size_t count = std::min(static_cast<size_t>(length), text.size() - from);
  std::fill_n(text.begin() + static_cast<std::ptrdiff_t>(from), count, ' ');
}

}  // namespace

Sheet ReadSheet(const std::string& text) {
  Sheet sheet;
  sheet.text = text;
  sheet.score = std::make_unique<Score>();
  if (text.size() >= static_cast<size_t>(kScoreTextCapacity)) {
    sheet.faults.push_back({-1, 0, "score text too long"});
    sheet.song = ReadSong("", *sheet.score);
    sheet.measureEnds = MeasureEnds(*sheet.score, sheet.song);
    return sheet;
  }
  sheet.shift = LeadingBarShift(text);
  std::string working = text;
  // Each round blanks one refused phrase, so the rounds are bounded by the faults shown.
  for (int32_t round = 0; round <= kMaxSheetFaults; ++round) {
    try {
      ParseScore(working.data(), static_cast<int32_t>(working.size()), *sheet.score);
      break;
    } catch (const ScoreParseError& error) {
      SheetFault fault{error.PhraseOffset(), error.PhraseLength(), error.what()};
      const bool placed = fault.offset >= 0 && fault.length > 0;
      if (placed && static_cast<int32_t>(sheet.faults.size()) + 1 < kMaxSheetFaults) {
        sheet.faults.push_back(fault);
        Blank(working, fault.offset, fault.length);
        continue;
      }
      // Unplaced, or one fault too many: the text from this phrase on is not drawn.
      if (placed) {
        fault.length = static_cast<int32_t>(working.size()) - fault.offset;
        sheet.faults.push_back(fault);
        Blank(working, fault.offset, fault.length);
        continue;
      }
      sheet.faults.push_back({-1, 0, fault.message});
      sheet.score->phraseCount = 0;
      break;
    }
  }
  std::sort(sheet.faults.begin(), sheet.faults.end(),
            [](const SheetFault& a, const SheetFault& b) { return a.offset < b.offset; });
  // The words as laid on the phrases drawn: read from the text the score was parsed from.
  sheet.song = ReadSong(working, *sheet.score);
  sheet.measureEnds = MeasureEnds(*sheet.score, sheet.song);
  return sheet;
}

SourceRange NoteSource(const Sheet& sheet, int32_t phrase, int32_t note) {
  const std::optional<TextSpan> span = NoteTextSpan(*sheet.score, phrase, note, sheet.shift);
  return span ? SourceRange{span->begin, span->end} : SourceRange{};
}

std::string SheetTitle(const Sheet& sheet, const std::string& path) {
  if (!sheet.song.title.empty()) return sheet.song.title;
  if (path.empty() || path == "-") return "";
  const size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

SourceRange PhraseSource(const Sheet& sheet, int32_t phrase) {
  const std::optional<TextSpan> span = PhraseTextSpan(*sheet.score, phrase, sheet.shift);
  return span ? SourceRange{span->begin, span->end} : SourceRange{};
}

}  // namespace jianpu
