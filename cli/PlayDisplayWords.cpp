#include <algorithm>
#include <string>
#include <vector>

#include "cli/PlayDisplay.h"
#include "playback/Player.h"

namespace {

// One character of a words line: its bytes, the terminal columns it takes and whether it is
// marked.
struct Shown {
  std::string bytes;
  int columns = 1;
  bool marked = false;
};

// The characters of `line` (UTF-8); CJK characters and full-width punctuation take two
// columns.
std::vector<Shown> Characters(const std::string& line, size_t markFrom, size_t markTo) {
  std::vector<Shown> shown;
  for (size_t at = 0; at < line.size();) {
    const unsigned char lead = static_cast<unsigned char>(line[at]);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    Shown character;
    character.bytes = line.substr(at, length);
    character.columns = lead >= 0xF0 || (length == 3 && lead >= 0xE3) ? 2 : 1;
    character.marked = at >= markFrom && at < markTo;
    shown.push_back(character);
    at += length;
  }
  return shown;
}

}  // namespace

int32_t CPlayDisplay::SungSyllableNote(int32_t row, int32_t note) const {
  const Syllable* syllable = song_.SyllableAt(row, note, 0);
  if (syllable == nullptr) return -1;
  // A held syllable goes on from the last one sung before it.
  for (int32_t k = note; k >= 0; --k) {
    syllable = song_.SyllableAt(row, k, 0);
    if (syllable != nullptr && syllable->Sung()) return k;
  }
  return -1;
}

std::string CPlayDisplay::WordsLine(int32_t row, const int32_t* notes, int count) const {
  const std::string line = PhraseWordsLine(song_, row, 0);
  if (line.empty()) return {};
  int32_t sung = -1;
  for (int i = 0; i < count && sung < 0; ++i) sung = SungSyllableNote(row, notes[i]);

  // Where the sung syllable stands: the line holds the syllables in order, each after the
  // one before (a space or nothing between), a hyphen dropped.
  size_t markFrom = line.size();
  size_t markTo = line.size();
  size_t at = 0;
  for (int32_t note = 0; note <= sung; ++note) {
    const Syllable* syllable = song_.SyllableAt(row, note, 0);
    if (syllable == nullptr || !syllable->Sung()) continue;
    std::string text = syllable->text;
    if (text.size() > 1 && text.back() == '-') text.pop_back();
    const size_t found = line.find(text, at);
    if (found == std::string::npos) break;
    at = found + text.size();
    if (note == sung) {
      markFrom = found;
      markTo = at;
    }
  }

  // Cut a long line to the width around the sung syllable, with "…" at a cut.
  const std::vector<Shown> shown = Characters(line, markFrom, markTo);
  const int room = std::max(width_ - 2, 10);
  size_t from = 0;
  size_t to = shown.size();
  int columns = 0;
  for (const Shown& character : shown) columns += character.columns;
  if (columns > room) {
    size_t first = 0;
    while (first < shown.size() && !shown[first].marked) ++first;
    if (first == shown.size()) first = 0;
    // A third of the room before the syllable, as much as fits after it.
    int before = 0;
    from = first;
    while (from > 0 && before + shown[from - 1].columns <= room / 3)
      before += shown[--from].columns;
    int used = 0;
    to = from;
    while (to < shown.size() && used + shown[to].columns <= room) used += shown[to++].columns;
    while (from > 0 && used + shown[from - 1].columns <= room) used += shown[--from].columns;
  }
  std::string out = from > 0 ? "…" : "";
  bool on = false;
  for (size_t k = from; k < to; ++k) {
    if (shown[k].marked != on) out += shown[k].marked ? kMarkOn : kMarkOff;
    on = shown[k].marked;
    out += shown[k].bytes;
  }
  if (on) out += kMarkOff;
  if (to < shown.size()) out += "…";
  return out;
}
