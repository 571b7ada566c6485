#include <string>

#include "importers/AbcParts.h"

namespace importers::abc {

namespace {

// One mark of a w: line: a syllable, a hold ('_'), a skip ('*') or the next bar ('|').
struct WordItem {
  enum Kind { kSyllable, kHold, kSkip, kNextBar };
  Kind kind = kSyllable;
  Syllable syllable;
};

std::vector<WordItem> WordItems(const std::string& words) {
  std::vector<WordItem> items;
  std::string text;
  bool open = false;  // a syllable has begun
  auto close = [&](bool hyphen) {
    if (!open) return false;
    WordItem item;
    item.syllable.text = text;
    item.syllable.hyphen = hyphen;
    items.push_back(item);
    text.clear();
    open = false;
    return true;
  };
  for (size_t i = 0; i < words.size(); ++i) {
    const char c = words[i];
    if (c == '\\' && i + 1 < words.size() && words[i + 1] == '-') {
      text += '-';  // a hyphen shown, not a break
      open = true;
      ++i;
    } else if (c == ' ' || c == '\t') {
      close(false);
    } else if (c == '-') {
      // After a syllable: the word goes on. Alone: the note before is held, as with '_'.
      if (!close(true)) items.push_back({WordItem::kHold, {}});
    } else if (c == '_' || c == '*' || c == '|') {
      close(false);
      items.push_back({c == '_'   ? WordItem::kHold
                       : c == '*' ? WordItem::kSkip
                                  : WordItem::kNextBar,
                       {}});
    } else if (c == '~') {
      text += ' ';  // words under one note
      open = true;
    } else {
      text += c;
      open = true;
    }
  }
  close(false);
  return items;
}

}  // namespace

void AlignWords(const std::string& words, std::vector<std::vector<NoteRef>>& slots, int verse,
                std::vector<Segment>& segments, std::vector<ImportLoss>& losses) {
  if (verse < 0 || verse >= 16) return;
  auto note = [&](const NoteRef& ref) -> SourceNote& {
    return segments[ref.segment].notes[ref.note];
  };
  size_t next = 0;
  bool reported = false;
  for (const WordItem& item : WordItems(words)) {
    if (item.kind == WordItem::kNextBar) {
      if (next > 0 && next < slots.size()) {
        const int bar = note(slots[next - 1][0]).bar;
        while (next < slots.size() && note(slots[next][0]).bar == bar) ++next;
      }
      continue;
    }
    if (next >= slots.size()) {
      if (!reported && item.kind == WordItem::kSyllable) {
        const int bar = slots.empty() ? 0 : note(slots.back()[0]).bar;
        losses.push_back({bar, "words beyond the notes left out"});
        reported = true;
      }
      continue;
    }
    if (item.kind != WordItem::kSkip) {
      Syllable syllable = item.syllable;
      syllable.extend = item.kind == WordItem::kHold;
      for (const NoteRef& ref : slots[next]) {
        std::vector<Syllable>& verses = note(ref).verses;
        if (verses.size() <= static_cast<size_t>(verse)) verses.resize(verse + 1);
        verses[verse] = syllable;
      }
    }
    ++next;
  }
}

}  // namespace importers::abc
