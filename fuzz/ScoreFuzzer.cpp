// Feeds arbitrary bytes to ParseScore and checks what a successful parse promises.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "notation/Score.h"
#include "notation/ScoreParseError.h"
#include "notation/SideTexts.h"

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
  }
}

void CheckScore(const Score& score) {
  Check(score.phraseCount >= 0 && score.phraseCount <= kMaxPhrases, "phrase count");
  Check(score.textLength >= 0 && score.textLength < kScoreTextCapacity, "text length");
  Check(score.text[score.textLength] == '\0', "text terminator");
  Check(sideText1Length >= 0 && sideText1Length <= kSideTextCapacity, "side text 1 length");
  Check(sideText2Length >= 0 && sideText2Length <= kSideTextCapacity, "side text 2 length");
  for (int32_t i = 0; i < score.phraseCount; ++i) {
    const Phrase& phrase = score.phrases[i];
    const int32_t n = phrase.noteCount;
    Check(n >= 1 && phrase.tokenCount == 2 * n, "token and note counts");
    Check(phrase.source >= score.text &&
              phrase.source + phrase.sourceLength <= score.text + score.textLength,
          "source inside the text");
    Check(phrase.pitches[n] == kPhraseEndPitch, "end mark");
    Check(phrase.tempo >= 1 && phrase.tempo <= 999, "tempo");
    Check(phrase.keyLetter >= 'A' && phrase.keyLetter <= 'G', "key letter");
    Check(phrase.lastDuration == phrase.durations[n - 1], "last duration");
    for (int32_t t = 0; t < phrase.tokenCount; ++t) {
      const TokenSpan& token = phrase.tokens[t];
      Check(token.length >= 1 && token.start >= phrase.source &&
                token.start + token.length <= phrase.source + phrase.sourceLength,
            "token inside the phrase");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Side files go to a temporary folder, never next to the fuzzer.
  const char* folder = std::getenv("TUNWICK_FUZZ_SIDE_FOLDER");
  std::string chosen;
  if (folder != nullptr && folder[0] != '\0') {
    chosen = folder;
  } else {
    char pattern[] = "/tmp/tunwick-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    chosen = made != nullptr ? made : "/tmp";
  }
  SetSideFileFolderOverride(chosen);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Score* score = new Score;  // kept for the whole run, as the program's scores are
  if (size > static_cast<size_t>(INT32_MAX)) return 0;
  try {
    ParseScore(reinterpret_cast<const char*>(data), static_cast<int32_t>(size), *score);
  } catch (const ScoreParseError& error) {
    Check(error.what()[0] != '\0', "message");
    return 0;
  }
  CheckScore(*score);
  return 0;
}
