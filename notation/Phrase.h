#pragma once

#include <cstdint>
#include <memory>

#include "notation/NoteValues.h"
#include "notation/SideTexts.h"

constexpr int32_t kNoKey = '0';
constexpr int32_t kPhraseEndPitch = -5000;
constexpr int32_t kMaxVoices = 48;
constexpr int32_t kMaxPhraseTokens = 10000;

// One parsed phrase. Owns its four arrays; source and tokens point into the Score text.
struct Phrase {
  const char* source = nullptr;
  int32_t sourceLength = 0;
  std::unique_ptr<TokenSpan[]> tokens;
  int32_t tokenCount = 0;
  int32_t noteCount = 0;
  std::unique_ptr<double[]> durations;   // noteCount entries
  std::unique_ptr<int32_t[]> pitches;    // noteCount + 1 entries, last is kPhraseEndPitch
  std::unique_ptr<double[]> startTimes;  // noteCount + 1 entries, last is the phrase length
  int32_t keyLetter = 0;
  int32_t accidental = 0;
  double lastDuration = 0.0;
  int32_t tempo = 0;
};

// Whole milliseconds per beat of a phrase, as it is played and judged. The score parser gives
// every phrase a tempo of 1 to 999; a phrase that somehow has none plays at 120.
int32_t MsPerBeat(const Phrase& phrase);

// Whether note `note` (from 1) starts a further voice: it starts before the note ahead of it
// has ended (every further voice starts again at time 0).
bool StartsVoice(const Phrase& phrase, int32_t note);

// How many notes the phrase's first voice holds: the notes up to the first that starts a
// further voice.
int32_t FirstVoiceNoteCount(const Phrase& phrase);

// Whether note `note` is a rest; its pitch is kRestPitch moved by the phrase's key.
bool IsRest(const Phrase& phrase, int32_t note);

void ResetPhrase(Phrase& phrase);
void ReleasePhrase(Phrase& phrase);

// What ParsePhrase works with besides its slot, all of it the caller's (the Score's): the
// side texts it appends the phrase's echo to, room for the phrase's tokens while they are
// found, and the typed copy of the text that ParseScore lowered.
struct PhraseWork {
  SideTexts& sideTexts;
  TokenSpan* scanTokens;  // room for kMaxPhraseTokens tokens
  // The lowered span of the Score text (`typedLength` characters from `typedOrigin`) and the
  // same span as typed, so that the echo of an s= field shows its digits as typed. Without
  // it a lowered character is echoed with the 20 added back.
  const char* typedOrigin = nullptr;
  const char* typedText = nullptr;
  int32_t typedLength = 0;
};

// Parses `length` characters at `text` (inside the Score text, tempo digits already
// lowered) into `slot` and appends its echo to the side texts.
// Throws ScoreParseError or EmptyPhrase.
void ParsePhrase(Phrase& slot, const char* text, int32_t length, PhraseWork& work);
