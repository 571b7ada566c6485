#pragma once

#include <string>
#include <vector>

#include "importers/ImportedSong.h"

// The structured comments that carry a song's title, meter and words in score text:
// "/*title: …*/", "/*meter: 3/4, pickup 1*/" and, inside a phrase, "/*words: …*/",
// "/*words2: …*/" for the sounding notes of its first voice.

namespace importers {

// The title and meter comments, each on a line of its own; "" when the song has neither.
std::string HeadComments(const ImportedSong& song);

// One sounding note of a phrase's first voice: the source note whose syllables it takes, or
// none; `held` when it is the second part of a note the grid split (it holds the syllable).
struct WordSlot {
  const ImportedNote* source = nullptr;
  bool held = false;
};

// The words comments of a phrase with these sounding notes: one per verse that has a
// syllable in the phrase, "" when none has.
std::string WordsComments(const std::vector<WordSlot>& slots);

}  // namespace importers
