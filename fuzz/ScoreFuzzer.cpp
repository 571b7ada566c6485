// Feeds arbitrary bytes to ParseScore and checks what a successful parse promises.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "notation/Score.h"
#include "notation/ScoreParseError.h"

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
  const SideTexts& sides = score.sideTexts;
  Check(sides.sideText1Length >= 0 && sides.sideText1Length <= kSideTextCapacity,
        "side text 1 length");
  Check(sides.sideText2Length >= 0 && sides.sideText2Length <= kSideTextCapacity,
        "side text 2 length");
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
