#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "importers/AbcParts.h"

// The reader of one ABC tune's music, shared by the file that reads its lines and fields and
// the file that reads its notes, bars and tuplets.

namespace importers::abc {

// A pitch or rest read from the music, with its length, before tuplets and broken rhythm.
struct Written {
  int key = kRestKey;
  double length = 0.0;
  bool tie = false;
};

// One voice as it is read: where its music goes and what it is in the middle of.
struct VoiceState {
  VoiceMusic music;
  KeySignature key;
  double unit = 0.5;
  int meterBeats = 0;
  int meterUnit = 0;
  double tempo = 0.0;
  int bar = 1;
  bool barHasMusic = false;
  std::map<int, int> barAccidentals;  // (letter * 100 + octave) -> alteration
  std::set<int> endings;
  int tupletLeft = 0;
  double tupletFactor = 1.0;
  double brokenNext = 1.0;  // the next event's share after '>' or '<'
  std::vector<NoteRef> lastEvent;
  double lastAdvance = 0.0;
  std::vector<std::pair<NoteRef, int>> ties;  // notes waiting for their tied continuation
  std::vector<std::vector<NoteRef>> wordSlots;
  int versesSinceMusic = 0;
};

// Reads one tune's header and body into its music, voice by voice.
class CTuneReader {
 public:
  explicit CTuneReader(TuneMusic& out) : out_(out) {}

  void Header(const std::vector<std::string>& lines, size_t& at);
  void Body(const std::vector<std::string>& lines, size_t at);
  void Finish();

 private:
  VoiceState& Voice() { return voices_[current_]; }
  Segment& Open() { return Voice().music.segments.back(); }
  void Loss(const std::string& what) { out_.losses.push_back({Voice().bar, what}); }
  void Field(char name, const std::string& value, bool inBody);
  void SelectVoice(const std::string& value);
  // A new segment, unless the open one is still empty (it then takes the flags).
  Segment& NewSegment();
  void MusicLine(const std::string& line, bool continued);
  void BarLine(const std::string& line, size_t& i);
  bool ReadNote(const std::string& line, size_t& i, Written& note);
  double ReadLength(const std::string& line, size_t& i);
  void AddEvent(const std::vector<Written>& notes);
  void Tuplet(const std::string& line, size_t& i);

  TuneMusic& out_;
  VoiceState defaults_;
  std::vector<VoiceState> voices_;
  std::vector<std::string> headerVoices_;  // the header's V: fields
  char part_ = 0;                          // the part the body's P: last named
  size_t current_ = 0;
  size_t noteCount_ = 0;
};

}  // namespace importers::abc
