#include "history/ScoreIdentity.h"

#include <cstdio>

#include "notation/Comments.h"
#include "notation/Score.h"

namespace history {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// `length` bytes at `text` with white space runs as one space and none at either end.
std::string Collapsed(const char* text, size_t length) {
  std::string out;
  out.reserve(length);
  bool space = false;
  for (size_t i = 0; i < length; ++i) {
    if (IsSpace(text[i])) {
      space = !out.empty();
      continue;
    }
    if (space) out += ' ';
    space = false;
    out += text[i];
  }
  return out;
}

}  // namespace

std::string ScoreHash(const std::string& text) { return WholeTextHash(WithoutComments(text)); }

std::string WholeTextHash(const std::string& text) {
  uint64_t hash = 14695981039346656037ull;
  for (const char c : Collapsed(text.data(), text.size())) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return hex;
}

std::string PhraseText(const Score& score, int32_t row) {
  if (row < 0 || row >= score.phraseCount) return {};
  const Phrase& phrase = score.phrases[row];
  // The phrase points into the parse's working text, whose tempo digits are lowered; the
  // typed copy beside it holds the same span as written.
  const std::ptrdiff_t at = phrase.source - score.text;
  if (phrase.source == nullptr || at < 0 || at + phrase.sourceLength > score.textLength) return {};
  return Collapsed(score.typedCopy + at, static_cast<size_t>(phrase.sourceLength));
}

}  // namespace history
