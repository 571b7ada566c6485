#pragma once

#include <string>
#include <vector>

#include "importers/ImportedSong.h"

// An imported song as the player will have it: the score text written for it, parsed as any
// score is, and the notes of each voice laid end to end across the phrases.

namespace importtest {

struct HeardNote {
  double beat = 0.0;  // from the score's start
  double beats = 0.0;
  int key = 0;  // MIDI key
};

// The score text an ABC tune becomes.
std::string TextOfAbc(const std::string& abc, const importers::ImportOptions& options = {});

// The sounding notes (rests and a chord's zero-length notes left out) of voice `voice` of
// every phrase of a score text, which must parse.
std::vector<HeardNote> VoiceNotes(const std::string& text, int voice = 0);

// The number of voices in the score's first phrase.
int VoiceCount(const std::string& text);

}  // namespace importtest
