#pragma once

#include <cstdint>
#include <string>

struct Score;

namespace history {

// Which score a try was sung from: 16 hexadecimal digits of a 64-bit FNV-1a hash of its music,
// the text without its comments (WithoutComments), with every run of white space (line breaks
// included) counted as one space and none at either end, so that the same score read from a
// file, typed into the window or saved again with other line ends is the same score, and a
// corrected word, title or comment keeps its history.
std::string ScoreHash(const std::string& text);

// The same hash over the whole text, comments and all: what histories of schema version 1 and
// before kept, for upgrading them. A text without comments hashes alike either way.
std::string WholeTextHash(const std::string& text);

// Phrase `row` of a parsed score as it was typed (tempo digits as written), its white space
// runs as single spaces; "" when the score has no such phrase.
std::string PhraseText(const Score& score, int32_t row);

}  // namespace history
