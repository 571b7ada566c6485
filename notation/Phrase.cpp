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

}  // namespace

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

void ParsePhrase(Phrase& slot, const char* text, int32_t length, PhraseWork& work) {
  const int32_t L = length;
  SideTexts& sides = work.sideTexts;
  TokenSpan* const scanTokens = work.scanTokens;

  // 1. Header defaults.
  slot.tempo = 0;
  slot.accidental = 0;
  int32_t headerEnd = 0;
  if (L < 3) throw EmptyPhrase{};
  slot.keyLetter = kNoKey;

  // 2. Key fields "do=X", "do=X#", "do=Xb"; the last one wins.
  if (L >= 9) {
    for (int32_t i = 0; i <= L - 6; ++i) {
      if (text[i] != 'd' || text[i + 1] != 'o' || text[i + 2] != '=') continue;
      AppendBoth(sides, "do=", 3);
      const char letter = text[i + 3];
      if (letter < 'A' || letter > 'G') throw ScoreParseError("error tune");
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
  }

  // 3. Tempo fields "s=" followed by up to three lowered digits; the last one wins.
  for (int32_t i = 0; i <= L - 3; ++i) {
    if (text[i] != 's' || text[i + 1] != '=') continue;
    EchoTempoField(text, i, work);
    if (i >= headerEnd) headerEnd = i + 5;
    int32_t value = 0;
    for (int32_t k = 0; k < 3; ++k) {
      const int32_t pos = i + 2 + k;
      if (pos > L) throw ScoreParseError("error!!!");
      const int raised = static_cast<unsigned char>(text[pos]) + 20;
      if (raised < '0' || raised > '9') break;
      value = value * 10 + (raised - '0');
    }
    slot.tempo = value;
  }

  // 4. The phrase text.
  slot.source = text;
  slot.sourceLength = L;

  // 5. Tokens and voices in one pass.
  int32_t tokenCount = 0;
  int32_t voiceCount = 1;
  int32_t voiceStarts[kMaxVoices + 1] = {0};
  int32_t firstAmpersand = -1;
  int32_t tokenStart = -1;
  auto completeToken = [&](int32_t end) {
    if (tokenCount == kMaxPhraseTokens)
      throw ScoreParseError("error: more than 10000 numbers in one phrase");
    scanTokens[tokenCount].start = text + tokenStart;
    scanTokens[tokenCount].length = end - tokenStart;
    ++tokenCount;
    tokenStart = -1;
  };
  for (int32_t j = 0; j < L; ++j) {
    const char c = text[j];
    if (c == '&') {
      if (tokenCount == 0) throw ScoreParseError("error1");
      if (tokenCount % 2 != 0) throw ScoreParseError("error2");
      voiceStarts[voiceCount] = tokenCount / 2;
      ++voiceCount;
      if (voiceCount == 2) firstAmpersand = j;
      if (voiceCount == kMaxVoices + 1) throw ScoreParseError("error3");
    }
    const bool isToken = IsTokenCharacter(c);
    if (tokenStart < 0) {
      if (isToken) {
        tokenStart = j;
        if (j == L - 1) completeToken(j + 1);
      }
    } else if (!isToken) {
      completeToken(j);
    } else if (j == L - 1) {
      completeToken(j + 1);
    }
  }

  // 6. Nothing to play, or an unpaired token.
  if (tokenCount == 0) throw EmptyPhrase{};
  if (tokenCount % 2 != 0) throw ScoreParseError("error4");

  // 7. Side-text bodies: the first voice to sideText1, the further voices to sideText2.
  // A header end past the copied stretch copies nothing.
  if (firstAmpersand >= 0) {
    if (headerEnd < firstAmpersand) {
      Append(sides.sideText1, sides.sideText1Length, text + headerEnd, firstAmpersand - headerEnd);
    }
    Append(sides.sideText2, sides.sideText2Length, text + firstAmpersand + 1,
           L - firstAmpersand - 1);
  } else if (headerEnd < L) {
    AppendBoth(sides, text + headerEnd, L - headerEnd);
  }

  // 8. The record's arrays at their exact sizes.
  const int32_t noteCount = tokenCount / 2;
  voiceStarts[voiceCount] = noteCount;
  ReleasePhrase(slot);
  slot.tokenCount = 0;
  slot.noteCount = 0;
  slot.tokens = std::make_unique<TokenSpan[]>(static_cast<size_t>(tokenCount));
  slot.durations = std::make_unique<double[]>(static_cast<size_t>(noteCount));
  slot.startTimes = std::make_unique<double[]>(static_cast<size_t>(noteCount) + 1);
  slot.pitches = std::make_unique<int32_t[]>(static_cast<size_t>(noteCount) + 1);
  std::memcpy(slot.tokens.get(), scanTokens, sizeof(TokenSpan) * static_cast<size_t>(tokenCount));
  slot.tokenCount = tokenCount;
  slot.noteCount = noteCount;

  // 9. Notes voice by voice; every voice must be as long as the first.
  double firstVoiceLength = 0.0;
  for (int32_t v = 0; v < voiceCount; ++v) {
    double t = 0.0;
    slot.startTimes[voiceStarts[v]] = 0.0;
    for (int32_t j = voiceStarts[v]; j < voiceStarts[v + 1]; ++j) {
      const double duration = DurationBeats(slot.tokens[2 * j]);
      slot.durations[j] = duration;
      slot.startTimes[j + 1] = t + duration;
      t = slot.startTimes[j + 1];
      slot.pitches[j] = PitchNumber(slot.tokens[2 * j + 1]);
    }
    if (v == 0) {
      firstVoiceLength = t;
    } else if (t < firstVoiceLength - kValueTolerance || t > firstVoiceLength + kValueTolerance) {
      throw ScoreParseError("234");
    }
  }

  // 10. End mark and final length.
  slot.pitches[noteCount] = kPhraseEndPitch;
  slot.lastDuration = slot.durations[noteCount - 1];
}
