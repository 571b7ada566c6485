// Feeds arbitrary bytes to the ABC reader as a file of tunes: listed, imported and written as
// score text, which must then load as any score does and stay within the score's limits.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "files/ScoreTextFile.h"
#include "importers/AbcReader.h"
#include "importers/ScoreWriter.h"
#include "notation/Score.h"
#include "notation/ScoreParseError.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  try {
    importers::ListAbc(bytes);
  } catch (const importers::ImportError&) {
  }
  importers::WrittenScore written;
  try {
    importers::ImportOptions options;
    options.melodyOnly = size % 2 == 1;  // both ways, by the input's length
    written = importers::WriteScoreText(importers::ImportAbc(bytes, options), options);
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
