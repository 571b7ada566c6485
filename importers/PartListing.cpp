#include "importers/PartListing.h"

#include <algorithm>

namespace importers {

ImportListing ListingOf(const std::string& label, const ImportedPart& part) {
  ImportListing listing{label, part.name};
  for (const ImportedVoice& voice : part.voices)
    for (const ImportedNote& note : voice.notes) {
      if (note.key == kRestKey) continue;
      ++listing.notes;
      listing.lowKey = listing.lowKey == kRestKey ? note.key : std::min(listing.lowKey, note.key);
      listing.highKey = std::max(listing.highKey, note.key);
    }
  return listing;
}

}  // namespace importers
