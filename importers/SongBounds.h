#pragma once

#include "importers/ImportedSong.h"

// Bounds on an imported song that no format's reader should let through.

namespace importers {

// A silence longer than this (in beats) ends the song: a score of it would be all rests.
constexpr double kMaxSilenceBeats = 1024.0;

// Leaves out the notes (every part's) after the first silence of more than kMaxSilenceBeats,
// and the bars, keys and tempi after them, reporting the loss.
void EndBeforeLongSilence(ImportedSong& song);

}  // namespace importers
