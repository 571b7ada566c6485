#pragma once

#include <cstdint>
#include <string>

#include "jianpu/PhraseBlock.h"
#include "jianpu/Sheet.h"

namespace jianpu {

// The width a syllable's text takes, in layout units (which cannot measure a font): a
// character of Chinese a full square of the words' size, any other a little over half of one.
double SyllableWidth(const std::string& text);

// The room the widest syllable of note `note` of phrase `phrase` needs in any verse; 0 when
// the note sings none.
double WordsWidth(const Sheet& sheet, int32_t phrase, int32_t note);

// The words of the notes drawn in `block`, added to its first row: each syllable centred
// under its note's digit (the first head of a tied note), a held syllable's line from the
// syllable it holds (or the block's left edge, when that stands in an earlier piece) to the
// last note it goes on over. Each verse is a line `kVerseHeight` under the one before, from
// y 0, the top of the words: the line places the words under the notes.
void AddWords(const Sheet& sheet, int32_t phrase, PhraseBlock& block);

}  // namespace jianpu
