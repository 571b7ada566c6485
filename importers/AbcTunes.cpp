#include <cctype>
#include <cstdlib>
#include <string>

#include "importers/AbcParts.h"
#include "importers/SourceText.h"

namespace importers::abc {

namespace {

// A line without its comment: '%' to the end, unless escaped as "\%".
std::string WithoutComment(const std::string& line) {
  for (size_t i = 0; i < line.size(); ++i)
    if (line[i] == '%' && (i == 0 || line[i - 1] != '\\')) return line.substr(0, i);
  return line;
}

bool IsField(const std::string& line, char name) {
  return line.size() >= 2 && line[0] == name && line[1] == ':';
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// "3/8" or "1/4" as a fraction of a whole note; 0 when it is not one.
double WholeFraction(const std::string& text) {
  const size_t slash = text.find('/');
  if (slash == std::string::npos) return 0.0;
  const int top = std::atoi(text.substr(0, slash).c_str());
  const int bottom = std::atoi(text.substr(slash + 1).c_str());
  if (top <= 0 || bottom <= 0 || top > 1000 || bottom > 1024) return 0.0;
  return static_cast<double>(top) / bottom;
}

constexpr int kLetterFifths[7] = {0, 2, 4, -1, 1, 3, 5};  // C D E F G A B
constexpr int kSharpOrder[7] = {3, 0, 4, 1, 5, 2, 6};     // F C G D A E B as C=0 … B=6

}  // namespace

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<Tune> SplitTunes(const std::string& bytes) {
  const size_t zeros = bytes.find('\0');
  if (zeros != std::string::npos)
    throw ImportError("not an ABC file: it holds binary data, not text");
  const std::string text = TextAsUtf8(bytes, EncodingOfText(bytes));
  std::vector<Tune> tunes;
  bool inTune = false;
  bool sawKey = false;
  size_t at = 0;
  int lineNumber = 0;
  while (at <= text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("%%", 0) == 0) continue;  // a directive for a typesetter
    const bool blank = Trim(line).empty();
    line = WithoutComment(line);
    if (IsField(line, 'X')) {
      tunes.push_back({std::atoi(line.c_str() + 2), {}, lineNumber});
      inTune = true;
      continue;
    }
    if (blank) {
      // An empty line ends a tune; a file without X: is one tune from its first K:.
      if (inTune && !tunes.back().lines.empty()) inTune = false;
      continue;
    }
    if (Trim(line).empty()) continue;  // a comment alone
    if (!inTune && tunes.empty() && !sawKey && IsField(line, 'K')) {
      tunes.push_back({1, {}, lineNumber});
      inTune = true;
    }
    if (IsField(line, 'K')) sawKey = true;
    if (inTune) tunes.back().lines.push_back(line);
  }
  std::vector<Tune> withMusic;
  for (Tune& tune : tunes) {
    bool hasKey = false;
    for (const std::string& line : tune.lines) hasKey = hasKey || IsField(line, 'K');
    if (hasKey) withMusic.push_back(std::move(tune));
  }
  if (withMusic.empty()) throw ImportError("not an ABC file: no tune (X: … K:) in it");
  return withMusic;
}

bool ParseKey(const std::string& value, KeySignature& key) {
  key = KeySignature{};
  std::string text = Trim(value);
  const std::string lower = Lower(text);
  if (lower.empty() || lower.rfind("none", 0) == 0 || lower.rfind("hp", 0) == 0) {
    if (lower == "hp" && text == "Hp") key.alter[3] = key.alter[0] = 1;
    return true;
  }
  size_t i = 0;
  if (text[0] >= 'A' && text[0] <= 'G') {
    static const char kLetters[] = "CDEFGAB";
    int letter = static_cast<int>(std::string(kLetters).find(text[0]));
    int fifths = kLetterFifths[letter];
    i = 1;
    if (i < text.size() && text[i] == '#')
      fifths += 7, ++i;
    else if (i < text.size() && text[i] == 'b')
      fifths -= 7, ++i;
    while (i < text.size() && text[i] == ' ') ++i;
    // The mode: its first three letters; "m" alone is minor.
    size_t modeEnd = i;
    while (modeEnd < text.size() && std::isalpha(static_cast<unsigned char>(text[modeEnd])))
      ++modeEnd;
    const std::string mode = Lower(text.substr(i, modeEnd - i)).substr(0, 3);
    if (mode == "m" || mode == "min" || mode == "aeo")
      fifths -= 3;
    else if (mode == "mix")
      fifths -= 1;
    else if (mode == "dor")
      fifths -= 2;
    else if (mode == "phr")
      fifths -= 4;
    else if (mode == "loc")
      fifths -= 5;
    else if (mode == "lyd")
      fifths += 1;
    else if (!mode.empty() && mode != "maj" && mode != "ion" && mode != "exp")
      modeEnd = i;
    i = modeEnd;
    if (fifths < -7 || fifths > 7) return false;
    key.fifths = fifths;
    for (int n = 0; n < fifths; ++n) key.alter[kSharpOrder[n]] = 1;
    for (int n = 0; n < -fifths; ++n) key.alter[kSharpOrder[6 - n]] = -1;
  } else if (text[0] != '^' && text[0] != '_' && text[0] != '=') {
    return false;
  }
  // Explicit accidentals ("^f _b =c"); clef and other settings are skipped.
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    size_t end = text.find(' ', i);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(i, end - i);
    i = end;
    if (word.find('=', 1) != std::string::npos) continue;  // clef=, middle=, transpose=
    int alter = 0;
    size_t k = 0;
    while (k < word.size() && (word[k] == '^' || word[k] == '_' || word[k] == '=')) {
      alter += word[k] == '^' ? 1 : word[k] == '_' ? -1 : 0;
      ++k;
    }
    if (k == 0 || k + 1 != word.size()) continue;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(word[k])));
    const size_t index = std::string("CDEFGAB").find(letter);
    if (index != std::string::npos) key.alter[index] = alter;
  }
  return true;
}

bool ParseMeter(const std::string& value, int& beats, int& unit) {
  const std::string text = Trim(value);
  beats = 0;
  unit = 0;
  if (text.empty() || Lower(text) == "none") return true;
  if (text == "C") return beats = 4, unit = 4, true;
  if (text == "C|") return beats = 2, unit = 2, true;
  const size_t slash = text.find('/');
  if (slash == std::string::npos) return false;
  // "2+3/8": the numerator's parts added.
  int sum = 0;
  std::string top = text.substr(0, slash);
  for (char& c : top)
    if (c == '(' || c == ')' || c == '+') c = ' ';
  char* cursor = top.data();
  while (*cursor != '\0') {
    char* next = nullptr;
    const long part = std::strtol(cursor, &next, 10);
    if (next == cursor) break;
    sum += static_cast<int>(part);
    cursor = next;
    if (sum > 1000) return false;
  }
  const int bottom = std::atoi(text.c_str() + slash + 1);
  if (sum <= 0 || bottom <= 0 || bottom > 64) return false;
  beats = sum;
  unit = bottom;
  return true;
}

double ParseUnit(const std::string& value) { return 4.0 * WholeFraction(Trim(value)); }

double DefaultUnit(int beats, int unit) {
  return unit > 0 && static_cast<double>(beats) / unit < 0.75 ? 0.25 : 0.5;
}

double ParseTempo(const std::string& value, double unitBeats) {
  std::string text = value;
  // A quoted word ("Allegro") is only shown.
  for (size_t open = text.find('"'); open != std::string::npos; open = text.find('"')) {
    const size_t close = text.find('"', open + 1);
    text.erase(open, close == std::string::npos ? std::string::npos : close - open + 1);
  }
  const size_t equals = text.find('=');
  if (equals == std::string::npos) {
    const double count = std::atof(Trim(text).c_str());
    return count > 0 ? count * unitBeats : 0.0;
  }
  double beat = 0.0;  // the beat, in quarter notes: the fractions before '=' added
  std::string fractions = text.substr(0, equals);
  size_t at = 0;
  while (at < fractions.size()) {
    while (at < fractions.size() && fractions[at] == ' ') ++at;
    size_t end = fractions.find(' ', at);
    if (end == std::string::npos) end = fractions.size();
    beat += 4.0 * WholeFraction(fractions.substr(at, end - at));
    at = end;
  }
  if (beat <= 0.0) beat = unitBeats;
  const double count = std::atof(text.c_str() + equals + 1);
  return count > 0 ? count * beat : 0.0;
}

}  // namespace importers::abc
