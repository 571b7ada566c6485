#pragma once

#include <string>
#include <vector>

#include "importers/ImportedSong.h"

// The one way an imported song becomes score text: notes spelt as degrees of each phrase's
// do= key, lengths on the notation's grid, chords as zero-length notes before their top
// note, the melody first and every further voice after '&', a phrase for each of the
// source's phrases (or every N bars), and the title, meter and words in their comments.
// What the notation cannot hold is left out or split and reported with its bar; the text
// always parses and stays within the score's limits.

namespace importers {

struct WrittenScore {
  std::string text;                // lines end in LF
  std::vector<ImportLoss> losses;  // the song's own, then the writer's, in bar order
  int phrases = 0;
  int voices = 0;
};

// Throws ImportError when `options.part` names no part of the song.
WrittenScore WriteScoreText(const ImportedSong& song, const ImportOptions& options);

}  // namespace importers
