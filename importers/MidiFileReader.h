#pragma once

#include <string>
#include <vector>

#include "importers/ImportedSong.h"

// Standard MIDI files (.mid, .midi) and karaoke files (.kar): every track and channel but
// the drums as parts, tempo, meter and key events (else the key estimated from the notes),
// times on the notation's grid, and the words of lyric events or of karaoke text events.

namespace importers {

// Throws ImportError when the bytes are no MIDI file.
ImportedSong ImportMidi(const std::string& bytes, const ImportOptions& options);
// Every track (and channel, where a track holds several) with its notes and range.
std::vector<ImportListing> ListMidi(const std::string& bytes);

}  // namespace importers
