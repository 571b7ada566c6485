#include "notation/Phrase.h"

#include <cstring>
#include <memory>

#include "notation/ScoreParseError.h"

namespace {

bool IsTokenCharacter(char c) { return (c >= '0' && c <= '9') || c == '.'; }

// A character that the score parser's tempo masking can have produced.
bool ReadsAsLowered(char c) {
  const int raised = static_cast<unsigned char>(c) + 20;
  return (raised >= '0' && raised <= '9') || raised == ' ';
}

void Append(char* buffer, int32_t& length, const char* bytes, int32_t count) {
  if (count <= 0) return;
  if (count > kSideTextCapacity - length)
    throw ScoreParseError("error: side text over 60000 bytes");
  std::memcpy(buffer + length, bytes, static_cast<size_t>(count));
  length += count;
}

void AppendBoth(SideTexts& sides, const char* bytes, int32_t count) {
  Append(sides.sideText1, sides.sideText1Length, bytes, count);
  Append(sides.sideText2, sides.sideText2Length, bytes, count);
}

// Appends "s=", the three characters after it as typed, and ",". The echo stops at the
// text's terminating zero and never reads past it.
void EchoTempoField(const char* text, int32_t at, const PhraseWork& work) {
  char echo[6] = {'s', '=', 0, 0, 0, 0};
  int32_t count = 2;
  bool lowered = true;
  for (int32_t k = 0; k < 3; ++k) {
    const char* where = text + at + 2 + k;
    char c = *where;
    if (c == '\0') break;
    if (work.typedOrigin != nullptr && where >= work.typedOrigin &&
        where < work.typedOrigin + work.typedLength) {
      c = work.typedText[where - work.typedOrigin];
    } else {
      // No typed copy: lowered characters form a run right after "s=".
      lowered = lowered && ReadsAsLowered(c);
      if (lowered) c = static_cast<char>(static_cast<unsigned char>(c) + 20);
    }
    echo[count++] = c;
  }
  echo[count++] = ',';
  AppendBoth(work.sideTexts, echo, count);
}

// What the scan of a phrase's tokens found: how many tokens, the first note of each voice
// (and, after the last voice, the note count), and where the first '&' stands (-1: none).
struct VoiceScan {
  int32_t tokenCount = 0;
  int32_t voiceCount = 1;
  int32_t voiceStarts[kMaxVoices + 1] = {0};
  int32_t firstAmpersand = -1;
};

// 1. Header defaults. Fewer than three characters hold nothing to play.
void SetHeaderDefaults(Phrase& slot, int32_t length) {
  slot.tempo = 0;
  slot.accidental = 0;
  if (length < 3) throw EmptyPhrase{};
  slot.keyLetter = kNoKey;
}

// 2. Key fields "do=X", "do=X#", "do=Xb"; the last one wins. Returns the header end behind
// the last one (0 when there is none).
int32_t ReadKeyFields(Phrase& slot, const char* text, int32_t length, SideTexts& sides) {
  int32_t headerEnd = 0;
  if (length < 9) return headerEnd;
  for (int32_t i = 0; i <= length - 6; ++i) {
    if (text[i] != 'd' || text[i + 1] != 'o' || text[i + 2] != '=') continue;
    AppendBoth(sides, "do=", 3);
    const char letter = text[i + 3];
    if (letter < 'A' || letter > 'G') {
      ScoreParseError error("error tune");
      error.MarkNumber(text + i, 4);  // the key field "do=X"
      throw error;
    }
    slot.keyLetter = letter;
    AppendBoth(sides, &letter, 1);
    headerEnd = i + 4;
    if (text[i + 4] == '#') {
      slot.accidental = 1;
      AppendBoth(sides, "#", 1);
      headerEnd = i + 5;
    } else if (text[i + 4] == 'b') {
      slot.accidental = -1;
      AppendBoth(sides, "b", 1);
      headerEnd = i + 5;
    }
    AppendBoth(sides, ",", 1);
  }
  return headerEnd;
}

// 3. Tempo fields "s=" followed by up to three lowered digits; the last one wins. Returns
// the header end, moved behind a field that starts at or after it.
int32_t ReadTempoFields(Phrase& slot, const char* text, int32_t length, int32_t headerEnd,
                        const PhraseWork& work) {
  for (int32_t i = 0; i <= length - 3; ++i) {
    if (text[i] != 's' || text[i + 1] != '=') continue;
    EchoTempoField(text, i, work);
    if (i >= headerEnd) headerEnd = i + 5;
    int32_t value = 0;
    for (int32_t k = 0; k < 3; ++k) {
      const int32_t pos = i + 2 + k;
      if (pos > length) throw ScoreParseError("error!!!");
      const int raised = static_cast<unsigned char>(text[pos]) + 20;
      if (raised < '0' || raised > '9') break;
      value = value * 10 + (raised - '0');
    }
    slot.tempo = value;
  }
  return headerEnd;
}

// 5. Tokens and voices in one pass; the tokens go to `tokens`.
VoiceScan ScanTokensAndVoices(const char* text, int32_t length, TokenSpan* tokens) {
  VoiceScan scan;
  int32_t tokenStart = -1;
  auto completeToken = [&](int32_t end) {
    if (scan.tokenCount == kMaxPhraseTokens)
      throw ScoreParseError("error: more than 10000 numbers in one phrase");
    tokens[scan.tokenCount].start = text + tokenStart;
    tokens[scan.tokenCount].length = end - tokenStart;
    ++scan.tokenCount;
    tokenStart = -1;
  };
  for (int32_t j = 0; j < length; ++j) {
    const char c = text[j];
    if (c == '&') {
      if (scan.tokenCount == 0) throw ScoreParseError("error1");
      if (scan.tokenCount % 2 != 0) throw ScoreParseError("error2");
      scan.voiceStarts[scan.voiceCount] = scan.tokenCount / 2;
      ++scan.voiceCount;
      if (scan.voiceCount == 2) scan.firstAmpersand = j;
      if (scan.voiceCount == kMaxVoices + 1) throw ScoreParseError("error3");
    }
    const bool isToken = IsTokenCharacter(c);
    if (tokenStart < 0) {
      if (isToken) {
        tokenStart = j;
        if (j == length - 1) completeToken(j + 1);
      }
    } else if (!isToken) {
      completeToken(j);
    } else if (j == length - 1) {
      completeToken(j + 1);
    }
  }
  scan.voiceStarts[scan.voiceCount] = scan.tokenCount / 2;  // the last voice ends the notes
  return scan;
}

// 6. Nothing to play, or an unpaired token.
void CheckTokenPairs(const VoiceScan& scan) {
  if (scan.tokenCount == 0) throw EmptyPhrase{};
  if (scan.tokenCount % 2 != 0) throw ScoreParseError("error4");
}

// 7. Side-text bodies: the first voice to sideText1, the further voices to sideText2.
// A header end past the copied stretch copies nothing.
void AppendBodies(const char* text, int32_t length, int32_t headerEnd, int32_t firstAmpersand,
                  SideTexts& sides) {
  if (firstAmpersand >= 0) {
    if (headerEnd < firstAmpersand) {
      Append(sides.sideText1, sides.sideText1Length, text + headerEnd, firstAmpersand - headerEnd);
    }
    Append(sides.sideText2, sides.sideText2Length, text + firstAmpersand + 1,
           length - firstAmpersand - 1);
  } else if (headerEnd < length) {
    AppendBoth(sides, text + headerEnd, length - headerEnd);
  }
}

// 8. The record's arrays at their exact sizes, the tokens copied in.
void AllocateArrays(Phrase& slot, const VoiceScan& scan, const TokenSpan* tokens) {
  const int32_t noteCount = scan.tokenCount / 2;
  ReleasePhrase(slot);
  slot.tokenCount = 0;
  slot.noteCount = 0;
  slot.tokens = std::make_unique<TokenSpan[]>(static_cast<size_t>(scan.tokenCount));
  slot.durations = std::make_unique<double[]>(static_cast<size_t>(noteCount));
  slot.startTimes = std::make_unique<double[]>(static_cast<size_t>(noteCount) + 1);
  slot.pitches = std::make_unique<int32_t[]>(static_cast<size_t>(noteCount) + 1);
  std::memcpy(slot.tokens.get(), tokens, sizeof(TokenSpan) * static_cast<size_t>(scan.tokenCount));
  slot.tokenCount = scan.tokenCount;
  slot.noteCount = noteCount;
}

// 9. Notes voice by voice; every voice must be as long as the first.
void EvaluateNotes(Phrase& slot, const VoiceScan& scan) {
  double firstVoiceLength = 0.0;
  for (int32_t v = 0; v < scan.voiceCount; ++v) {
    double t = 0.0;
    slot.startTimes[scan.voiceStarts[v]] = 0.0;
    for (int32_t j = scan.voiceStarts[v]; j < scan.voiceStarts[v + 1]; ++j) {
      const TokenSpan* token = &slot.tokens[2 * j];
      try {
        const double duration = DurationBeats(*token);
        slot.durations[j] = duration;
        slot.startTimes[j + 1] = t + duration;
        t = slot.startTimes[j + 1];
        token = &slot.tokens[2 * j + 1];
        slot.pitches[j] = PitchNumber(*token);
      } catch (ScoreParseError& error) {
        error.MarkNumber(token->start, token->length);  // the number at fault
        throw;
      }
    }
    if (v == 0) {
      firstVoiceLength = t;
    } else if (t < firstVoiceLength - kValueTolerance || t > firstVoiceLength + kValueTolerance) {
      throw ScoreParseError("234");
    }
  }
}

// 10. End mark and final length.
void MarkPhraseEnd(Phrase& slot) {
  slot.pitches[slot.noteCount] = kPhraseEndPitch;
  slot.lastDuration = slot.durations[slot.noteCount - 1];
}

}  // namespace

int32_t MsPerBeat(const Phrase& phrase) { return 60000 / (phrase.tempo > 0 ? phrase.tempo : 120); }

bool StartsVoice(const Phrase& phrase, int32_t note) {
  return note > 0 && note < phrase.noteCount &&
         phrase.startTimes[note] <
             phrase.startTimes[note - 1] + phrase.durations[note - 1] - kValueTolerance;
}

int32_t FirstVoiceNoteCount(const Phrase& phrase) {
  if (phrase.noteCount <= 0 || !phrase.startTimes || !phrase.durations) return 0;
  for (int32_t i = 1; i < phrase.noteCount; ++i) {
    if (StartsVoice(phrase, i)) return i;
  }
  return phrase.noteCount;
}

bool IsRest(const Phrase& phrase, int32_t note) {
  return PitchNumber(phrase.tokens[2 * note + 1]) == kRestPitch;
}

void ResetPhrase(Phrase& phrase) {
  phrase.source = nullptr;
  phrase.sourceLength = 0;
  phrase.tokens.reset();
  phrase.tokenCount = 0;
  phrase.noteCount = 0;
  phrase.durations.reset();
  phrase.pitches.reset();
  phrase.startTimes.reset();
  phrase.keyLetter = 0;
  phrase.accidental = 0;
  phrase.lastDuration = 0.0;
  phrase.tempo = 0;
}

void ReleasePhrase(Phrase& phrase) {
  phrase.tokens.reset();
  phrase.durations.reset();
  phrase.pitches.reset();
  phrase.startTimes.reset();
}

namespace {

void ParsePhraseSteps(Phrase& slot, const char* text, int32_t length, PhraseWork& work) {
  SetHeaderDefaults(slot, length);
  int32_t headerEnd = ReadKeyFields(slot, text, length, work.sideTexts);
  headerEnd = ReadTempoFields(slot, text, length, headerEnd, work);
  slot.source = text;  // 4. The phrase text.
  slot.sourceLength = length;
  const VoiceScan scan = ScanTokensAndVoices(text, length, work.scanTokens);
  CheckTokenPairs(scan);
  AppendBodies(text, length, headerEnd, scan.firstAmpersand, work.sideTexts);
  AllocateArrays(slot, scan, work.scanTokens);
  EvaluateNotes(slot, scan);
  MarkPhraseEnd(slot);
}

}  // namespace

void ParsePhrase(Phrase& slot, const char* text, int32_t length, PhraseWork& work) {
  try {
    ParsePhraseSteps(slot, text, length, work);
  } catch (ScoreParseError& error) {
    error.MarkPhrase(text, length);
    throw;
  }
}
