#pragma once

#include <string>

#include "importers/ImportedSong.h"

namespace importers {

// A part's line of `--list`: its label, name, sounding notes and their range.
ImportListing ListingOf(const std::string& label, const ImportedPart& part);

}  // namespace importers
