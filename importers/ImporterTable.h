#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "importers/ImportedSong.h"
#include "importers/ScoreWriter.h"

// The formats a song can be imported from, one row each: a name, the file suffixes that
// choose it, and its two operations on the file's bytes. A new format is one file of its own
// and one row in the table (ImporterTable.cpp).

namespace importers {

// The largest source file read; a larger one is refused before it is read.
constexpr std::size_t kMaxSourceBytes = 16 * 1024 * 1024;

struct ImportFormat {
  const char* name;                   // "ABC"
  std::vector<std::string> suffixes;  // lower case, with the dot: ".abc"
  // The song in the bytes, as the options choose; throws ImportError.
  ImportedSong (*import)(const std::string& bytes, const ImportOptions& options);
  // The tunes, parts or tracks in the bytes; throws ImportError.
  std::vector<ImportListing> (*list)(const std::string& bytes);
};

const std::vector<ImportFormat>& ImportFormats();
// The format whose suffix the path ends in (any case), or null.
const ImportFormat* FormatOfPath(const std::string& path);

// The suffixes of every format, for messages: ".abc, .musicxml, …".
std::string KnownSuffixes();

// A source file's bytes: refused with ImportError when it cannot be read or is over
// kMaxSourceBytes.
std::string ReadSourceFile(const std::string& path);

// The file at `path` as score text, through the format its name says; throws ImportError.
WrittenScore ImportFile(const std::string& path, const ImportOptions& options);
// The file's tunes, parts or tracks; throws ImportError.
std::vector<ImportListing> ListFile(const std::string& path);

}  // namespace importers
