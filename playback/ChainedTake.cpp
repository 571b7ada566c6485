#include "playback/ChainedTake.h"

#include "notation/Score.h"

std::string ChainedPhraseText(const Score& score, int32_t first, int32_t last) {
  if (first < 0 || last >= score.phraseCount || first > last) return {};
  const Phrase& head = score.phrases[first];
  std::string text = std::string("do=") + static_cast<char>(head.keyLetter) +
                     (head.accidental > 0   ? "#"
                      : head.accidental < 0 ? "b"
                                            : "") +
                     " s=" + std::to_string(head.tempo);
  for (int32_t row = first; row <= last; ++row) {
    const Phrase& phrase = score.phrases[row];
    if (phrase.keyLetter != head.keyLetter || phrase.accidental != head.accidental ||
        phrase.tempo != head.tempo || FirstVoiceNoteCount(phrase) != phrase.noteCount ||
        !phrase.tokens)
      return {};
    for (int32_t i = 0; i < phrase.tokenCount; ++i)
      text +=
          "," + std::string(phrase.tokens[i].start, static_cast<size_t>(phrase.tokens[i].length));
  }
  return text;
}
