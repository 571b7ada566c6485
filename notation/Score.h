#pragma once

#include <cstdint>

#include "notation/Phrase.h"
#include "notation/SideTexts.h"

constexpr int32_t kScoreTextCapacity = 50000;
constexpr int32_t kMaxPhrases = 3000;

// A parsed score: working copy of the text, the fixed table of phrase slots, the side texts
// of its last parse, and the storage the parse works in, all reserved up front. Large (about
// 670 KB): allocate on the heap. Neither copied nor moved.
struct Score {
  char text[kScoreTextCapacity];
  int32_t textLength = 0;
  Phrase phrases[kMaxPhrases];
  int32_t phraseCount = 0;

  SideTexts sideTexts;
  // Takes the side texts at the end of every successful parse (not owned); null: they are
  // only kept here.
  SideTextSink* sideTextSink = nullptr;

  // The parse's working storage: the text as it stood before its tempo digits were lowered
  // (with its zero), the token list of the phrase being scanned, and a slot for a phrase
  // beyond the table, to tell an empty piece from a 3001st phrase.
  char typedCopy[kScoreTextCapacity];
  TokenSpan scanTokens[kMaxPhraseTokens];
  Phrase overflowSlot;

  Score();
  ~Score();
  Score(const Score&) = delete;
  Score& operator=(const Score&) = delete;
};

// Parses `length` characters of `text` into `score`, resolves keys and tempi and hands the
// side texts to the Score's sink. A function of its text and the Score alone: parses into
// different Scores may run at once. Throws ScoreParseError.
void ParseScore(const char* text, int32_t length, Score& score);
