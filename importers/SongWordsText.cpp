#include "importers/SongWordsText.h"

#include <cstdio>

namespace importers {

namespace {

// Comment text that cannot end its comment early or break its line.
std::string CommentSafe(const std::string& text) {
  std::string safe;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    // Control characters, a zero byte among them (which would end the score's text), become
    // spaces.
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      safe += ' ';
    } else {
      safe += c;
      if (c == '*' && i + 1 < text.size() && text[i + 1] == '/') safe += ' ';
    }
  }
  return safe;
}

// A syllable's text without the format's own marks: a hyphen becomes U+2010, a space a
// no-break space, and '_' and '*' are dropped.
std::string SyllableText(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '-') {
      out += "\xE2\x80\x90";
    } else if (c == ' ' || c == '\t') {
      out += "\xC2\xA0";
    } else if (c != '_' && c != '*' && c != '/' && static_cast<unsigned char>(c) >= 0x20 &&
               c != 0x7F) {
      out += c;
    }
  }
  return out;
}

std::string Beats(double beats) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", beats);
  std::string shown = text;
  while (shown.back() == '0') shown.pop_back();
  if (shown.back() == '.') shown.pop_back();
  return shown;
}

}  // namespace

std::string HeadComments(const ImportedSong& song) {
  std::string head;
  if (!song.title.empty()) head += "/*title: " + CommentSafe(song.title) + "*/\n";
  if (song.meterBeats > 0 && song.meterUnit > 0) {
    head += "/*meter: " + std::to_string(song.meterBeats) + "/" + std::to_string(song.meterUnit);
    if (song.pickupBeats > 1e-6) head += ", pickup " + Beats(song.pickupBeats);
    head += "*/\n";
  }
  return head;
}

std::string WordsComments(const std::vector<WordSlot>& slots) {
  size_t verses = 0;
  for (const WordSlot& slot : slots)
    if (slot.source != nullptr && slot.source->verses.size() > verses)
      verses = slot.source->verses.size();
  std::string comments;
  for (size_t verse = 0; verse < verses; ++verse) {
    std::string line;
    bool any = false;
    bool joinNext = false;  // the syllable before ends in a hyphen and this one goes on
    std::string pending;    // "*" marks not yet known to be followed by a syllable
    for (const WordSlot& slot : slots) {
      const Syllable* syllable = slot.source != nullptr && verse < slot.source->verses.size()
                                     ? &slot.source->verses[verse]
                                     : nullptr;
      std::string item;
      bool text = false;
      if (slot.held || (syllable != nullptr && syllable->text.empty() && syllable->extend)) {
        item = "_";
      } else if (syllable != nullptr && !SyllableText(syllable->text).empty()) {
        item = SyllableText(syllable->text);
        text = true;
      } else {
        item = "*";
      }
      if (item == "*") {
        pending += pending.empty() && line.empty() ? "*" : " *";
        joinNext = false;
        continue;
      }
      if (!pending.empty()) {
        line += pending;
        pending.clear();
      }
      if (!line.empty() && !(joinNext && text)) line += ' ';
      line += item;
      joinNext = false;
      if (text) {
        any = true;
        if (syllable->hyphen) {
          line += '-';
          joinNext = true;
        }
      }
    }
    if (!any) continue;
    comments += "/*words" + (verse == 0 ? std::string() : std::to_string(verse + 1)) + ": " +
                CommentSafe(line) + "*/";
  }
  return comments;
}

}  // namespace importers
