#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "notation/Score.h"
#include "notation/SongWords.h"

namespace jianpu {

// A phrase the parser refused: where it stands in the text (bytes) and the parser's message.
// A fault the parser could not place has offset -1 and stands for the whole text.
struct SheetFault {
  int32_t offset = -1;
  int32_t length = 0;
  std::string message;
};

// A score text as the sheet shows it: every phrase that parses, in its key and tempo, and
// every phrase that does not, with the parser's message; the song's title, meter and words,
// and where its measures end. `shift` is added to an offset into the Score's text to give the
// offset into the text given (the parser drops a leading '|').
struct Sheet {
  std::unique_ptr<Score> score;
  std::vector<SheetFault> faults;  // in text order
  int32_t shift = 0;
  std::string text;                              // the text as given
  Song song;                                     // the words of a refused phrase are lost with it
  std::vector<std::vector<double>> measureEnds;  // per phrase, as MeasureEnds gives them
};

// The most refused phrases one sheet shows; the text after the last of them is not drawn.
constexpr int32_t kMaxSheetFaults = 64;

// Parses `text` for the sheet. A refused phrase is blanked and the text parsed again, so that
// the phrases around it are still drawn (a refused phrase's key and tempo fields are lost
// with it).
Sheet ReadSheet(const std::string& text);

// The byte range of a note's two numbers, and of a phrase, in the text given to ReadSheet.
struct SourceRange {
  int32_t start = -1;
  int32_t end = -1;
  bool operator==(const SourceRange& other) const {
    return start == other.start && end == other.end;
  }
};
SourceRange NoteSource(const Sheet& sheet, int32_t phrase, int32_t note);
SourceRange PhraseSource(const Sheet& sheet, int32_t phrase);

// The title over the sheet: the song's own, else the name of the file `path` (without its
// folder and suffix); "" for standard input ("-") or no file.
std::string SheetTitle(const Sheet& sheet, const std::string& path);

}  // namespace jianpu
