#pragma once

#include <string>
#include <string_view>
#include <vector>

// The words of one phrase as written in a words comment, cut into what each sounding note
// takes in turn. A Chinese, Japanese or Korean character is one syllable; other words are cut
// at spaces and at '-' (which stays after its syllable, as it is shown); '_' holds the
// syllable before over one more note; '*' leaves one note without a syllable. Punctuation
// stays with the syllable it follows (or, before any, the one it precedes).
struct WordPiece {
  enum Kind { kSyllable, kHold, kSkip };
  Kind kind = kSyllable;
  std::string text;  // kSyllable: the syllable as shown, e.g. "Twin-" or "花，"
};
std::vector<WordPiece> CutSyllables(std::string_view words);
