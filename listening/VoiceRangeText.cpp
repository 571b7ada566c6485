#include "listening/VoiceRangeText.h"

#include <cctype>

#include "listening/Pitch.h"

namespace listening {

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::optional<int32_t> ParseNoteName(const std::string& text) {
  static const int32_t kSemitone[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  if (text.size() < 2) return std::nullopt;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  if (letter < 'A' || letter > 'G') return std::nullopt;
  int32_t key = kSemitone[letter - 'A'];
  size_t at = 1;
  if (text[at] == '#') {
    ++key;
    ++at;
  } else if (text[at] == 'b') {
    --key;
    ++at;
  }
  // The octave: -1 or a single digit.
  bool below = false;
  if (at < text.size() && text[at] == '-') {
    below = true;
    ++at;
  }
  if (at + 1 != text.size() || !std::isdigit(static_cast<unsigned char>(text[at])))
    return std::nullopt;
  const int32_t octave = below ? -(text[at] - '0') : text[at] - '0';
  if (octave < -1) return std::nullopt;
  key += 12 * (octave + 1);
  if (key < 0 || key > 127) return std::nullopt;
  return key;
}

std::optional<VoiceRange> ParseVoiceRange(const std::string& text, std::string& problem) {
  // An en dash (U+2013, as UTF-8) reads as the dash.
  std::string plain = text;
  for (size_t at; (at = plain.find("\xE2\x80\x93")) != std::string::npos;)
    plain.replace(at, 3, "-");
  // The dash that parts two note names (an octave of -1 has a dash of its own: "C-1-C4").
  std::optional<int32_t> lowKey;
  std::optional<int32_t> highKey;
  for (size_t dash = plain.find('-'); dash != std::string::npos && !(lowKey && highKey);
       dash = plain.find('-', dash + 1)) {
    lowKey = ParseNoteName(Trimmed(plain.substr(0, dash)));
    highKey = ParseNoteName(Trimmed(plain.substr(dash + 1)));
  }
  if (!lowKey || !highKey) {
    problem = "'" + text + "' is no range: give the lowest and highest note, such as A2-E4";
    return std::nullopt;
  }
  if (*lowKey >= *highKey) {
    problem = "the range's low note " + NoteName(*lowKey) + " must be below its high note " +
              NoteName(*highKey);
    return std::nullopt;
  }
  return VoiceRange{*lowKey, *highKey};
}

std::string VoiceRangeText(const VoiceRange& range) {
  return NoteName(range.low) + "-" + NoteName(range.high);
}

}  // namespace listening
