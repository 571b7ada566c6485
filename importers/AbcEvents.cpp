#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "importers/AbcTuneReader.h"

namespace importers::abc {

Segment& CTuneReader::NewSegment() {
  VoiceState& voice = Voice();
  std::vector<Segment>& segments = voice.music.segments;
  if (segments.empty() || !segments.back().notes.empty() || segments.back().length > 0.0)
    segments.emplace_back();
  Segment& segment = segments.back();
  segment.bar = voice.bar;
  segment.fifths = voice.key.fifths;
  segment.tempo = voice.tempo;
  segment.endings = voice.endings;
  segment.part = part_;
  return segment;
}

void CTuneReader::BarLine(const std::string& line, size_t& i) {
  VoiceState& voice = Voice();
  std::string run;
  if (i < line.size() && line[i] == '[') run += line[i++];
  while (i < line.size() && (line[i] == '|' || line[i] == ':' ||
                             (line[i] == ']' && !run.empty() && run.back() == '|')))
    run += line[i++];
  const bool endRepeat = !run.empty() && run[0] == ':';
  const bool startRepeat = run.size() > 1 && run.back() == ':';
  const bool thick = run.find("||") != std::string::npos || run.find(']') != std::string::npos ||
                     run.find('[') != std::string::npos;
  if (!run.empty() && run.find('|') == std::string::npos && run != "::") {
    return;  // a lone ':' is no bar line
  }
  if (endRepeat) Open().repeatEnd = true;
  if (!run.empty()) {
    if (voice.barHasMusic) ++voice.bar;
    voice.barHasMusic = false;
    voice.barAccidentals.clear();
    if (endRepeat || startRepeat || thick) voice.endings.clear();
  }
  // An ending's numbers: "1", "2", "1,3", "1-2", after the bar or its '['.
  size_t at = i;
  if (at < line.size() && line[at] == '[' && at + 1 < line.size() &&
      std::isdigit(static_cast<unsigned char>(line[at + 1])))
    ++at;
  if (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at]))) {
    std::set<int> endings;
    while (at < line.size() && (std::isdigit(static_cast<unsigned char>(line[at])) ||
                                line[at] == ',' || line[at] == '-')) {
      const int first = std::atoi(line.c_str() + at);
      while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at]))) ++at;
      int last = first;
      if (at < line.size() && line[at] == '-') last = std::atoi(line.c_str() + ++at);
      while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at]))) ++at;
      for (int n = first; n <= std::min(last, first + 8); ++n) endings.insert(n);
      if (at < line.size() && line[at] == ',') ++at;
    }
    voice.endings = endings;
    i = at;
  }
  Segment& segment = NewSegment();
  segment.barStart = segment.barStart || !run.empty();
  segment.repeatStart = segment.repeatStart || startRepeat;
}

double CTuneReader::ReadLength(const std::string& line, size_t& i) {
  auto number = [&](long fallback) {
    long value = 0;
    bool any = false;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) {
      value = std::min(value * 10 + (line[i++] - '0'), 100000L);
      any = true;
    }
    return any ? value : fallback;
  };
  double factor = static_cast<double>(number(1));
  while (i < line.size() && line[i] == '/') {
    ++i;
    factor /= static_cast<double>(std::max(number(2), 1L));
  }
  return factor;
}

bool CTuneReader::ReadNote(const std::string& line, size_t& i, Written& note) {
  VoiceState& voice = Voice();
  const size_t begin = i;
  int accidental = 0;
  bool explicitAccidental = false;
  while (i < line.size() && (line[i] == '^' || line[i] == '_' || line[i] == '=')) {
    accidental += line[i] == '^' ? 1 : line[i] == '_' ? -1 : 0;
    explicitAccidental = true;
    ++i;
  }
  if (i >= line.size()) return i = begin, false;
  const char c = line[i];
  static const char kLetters[] = "CDEFGAB";
  static const int kSemitones[7] = {0, 2, 4, 5, 7, 9, 11};
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper >= 'A' && upper <= 'G' && (c == upper || (c >= 'a' && c <= 'g'))) {
    ++i;
    const int letter = static_cast<int>(std::string(kLetters).find(upper));
    int octave = c == upper ? 0 : 1;
    while (i < line.size() && (line[i] == '\'' || line[i] == ','))
      octave += line[i++] == '\'' ? 1 : -1;
    octave = std::clamp(octave, -5, 5);
    const int slot = letter * 100 + octave + 50;
    if (explicitAccidental) voice.barAccidentals[slot] = accidental;
    const auto carried = voice.barAccidentals.find(slot);
    const int alter =
        carried != voice.barAccidentals.end() ? carried->second : voice.key.alter[letter];
    note.key = std::clamp(60 + 12 * octave + kSemitones[letter] + alter, 0, 127);
    note.length = voice.unit * ReadLength(line, i);
    voice.barHasMusic = true;
    return true;
  }
  if (explicitAccidental) return i = begin, false;
  if (c == 'z' || c == 'x') {
    ++i;
    note.key = kRestKey;
    note.length = voice.unit * ReadLength(line, i);
    voice.barHasMusic = true;
    return true;
  }
  if (c == 'Z' || c == 'X') {  // whole bars of rest, each a bar of its own
    ++i;
    const long bars = std::clamp(static_cast<long>(ReadLength(line, i)), 1L, 1000L);
    const double barBeats = voice.meterUnit > 0 ? 4.0 * voice.meterBeats / voice.meterUnit : 4.0;
    for (long b = 0; b < bars && noteCount_ <= kMaxNotes; ++b) {
      if (b > 0) {
        ++voice.bar;
        NewSegment().barStart = true;
      }
      AddEvent({Written{kRestKey, barBeats, false}});
    }
    voice.barHasMusic = true;
    note.key = kRestKey - 1;
    return true;
  }
  return false;
}

void CTuneReader::Tuplet(const std::string& line, size_t& i) {
  VoiceState& voice = Voice();
  ++i;
  auto number = [&]() {
    long value = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])))
      value = std::min(value * 10 + (line[i++] - '0'), 100000L);
    return value;
  };
  const long p = number();
  long q = 0;
  long r = 0;
  if (i < line.size() && line[i] == ':') {
    ++i;
    q = number();
    if (i < line.size() && line[i] == ':') ++i, r = number();
  }
  if (p < 2 || p > kMaxTupletNotes || q > kMaxTupletNotes || r > kMaxTupletNotes) {
    Loss("a tuplet of " + std::to_string(p) + " played in plain time");
    return;
  }
  if (q == 0) {
    const bool compound = voice.meterUnit == 8 && voice.meterBeats % 3 == 0 && voice.meterBeats > 3;
    q = (p == 3 || p == 6) ? 2 : (p == 2 || p == 4 || p == 8) ? 3 : compound ? 3 : 2;
  }
  voice.tupletFactor = static_cast<double>(q) / static_cast<double>(p);
  voice.tupletLeft = static_cast<int>(r > 0 ? r : p);
}

void CTuneReader::AddEvent(const std::vector<Written>& notes) {
  if (noteCount_ > kMaxNotes) return;  // the tune is cut here (Body says so)
  VoiceState& voice = Voice();
  double factor = voice.brokenNext;
  voice.brokenNext = 1.0;
  if (voice.tupletLeft > 0) {
    factor *= voice.tupletFactor;
    --voice.tupletLeft;
  }
  const double advance = std::min(notes[0].length * factor, kMaxNoteBeats);
  Segment& segment = Open();
  std::vector<std::pair<NoteRef, int>> ties;
  std::vector<NoteRef> slot;
  voice.lastEvent.clear();
  for (const Written& note : notes) {
    // A note tied from the one before it lengthens that one.
    auto tied =
        std::find_if(voice.ties.begin(), voice.ties.end(),
                     [&](const std::pair<NoteRef, int>& tie) { return tie.second == note.key; });
    if (note.key != kRestKey && tied != voice.ties.end()) {
      SourceNote& earlier = voice.music.segments[tied->first.segment].notes[tied->first.note];
      earlier.length += advance;
      if (note.tie) ties.push_back(*tied);
      voice.lastEvent.push_back(tied->first);
      continue;
    }
    const NoteRef ref{voice.music.segments.size() - 1, segment.notes.size()};
    segment.notes.push_back({segment.length, advance, note.key, voice.bar, {}});
    ++noteCount_;
    voice.lastEvent.push_back(ref);
    if (note.key != kRestKey) slot.push_back(ref);
    if (note.tie && note.key != kRestKey) ties.push_back({ref, note.key});
  }
  voice.ties = ties;
  if (!slot.empty()) voice.wordSlots.push_back(slot);
  segment.length += advance;
  voice.lastAdvance = advance;
}

}  // namespace importers::abc
