#include "notation/Score.h"

#include <cstring>

#include "notation/Comments.h"
#include "notation/ScoreParseError.h"
#include "notation/TextSpans.h"

namespace {

// 2. Trim one '|' at each end.
void TrimBars(const char*& text, int32_t& length) {
  if (text[0] == '|') {
    ++text;
    --length;
  }
  if (length > 0 && text[length - 1] == '|') --length;
}

// 3. The working copy, up to a zero byte; it must leave room for the terminator. Returns
// its length.
int32_t CopyWorkingText(const char* text, int32_t length, Score& score) {
  const void* zero = std::memchr(text, '\0', static_cast<size_t>(length));
  const int32_t copied =
      zero == nullptr ? length : static_cast<int32_t>(static_cast<const char*>(zero) - text);
  if (copied >= kScoreTextCapacity)
    throw ScoreParseError("error: score text of 50000 characters or more");
  if (copied > 0)
    std::memmove(score.text, text, static_cast<size_t>(copied));  // the text may be this copy
  score.text[copied] = '\0';
  score.textLength = copied;
  return copied;
}

// 4. Blank comments "/* ... */"; an unclosed one runs to the end of the text.
void BlankComments(char* work, int32_t n) {
  for (int32_t i = 0; i + 1 < n; ++i) {
    if (work[i] != '/' || work[i + 1] != '*') continue;
    const int32_t end = CommentEnd(work, n, i);
    std::memset(work + i, ' ', static_cast<size_t>(end - i + 1));
  }
}

// 5. Lower the digits (and spaces) of tempo fields so that they are not read as notes; the
// text as it stood goes to the typed copy first, for the echo.
void LowerTempoDigits(Score& score, int32_t n) {
  char* const work = score.text;
  std::memcpy(score.typedCopy, work, static_cast<size_t>(n) + 1);
  for (int32_t k = 0; k < n - 5; ++k) {
    if (work[k] != 's' || work[k + 1] != '=') continue;
    for (int32_t m = k + 2; m < k + 5; ++m) {
      const char c = work[m];
      if (!((c >= '0' && c <= '9') || c == ' ')) break;
      work[m] = static_cast<char>(static_cast<unsigned char>(c) - 20);
    }
  }
}

// 6. Start the side texts and the slot table anew.
void StartAnew(Score& score) {
  score.sideTexts.sideText1Length = 0;
  score.sideTexts.sideText2Length = 0;
  score.phraseCount = 0;
}

// One piece between bars into the next free slot: false when it holds nothing to play. A
// phrase beyond the slot table is parsed aside, so that its own fault is reported first.
bool ParsePiece(Score& score, const char* piece, int32_t length, PhraseWork& work) {
  Phrase& slot =
      score.phraseCount < kMaxPhrases ? score.phrases[score.phraseCount] : score.overflowSlot;
  try {
    ParsePhrase(slot, piece, length, work);
  } catch (const EmptyPhrase&) {
    return false;
  }
  if (&slot == &score.overflowSlot) {
    ReleasePhrase(score.overflowSlot);
    ScoreParseError error("error: more than 3000 phrases");
    error.MarkPhrase(piece, length);
    throw error;
  }
  ++score.phraseCount;
  return true;
}

// The '|' after a parsed phrase that a bar follows, in both side texts.
void AppendBar(SideTexts& sides) {
  if (sides.sideText1Length >= kSideTextCapacity || sides.sideText2Length >= kSideTextCapacity)
    throw ScoreParseError("error: side text over 60000 bytes");
  sides.sideText1[sides.sideText1Length++] = '|';
  sides.sideText2[sides.sideText2Length++] = '|';
}

// 7. Split at '|' and parse each piece; empty pieces are dropped.
void SplitAndParse(Score& score, int32_t n) {
  char* const work = score.text;
  PhraseWork phraseWork{score.sideTexts, score.scanTokens, work, score.typedCopy, n + 1};
  int32_t start = 0;
  for (;;) {
    const void* bar = std::memchr(work + start, '|', static_cast<size_t>(n - start));
    const int32_t end =
        bar == nullptr ? n : static_cast<int32_t>(static_cast<const char*>(bar) - work);
    if (ParsePiece(score, work + start, end - start, phraseWork) && bar != nullptr) {
      try {
        AppendBar(score.sideTexts);
      } catch (ScoreParseError& error) {
        error.MarkPhrase(work + start, end - start);
        throw;
      }
    }
    if (bar == nullptr) break;
    start = end + 1;
  }
}

// 8. Keys: a phrase without one takes the key of the phrase before it (C at first).
void ResolveKeys(Score& score) {
  int32_t currentKey = 'C';
  int32_t currentAccidental = 0;
  for (int32_t i = 0; i < score.phraseCount; ++i) {
    Phrase& phrase = score.phrases[i];
    if (phrase.keyLetter == kNoKey) {
      phrase.keyLetter = currentKey;
      phrase.accidental = currentAccidental;
    } else {
      currentKey = phrase.keyLetter;
      currentAccidental = phrase.accidental;
    }
    if (phrase.keyLetter != 'C' || phrase.accidental != 0) TransposeToKey(phrase);
  }
}

// 9. Tempi: 120 for a first phrase without one, then each inherits from the one before.
void ResolveTempi(Score& score) {
  for (int32_t i = 0; i < score.phraseCount; ++i) {
    Phrase& phrase = score.phrases[i];
    if (phrase.tempo == 0) phrase.tempo = i == 0 ? 120 : score.phrases[i - 1].tempo;
  }
}

// 10. The side files: the side texts go to the Score's sink.
void HandOnSideTexts(Score& score) {
  if (score.sideTextSink != nullptr) score.sideTextSink->WriteSideFiles(score.sideTexts);
}

}  // namespace

Score::Score() {
  std::memset(text, 0, sizeof text);
  for (Phrase& phrase : phrases) ResetPhrase(phrase);
  ResetPhrase(overflowSlot);
}

Score::~Score() {
  for (Phrase& phrase : phrases) ReleasePhrase(phrase);
  ReleasePhrase(overflowSlot);
}

void ParseScore(const char* text, int32_t length, Score& score) {
  if (text == nullptr || length <= 0) return;  // 1. Nothing to parse: nothing is touched.
  const int32_t trimmedAtStart = LeadingBarShift(std::string_view(text, length));
  TrimBars(text, length);
  const int32_t n = CopyWorkingText(text, length, score);
  BlankComments(score.text, n);
  LowerTempoDigits(score, n);
  StartAnew(score);
  try {
    SplitAndParse(score, n);
  } catch (ScoreParseError& error) {
    // Where the fault is, in the caller's text: the working copy lies one '|' into it when
    // the text began with one.
    error.ResolveMarks(score.text, trimmedAtStart);
    throw;
  }
  ResolveKeys(score);
  ResolveTempi(score);
  HandOnSideTexts(score);
}
