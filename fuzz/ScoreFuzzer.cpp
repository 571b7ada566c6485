// Feeds arbitrary bytes to the readers of a score: the file's bytes turned into its text, and
// ParseScore, checking what a successful parse promises; the look-alike scan, the hint for a
// refusal, where each note stands in the text, and the song's title, meter and words.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "files/ScoreTextFile.h"
#include "notation/LookAlikes.h"
#include "notation/ParseErrorHints.h"
#include "notation/Score.h"
#include "notation/ScoreParseError.h"
#include "notation/SongWords.h"
#include "notation/TextSpans.h"

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

// Every note of the Score stands inside the text it was parsed from, after its phrase's start.
void CheckSpans(const Score& score, std::string_view text) {
  const int32_t shift = LeadingBarShift(text);
  const auto size = static_cast<int32_t>(text.size());
  for (int32_t row = 0; row < score.phraseCount; ++row) {
    const auto phrase = PhraseTextSpan(score, row, shift);
    Check(phrase && phrase->begin >= 0 && phrase->begin <= phrase->end && phrase->end <= size,
          "phrase span inside the text");
    for (int32_t note = 0; note < score.phrases[row].noteCount; ++note) {
      const auto span = NoteTextSpan(score, row, note, shift);
      Check(span && span->begin >= phrase->begin && span->begin < span->end &&
                span->end <= phrase->end,
            "note span inside its phrase");
    }
  }
}

void CheckLookAlikes(std::string_view text) {
  int32_t last = 0;
  for (const LookAlikeWarning& warning : FindLookAlikes(text)) {
    Check(warning.offset >= last && warning.length > 0 &&
              warning.offset + warning.length <= static_cast<int32_t>(text.size()),
          "look-alike inside the text, in order");
    Check(!warning.message.empty(), "look-alike message");
    last = warning.offset;
  }
}

// The song's tags lie inside the text, and its words on the first voice of their phrases.
void CheckSong(const Score& score, std::string_view text) {
  const Song song = ReadSong(text, score);
  Check(static_cast<int32_t>(song.phrases.size()) == score.phraseCount, "a words entry a phrase");
  Check(song.verseCount >= 0 && song.verseCount <= kMaxVerses, "verse count");
  for (const SongWarning& warning : song.warnings)
    Check(warning.offset >= 0 && warning.offset < static_cast<int32_t>(text.size()) &&
              !warning.message.empty(),
          "song warning inside the text");
  for (int32_t row = 0; row < score.phraseCount; ++row) {
    Check(static_cast<int32_t>(song.phrases[static_cast<size_t>(row)].notes.size()) ==
              FirstVoiceNoteCount(score.phrases[row]),
          "a syllable slot a note of the first voice");
    PhraseWordsLine(song, row, 0);
  }
  const auto measures = MeasureEnds(score, song);
  for (int32_t row = 0; row < score.phraseCount; ++row)
    for (double beat : measures[static_cast<size_t>(row)])
      Check(beat > 0.0 && beat < score.phrases[row].startTimes[score.phrases[row].noteCount],
            "a measure ends inside its phrase");
}

// A file's bytes: a text within the limit, or a refusal.
void CheckFileText(const std::string& bytes) {
  const ScoreTextReadResult read = ScoreTextFromFileBytes(bytes);
  if (read.status != ScoreTextReadResult::kOk) {
    Check(read.status == ScoreTextReadResult::kTooLong ||
              read.status == ScoreTextReadResult::kNotText,
          "a refusal of bytes in memory is too long or not text");
    return;
  }
  Check(read.text.size() <= kMaxScoreTextBytes, "text within the limit");
  Check(IsValidUtf8(read.text), "text is UTF-8");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Score* score = new Score;  // kept for the whole run, as the program's scores are
  if (size > static_cast<size_t>(INT32_MAX)) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckFileText(std::string(text));
  CheckLookAlikes(text);
  try {
    ParseScore(text.data(), static_cast<int32_t>(size), *score);
  } catch (const ScoreParseError& error) {
    Check(error.what()[0] != '\0', "message");
    Check(ParseErrorHint(error) != nullptr, "hint");
    return 0;
  }
  CheckScore(*score);
  CheckSpans(*score, text);
  CheckSong(*score, text);
  return 0;
}
