#include <map>

#include "importers/MidiEvents.h"
#include "importers/SourceText.h"

namespace importers::midi {

namespace {

// Text events in a track as karaoke files write their words: enough of them that they are
// more than a copyright line or a marker.
constexpr int kMinKaraokeTexts = 4;

// A text in UTF-8, its control characters (a zero would end the score's text) as spaces; line
// breaks stay, as karaoke lines.
std::string Decode(const std::string& bytes, SourceEncoding encoding) {
  std::string text = TextAsUtf8(bytes, encoding);
  for (char& c : text)
    if ((static_cast<unsigned char>(c) < 0x20 && c != '\r' && c != '\n') || c == 0x7F) c = ' ';
  return text;
}

// One encoding for all of a file's texts: a short syllable alone tells too little.
SourceEncoding EncodingOf(const std::vector<const MidiText*>& texts) {
  std::string all;
  for (const MidiText* text : texts) all += text->bytes + "\n";
  return EncodingOfText(all);
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0'; }

// Whether the UTF-8 character ending (or beginning) here is a Chinese, Japanese or Korean
// one, which is a syllable of its own and never hyphenated.
bool IsCjkLead(unsigned char lead) { return lead >= 0xE3 && lead <= 0xED; }
bool EndsCjk(const std::string& text) {
  for (size_t i = text.size(); i-- > 0 && text.size() - i <= 4;)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
      return IsCjkLead(static_cast<unsigned char>(text[i]));
  return false;
}

// The track whose text events are karaoke words: the one with the most of them.
int KaraokeTrack(const MidiFile& file) {
  std::map<int, int> counts;
  for (const MidiText& text : file.texts)
    if (text.type == 1 && !text.bytes.empty() && text.bytes[0] != '@') ++counts[text.track];
  int best = -1, most = kMinKaraokeTexts - 1;
  for (const auto& [track, count] : counts)
    if (count > most) best = track, most = count;
  return best;
}

}  // namespace

std::vector<std::string> TrackNames(const MidiFile& file) {
  std::vector<const MidiText*> all;
  for (const MidiText& text : file.texts) all.push_back(&text);
  const SourceEncoding encoding = EncodingOf(all);
  std::vector<std::string> names(static_cast<size_t>(file.tracks));
  for (const MidiText& text : file.texts) {
    std::string& name = names[static_cast<size_t>(text.track)];
    if (text.type == 3 && name.empty()) name = Decode(text.bytes, encoding);
  }
  return names;
}

std::vector<MidiSyllable> MidiWords(const MidiFile& file, std::string& title) {
  bool lyrics = false;
  for (const MidiText& text : file.texts) lyrics |= text.type == 5;
  const int karaoke = lyrics ? -1 : KaraokeTrack(file);
  std::vector<const MidiText*> words, all;
  for (const MidiText& text : file.texts) {
    all.push_back(&text);
    if (lyrics ? text.type == 5 : (text.type == 1 && text.track == karaoke)) words.push_back(&text);
  }
  const SourceEncoding encoding = EncodingOf(all);

  const std::string trackName = file.tracks > 0 ? TrackNames(file)[0] : "";

  std::vector<MidiSyllable> syllables;
  bool lineStart = true;
  bool wordEnded = true;  // the last syllable ended its word
  for (const MidiText* event : words) {
    std::string text = Decode(event->bytes, encoding);
    if (!lyrics && !text.empty() && text[0] == '@') {
      // Karaoke headers: "@T" gives the title (its first), the others are notes about the file.
      if (text.size() > 2 && text[1] == 'T' && title.empty()) title = text.substr(2);
      continue;
    }
    size_t from = 0;
    bool startsWord = false;
    while (from < text.size() && (IsSpace(text[from]) || text[from] == '/' || text[from] == '\\')) {
      if (text[from] == '/' || text[from] == '\\' || text[from] == '\r' || text[from] == '\n')
        lineStart = true;
      startsWord = true;
      ++from;
    }
    size_t to = text.size();
    bool endsLine = false, endsWord = false;
    while (to > from && (IsSpace(text[to - 1]) || text[to - 1] == '/' || text[to - 1] == '\\')) {
      endsLine |= text[to - 1] == '\r' || text[to - 1] == '\n' || text[to - 1] == '/' ||
                  text[to - 1] == '\\';
      endsWord = true;
      --to;
    }
    bool hyphen = false;
    if (to > from && text[to - 1] == '-') hyphen = true, --to;
    text = text.substr(from, to - from);
    if (text.empty()) {
      wordEnded |= startsWord || endsWord;
      lineStart |= endsLine;
      continue;
    }
    // The syllable before runs on into this one unless a space, a line or a hyphen parts them.
    if (!syllables.empty() && !wordEnded && !startsWord && !lineStart &&
        !EndsCjk(syllables.back().syllable.text) && !IsCjkLead(static_cast<unsigned char>(text[0])))
      syllables.back().syllable.hyphen = true;
    MidiSyllable syllable{event->tick, event->track, {text, hyphen, false}, lineStart};
    syllables.push_back(std::move(syllable));
    lineStart = endsLine;
    wordEnded = endsWord || hyphen;
  }
  if (title.empty()) title = trackName;
  return syllables;
}

}  // namespace importers::midi
