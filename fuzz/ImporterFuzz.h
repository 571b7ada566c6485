#pragma once

// What every importer's fuzz target checks of arbitrary bytes: listed and imported (melody
// alone or not, by the input's length) they are refused with a message or written as score
// text that loads as any score does, within the score's limits.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/ScoreTextFile.h"
#include "importers/ScoreWriter.h"
#include "notation/Score.h"
#include "notation/ScoreParseError.h"

namespace fuzzing {

inline void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
  }
}

using ImportFunction = importers::ImportedSong (*)(const std::string&,
                                                   const importers::ImportOptions&);
using ListFunction = std::vector<importers::ImportListing> (*)(const std::string&);

inline int FuzzImporter(const uint8_t* data, size_t size, ImportFunction import,
                        ListFunction list) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  try {
    list(bytes);
  } catch (const importers::ImportError&) {
  }
  importers::WrittenScore written;
  try {
    importers::ImportOptions options;
    options.melodyOnly = size % 2 == 1;
    written = importers::WriteScoreText(import(bytes, options), options);
  } catch (const importers::ImportError&) {
    return 0;  // refused with a message: fine
  }
  Check(written.text.size() <= kMaxScoreTextBytes, "text within the file limit");
  static Score score;
  try {
    ParseScore(written.text.data(), static_cast<int32_t>(written.text.size()), score);
  } catch (const ScoreParseError& error) {
    std::fprintf(stderr, "%s\n%s\n", error.what(), written.text.c_str());
    Check(false, "the written score loads");
  }
  Check(score.phraseCount == written.phrases, "every phrase written is parsed");
  return 0;
}

}  // namespace fuzzing
