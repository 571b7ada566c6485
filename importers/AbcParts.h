#pragma once

#include <set>
#include <string>
#include <vector>

#include "importers/ImportedSong.h"

// The ABC reader's own pieces, shared by its files: a file cut into tunes, the header fields
// read, and the music of a tune as it stands in the source (in segments between bar lines,
// line starts and field changes) before its repeats are played out.

namespace importers::abc {

// Bounds that keep any file's reading small.
constexpr int kMaxVoices = 64;
constexpr int kMaxTupletNotes = 64;
constexpr double kMaxNoteBeats = 256.0;
constexpr size_t kMaxNotes = 200000;  // in a tune, all voices
constexpr size_t kMaxPlayedSegments = 400000;

struct Tune {
  int number = 0;
  std::vector<std::string> lines;  // comments removed; header first
  int firstLine = 0;               // 1-based line of X: in the file
};

// The text without spaces and tabs at either end.
std::string Trim(const std::string& text);

// The file's text as UTF-8 (from UTF-8, GBK or Latin-1), cut into tunes. Throws ImportError
// when it is not text or holds no tune.
std::vector<Tune> SplitTunes(const std::string& bytes);

// A key signature: the sharps (+) or flats (-) of its major key and each letter's
// alteration in semitones (C D E F G A B), explicit accidentals included.
struct KeySignature {
  int fifths = 0;
  int alter[7] = {0, 0, 0, 0, 0, 0, 0};
};
// Reads a K: value ("G", "Edor", "F# minor", "D =c", "none"); false when it is not one.
bool ParseKey(const std::string& value, KeySignature& key);
// Reads an M: value ("6/8", "C", "C|", "2+3/8", "none"): false when it is not one. `beats` is
// 0 for none.
bool ParseMeter(const std::string& value, int& beats, int& unit);
// An L: value ("1/8") in beats; 0 when it is not one.
double ParseUnit(const std::string& value);
// A Q: value in quarter notes a minute ("1/4=120", "3/8=60", "120" in units); 0 when none.
double ParseTempo(const std::string& value, double unitBeats);
// The unit length the standard gives a meter when no L: does (a sixteenth under 3/4).
double DefaultUnit(int beats, int unit);

struct SourceNote {
  double offset = 0.0;  // beats from its segment's start
  double length = 0.0;
  int key = kRestKey;
  int bar = 1;
  std::vector<Syllable> verses;
};

struct Segment {
  std::vector<SourceNote> notes;
  double length = 0.0;
  bool lineStart = false;
  bool barStart = false;
  bool repeatStart = false;
  bool repeatEnd = false;
  std::set<int> endings;  // played only on these passes; empty: every pass
  int bar = 1;            // the source bar it begins
  int fifths = 0;
  double tempo = 0.0;  // 0: none given
  char part = 0;       // the part (body P:) it belongs to; 0: before any
};

struct VoiceMusic {
  std::string id;
  std::string name;
  std::vector<Segment> segments;
};

struct TuneMusic {
  std::string title;
  std::string partOrder;  // the header's P: field ("AAB", "(AB)2C"); "": as written
  int meterBeats = 0;
  int meterUnit = 0;
  std::vector<VoiceMusic> voices;
  std::vector<ImportLoss> losses;
};

// The music of a tune, words aligned. Throws ImportError when it has no K: field.
TuneMusic ReadTuneMusic(const Tune& tune);

// One w: line's syllables on the notes they belong to: `slots` are the sounding notes
// (chords as one slot) since the last words, as indexes into `segments`, verse `verse`.
struct NoteRef {
  size_t segment = 0;
  size_t note = 0;
};
void AlignWords(const std::string& words, std::vector<std::vector<NoteRef>>& slots, int verse,
                std::vector<Segment>& segments, std::vector<ImportLoss>& losses);

}  // namespace importers::abc
