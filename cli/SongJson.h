#pragma once

#include <string>

#include "notation/Score.h"
#include "notation/SongWords.h"

// A score and its song as one JSON object, for other programs (`tunwick check --json`): the
// title, meter and pickup, and each phrase's key, tempo and length with its voices' notes,
// each note's beat, length, MIDI key and syllables. A held syllable is "_", a note without one
// null; other voices than the first carry none.
std::string SongJson(const Score& score, const Song& song);
