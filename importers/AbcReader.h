#pragma once

#include <string>
#include <vector>

#include "importers/ImportedSong.h"

// ABC tunes (standard 2.1, as the folk collections write them): the tune whose X: is
// options.tune (else the first), its voices as parts, each line of music a phrase.

namespace importers {

// Throws ImportError when the bytes hold no ABC tune or not the one asked for.
ImportedSong ImportAbc(const std::string& bytes, const ImportOptions& options);
// Every tune (and each voice of a tune of several) with its notes and range.
std::vector<ImportListing> ListAbc(const std::string& bytes);

}  // namespace importers
