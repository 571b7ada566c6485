#include "notation/TextSpans.h"

namespace {

int32_t OffsetIn(const Score& score, const char* at, int32_t shift) {
  return static_cast<int32_t>(at - score.text) + shift;
}

}  // namespace

int32_t LeadingBarShift(std::string_view text) { return !text.empty() && text[0] == '|' ? 1 : 0; }

std::optional<TextSpan> PhraseTextSpan(const Score& score, int32_t row, int32_t shift) {
  if (row < 0 || row >= score.phraseCount) return std::nullopt;
  const Phrase& phrase = score.phrases[row];
  const int32_t begin = OffsetIn(score, phrase.source, shift);
  return TextSpan{begin, begin + phrase.sourceLength};
}

std::optional<TextSpan> NoteTextSpan(const Score& score, int32_t row, int32_t note, int32_t shift) {
  if (row < 0 || row >= score.phraseCount) return std::nullopt;
  const Phrase& phrase = score.phrases[row];
  if (note < 0 || 2 * note + 1 >= phrase.tokenCount) return std::nullopt;
  const TokenSpan& length = phrase.tokens[2 * note];
  const TokenSpan& degree = phrase.tokens[2 * note + 1];
  return TextSpan{OffsetIn(score, length.start, shift),
                  OffsetIn(score, degree.start + degree.length, shift)};
}
