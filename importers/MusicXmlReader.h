#pragma once

#include <string>
#include <vector>

#include "importers/ImportedSong.h"

// MusicXML scores, plain (.musicxml, .xml) or compressed (.mxl, a zip archive whose
// META-INF/container.xml names the score): every part and voice, repeats and endings played
// out, the words of every verse, a phrase at each fermata, breath mark or rest of a beat or
// more, else every four bars.

namespace importers {

// Throws ImportError when the bytes are no MusicXML score (or a damaged archive of one).
ImportedSong ImportMusicXml(const std::string& bytes, const ImportOptions& options);
// Every part with its name, notes and range.
std::vector<ImportListing> ListMusicXml(const std::string& bytes);

}  // namespace importers
