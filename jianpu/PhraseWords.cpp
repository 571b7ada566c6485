#include "jianpu/PhraseWords.h"

#include <algorithm>
#include <map>

#include "notation/SongWords.h"

namespace jianpu {

namespace {

constexpr double kLatinCharWidth = 0.6 * kWordsSize;
constexpr double kWideCharWidth = 1.05 * kWordsSize;
constexpr double kSyllablePadding = 3.0;  // between two neighbouring syllables
constexpr double kExtenderThickness = 0.7;

}  // namespace

double SyllableWidth(const std::string& text) {
  double width = 0.0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if ((lead & 0xC0) == 0x80) continue;  // a continuation byte
    // Three- and four-byte characters are the wide ones (Chinese, full-width punctuation).
    width += lead >= 0xE0 ? kWideCharWidth : kLatinCharWidth;
  }
  return width;
}

double WordsWidth(const Sheet& sheet, int32_t phrase, int32_t note) {
  double widest = 0.0;
  for (int32_t verse = 0; verse < sheet.song.verseCount; ++verse) {
    const Syllable* syllable = sheet.song.SyllableAt(phrase, note, verse);
    if (syllable != nullptr && syllable->Sung())
      widest = std::max(widest, SyllableWidth(syllable->text) + kSyllablePadding);
  }
  return widest;
}

void AddWords(const Sheet& sheet, int32_t phrase, PhraseBlock& block) {
  const Song& song = sheet.song;
  if (song.verseCount == 0 || phrase >= static_cast<int32_t>(song.phrases.size())) return;
  // The first head of each note of the first row in the block.
  std::map<int32_t, const SheetItem*> digits;
  for (size_t i = 0; i < block.items.size(); ++i) {
    const SheetItem& item = block.items[i];
    if (item.kind != ItemKind::kDigit || block.itemRows[i] != 0) continue;
    const SheetItem*& first = digits[item.note];
    if (first == nullptr || item.x < first->x) first = &item;
  }
  std::vector<SheetItem> words;
  const int32_t notes =
      static_cast<int32_t>(song.phrases[static_cast<size_t>(phrase)].notes.size());
  for (int32_t verse = 0; verse < song.verseCount; ++verse) {
    const double top = verse * kVerseHeight;
    SheetItem line;
    line.kind = ItemKind::kExtender;
    line.level = verse;
    line.phrase = phrase;
    line.y = top + kWordsSize + 1.0;
    line.height = kExtenderThickness;
    bool open = false;  // a sung syllable that held notes may follow
    const auto close = [&] {
      if (open && line.width > 0.0) words.push_back(line);
      open = false;
    };
    for (int32_t note = 0; note < notes; ++note) {
      const Syllable* syllable = song.SyllableAt(phrase, note, verse);
      if (syllable == nullptr) continue;
      const auto digit = digits.find(note);
      const bool drawn = digit != digits.end();
      if (syllable->Sung()) {
        close();
        // A syllable sung before the block holds over into it from its left edge.
        line.x = 0.0;
        line.width = 0.0;
        open = true;
        if (!drawn) continue;
        SheetItem item = *digit->second;
        const double width = SyllableWidth(syllable->text);
        item.kind = ItemKind::kSyllable;
        item.text = syllable->text;
        item.level = verse;
        item.x = item.x + kDigitWidth / 2 - width / 2;
        item.y = top;
        item.width = width;
        item.height = kWordsSize + 2.0;
        words.push_back(item);
        line.x = item.x + width + 1.0;
      } else if (open && drawn) {
        line.width = digit->second->x + kDigitWidth - line.x;
      }
    }
    close();
  }
  for (SheetItem& item : words) {
    block.items.push_back(std::move(item));
    block.itemRows.push_back(0);
  }
}

}  // namespace jianpu
