#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>

#include "importers/AbcTuneReader.h"

namespace importers::abc {

namespace {

bool IsFieldLine(const std::string& line) {
  return line.size() >= 2 && std::isalpha(static_cast<unsigned char>(line[0])) && line[1] == ':';
}

// A tie after a note: a '-', with slur ends and spaces around it.
bool TieFollows(const std::string& line, size_t& i) {
  bool tie = false;
  while (i < line.size() && (line[i] == '-' || line[i] == ')' || line[i] == ' '))
    tie = line[i++] == '-' || tie;
  return tie;
}

// The name a V: field gives its voice: name="Soprano" or nm="Soprano"; "" when none.
std::string VoiceName(const std::string& text) {
  for (const char* tag : {"name=", "nm="}) {
    const size_t at = text.find(tag);
    if (at == std::string::npos) continue;
    size_t from = at + std::char_traits<char>::length(tag);
    const bool quoted = from < text.size() && text[from] == '"';
    if (quoted) ++from;
    const size_t end = text.find(quoted ? '"' : ' ', from);
    return text.substr(from, end == std::string::npos ? end : end - from);
  }
  return "";
}

}  // namespace

void CTuneReader::SelectVoice(const std::string& value) {
  const std::string text = Trim(value);
  const std::string id = text.substr(0, text.find(' '));
  for (size_t v = 0; v < voices_.size(); ++v)
    if (voices_[v].music.id == id) {
      current_ = v;
      return;
    }
  if (voices_.size() == 1 && voices_[0].music.id.empty() && voices_[0].music.segments.size() == 1 &&
      voices_[0].music.segments[0].notes.empty()) {
    voices_[0].music.id = id;  // the first V: names the voice that was begun by default
  } else if (static_cast<int>(voices_.size()) >= kMaxVoices) {
    Loss("voices beyond " + std::to_string(kMaxVoices) + " left out");
    current_ = 0;
    return;
  } else {
    voices_.push_back(defaults_);
    voices_.back().music.id = id;
    voices_.back().music.segments.emplace_back();
    voices_.back().music.segments.back().fifths = defaults_.key.fifths;
    voices_.back().music.segments.back().tempo = defaults_.tempo;
  }
  current_ = voices_.size() - 1;
  for (size_t v = 0; v < voices_.size(); ++v)
    if (voices_[v].music.id == id) current_ = v;
  // The voice's name, from this V: field or the header's V: field of the same voice.
  if (Voice().music.name.empty()) Voice().music.name = VoiceName(text);
  for (const std::string& declared : headerVoices_)
    if (Voice().music.name.empty() && declared.substr(0, declared.find(' ')) == id)
      Voice().music.name = VoiceName(declared);
}

void CTuneReader::Field(char name, const std::string& value, bool inBody) {
  VoiceState& voice = inBody ? Voice() : defaults_;
  switch (name) {
    case 'T':
      if (out_.title.empty()) out_.title = Trim(value);
      break;
    case 'K': {
      KeySignature key;
      if (!ParseKey(value, key)) {
        out_.losses.push_back(
            {voice.bar, "a key that cannot be read (K:" + value + ") taken as C"});
        key = KeySignature{};
      }
      voice.key = key;
      break;
    }
    case 'M': {
      int beats = 0;
      int unit = 0;
      if (!ParseMeter(value, beats, unit)) {
        out_.losses.push_back({voice.bar, "a meter that cannot be read (M:" + value + ")"});
        break;
      }
      voice.meterBeats = beats;
      voice.meterUnit = unit;
      // The song's meter: the header's, or one given in the body before any note.
      if (!inBody || noteCount_ == 0) out_.meterBeats = beats, out_.meterUnit = unit;
      break;
    }
    case 'L':
      if (const double unit = ParseUnit(value); unit > 0.0) voice.unit = unit;
      break;
    case 'Q':
      if (const double tempo = ParseTempo(value, voice.unit); tempo > 0.0) voice.tempo = tempo;
      break;
    case 'V':
      if (inBody) SelectVoice(value);
      break;
    case 'P':
      if (!inBody) {
        out_.partOrder = Trim(value);
      } else if (!Trim(value).empty()) {
        part_ = Trim(value)[0];
        NewSegment();
      }
      break;
    default:
      break;  // C:, O: and the rest are the tune's notes, not its music
  }
  if (inBody && (name == 'K' || name == 'Q')) NewSegment();
}

void CTuneReader::Header(const std::vector<std::string>& lines, size_t& at) {
  bool unitGiven = false;
  for (; at < lines.size(); ++at) {
    const std::string& line = lines[at];
    if (!IsFieldLine(line)) continue;
    if (line[0] == 'L') unitGiven = true;
    if (line[0] == 'V') {  // voices are made as the body names them
      headerVoices_.push_back(Trim(line.substr(2)));
      continue;
    }
    Field(line[0], line.substr(2), false);
    if (line[0] == 'K') {
      ++at;
      break;
    }
  }
  if (!unitGiven) defaults_.unit = DefaultUnit(defaults_.meterBeats, defaults_.meterUnit);
  // The unit of a Q: given as a bare count follows the default unit.
  voices_.push_back(defaults_);
  voices_[0].music.segments.emplace_back();
  voices_[0].music.segments[0].fifths = defaults_.key.fifths;
  voices_[0].music.segments[0].tempo = defaults_.tempo;
}

void CTuneReader::Body(const std::vector<std::string>& lines, size_t at) {
  bool continued = false;
  for (; at < lines.size(); ++at) {
    std::string line = lines[at];
    if (IsFieldLine(line)) {
      const std::string value = line.substr(2);
      if (line[0] == 'w') {
        VoiceState& voice = Voice();
        AlignWords(value, voice.wordSlots, voice.versesSinceMusic++, voice.music.segments,
                   out_.losses);
      } else {
        Field(line[0], value, true);
      }
      continue;
    }
    const bool continues = !Trim(line).empty() && Trim(line).back() == '\\';
    if (continues) line = line.substr(0, line.rfind('\\'));
    MusicLine(line, continued);
    continued = continues;
    if (noteCount_ > kMaxNotes) {
      Loss("the tune left out from here on: over " + std::to_string(kMaxNotes) + " notes");
      break;
    }
  }
}

void CTuneReader::MusicLine(const std::string& line, bool continued) {
  VoiceState& start = Voice();
  if (start.versesSinceMusic > 0) {
    start.wordSlots.clear();
    start.versesSinceMusic = 0;
  }
  if (!continued && !Trim(line).empty()) NewSegment().lineStart = true;
  size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == '"') {  // a chord name or annotation
      const size_t close = line.find('"', i + 1);
      i = close == std::string::npos ? line.size() : close + 1;
    } else if (c == '!' || (c == '+' && line.find('+', i + 1) != std::string::npos)) {
      const size_t close = line.find(c, i + 1);  // a decoration
      i = close == std::string::npos ? line.size() : close + 1;
    } else if (c == '{') {  // grace notes
      const size_t close = line.find('}', i + 1);
      Loss("grace notes left out");
      i = close == std::string::npos ? line.size() : close + 1;
    } else if (c == '[' && i + 2 < line.size() &&
               std::isalpha(static_cast<unsigned char>(line[i + 1])) &&
               line[i + 2] == ':') {  // an inline field
      const size_t close = line.find(']', i);
      const std::string value =
          line.substr(i + 3, close == std::string::npos ? close : close - i - 3);
      if (line[i + 1] != 'w') Field(line[i + 1], value, true);
      i = close == std::string::npos ? line.size() : close + 1;
    } else if (c == '[' && i + 1 < line.size() &&
               std::isdigit(static_cast<unsigned char>(line[i + 1]))) {
      ++i;  // an ending "[1": read as after a bar line
      BarLine(line, i);
    } else if (c == '|' || c == ':' || (c == '[' && i + 1 < line.size() && line[i + 1] == '|')) {
      BarLine(line, i);
    } else if (c == '[') {  // a chord
      ++i;
      std::vector<Written> notes;
      while (i < line.size() && line[i] != ']') {
        Written note;
        if (!ReadNote(line, i, note)) {
          ++i;
          continue;
        }
        notes.push_back(note);
      }
      ++i;
      const double factor = ReadLength(line, i);
      bool tie = false;
      tie = TieFollows(line, i);
      for (Written& note : notes) note.length *= factor, note.tie = note.tie || tie;
      if (!notes.empty()) AddEvent(notes);
    } else if (c == '(' && i + 1 < line.size() &&
               std::isdigit(static_cast<unsigned char>(line[i + 1]))) {
      Tuplet(line, i);
    } else if (c == '>' || c == '<') {
      int count = 0;
      while (i < line.size() && line[i] == c) ++count, ++i;
      count = std::min(count, 3);
      const double shorter = std::pow(0.5, count);
      const double longer = 2.0 - shorter;
      const double before = c == '>' ? longer : shorter;
      VoiceState& voice = Voice();
      const double delta = voice.lastAdvance * (before - 1.0);
      for (const NoteRef& ref : voice.lastEvent)
        voice.music.segments[ref.segment].notes[ref.note].length *= before;
      if (!voice.lastEvent.empty())
        voice.music.segments[voice.lastEvent[0].segment].length += delta;
      voice.brokenNext = c == '>' ? shorter : longer;
    } else if (c == '&') {
      Loss("a second voice within a bar (&) left out");
      while (i < line.size() && line[i] != '|') ++i;
    } else {
      Written note;
      if (ReadNote(line, i, note)) {
        if (note.key == kRestKey - 1) continue;  // a whole bar's rests, already added
        note.tie = TieFollows(line, i) || note.tie;
        AddEvent({note});
      } else {
        ++i;  // decorations, spaces, beams and slurs shape only the print
      }
    }
  }
}

void CTuneReader::Finish() {
  for (VoiceState& voice : voices_) {
    std::vector<Segment>& segments = voice.music.segments;
    segments.erase(std::remove_if(segments.begin(), segments.end(),
                                  [](const Segment& s) {
                                    return s.notes.empty() && s.length <= 0.0 && !s.repeatEnd;
                                  }),
                   segments.end());
    if (!segments.empty()) out_.voices.push_back(std::move(voice.music));
  }
}

TuneMusic ReadTuneMusic(const Tune& tune) {
  TuneMusic music;
  CTuneReader reader(music);
  size_t at = 0;
  reader.Header(tune.lines, at);
  reader.Body(tune.lines, at);
  reader.Finish();
  return music;
}

}  // namespace importers::abc
