#include "tests/importers/SungWords.h"

#include <memory>

#include "notation/Score.h"
#include "notation/SongWords.h"

namespace importtest {

std::string SungWords(const std::string& text, int verse) {
  auto score = std::make_unique<Score>();
  ParseScore(text.data(), static_cast<int32_t>(text.size()), *score);
  const Song song = ReadSong(text, *score);
  std::string words;
  for (int32_t row = 0; row < score->phraseCount; ++row) {
    const std::string line = PhraseWordsLine(song, row, verse);
    if (line.empty()) continue;
    if (!words.empty() && words.back() != '-') words += ' ';
    if (!words.empty() && words.back() == '-') words.pop_back();
    words += line;
  }
  return words;
}

}  // namespace importtest
