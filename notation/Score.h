#pragma once

#include <cstdint>
#include <string>

#include "notation/Phrase.h"

constexpr int32_t kScoreTextCapacity = 50000;
constexpr int32_t kMaxPhrases = 3000;

// A parsed score: working copy of the text and the fixed table of phrase slots.
// Large (about 350 KB): allocate on the heap. Neither copied nor moved.
struct Score {
  char text[kScoreTextCapacity];
  int32_t textLength = 0;
  Phrase phrases[kMaxPhrases];
  int32_t phraseCount = 0;

  Score();
  ~Score();
  Score(const Score&) = delete;
  Score& operator=(const Score&) = delete;
};

// Parses `length` characters of `text` into `score`, resolves keys and tempi and
// rewrites the side files. Throws ScoreParseError.
void ParseScore(const char* text, int32_t length, Score& score);

// The scratch Score with which a text is tried out before it is loaded.
Score& ScratchScore();

// Where the side files "f1.txt" and "f2.txt" go: the folder of the program path
// (argv[0]); when that folder cannot be written, the per-user data folder.
void SetProgramPath(const char* argv0);
// Tests: write the side files into this folder instead (empty string: back to the default).
void SetSideFileFolderOverride(const std::string& folder);

// Writes the side texts to "f1.txt" and "f2.txt" as text (LF stored as CR LF), in the
// folder described above; the last step of every successful ParseScore.
// Throws ScoreParseError "open fail!" or "open fail 2!" when neither folder can be written.
void WriteSideFiles();
