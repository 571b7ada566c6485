#pragma once

// Two scores at the load command's limit of 29999 characters, for the parser and side-file
// benchmarks.

#include <cstddef>
#include <string>

namespace benchscores {

constexpr size_t kLoadLimit = 29999;

// Appends phrases from `next` while they fit, then pads with blanks to exactly the limit.
template <typename Next>
inline std::string FillTo(Next next) {
  std::string text;
  for (int i = 0;; ++i) {
    const std::string phrase = next(i);
    if (text.size() + phrase.size() > kLoadLimit) break;
    text += phrase;
  }
  text.append(kLoadLimit - text.size(), ' ');
  return text;
}

// About 2500 phrases of two notes, some with key and tempo fields and comments.
inline std::string ShortPhrases() {
  return FillTo([](int i) -> std::string {
    if (i % 20 == 0) return "do=G,s=90,0.1,1,0.1,2|";
    if (i % 20 == 10) return "0.1,3/*x*/,0.1,5|";
    return i % 2 == 0 ? "0.1,1,0.1,2|" : "1,30,0,0.5|";
  });
}

// Phrases of eight voices each, with three-note chords.
inline std::string VoicesAndChords() {
  return FillTo([](int i) -> std::string {
    std::string phrase = i % 7 == 0 ? "s=96," : "";
    for (int v = 0; v < 8; ++v) {
      if (v > 0) phrase += " &";
      phrase += v % 2 == 0 ? "0,1,0,3,0.1,5,0.1,6" : "0,10,0,0.7,1,4.5";
    }
    return phrase + "|";
  });
}

}  // namespace benchscores
