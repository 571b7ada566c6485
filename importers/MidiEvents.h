#pragma once

#include <string>
#include <vector>

#include "importers/ImportedSong.h"

// The MIDI reader's own pieces: what a Standard MIDI File holds, as read from its bytes
// (notes paired, times in the file's ticks), and the words found in its text events.

namespace importers::midi {

// Bounds that keep any file's reading small.
constexpr size_t kMaxNotes = 200000;
constexpr size_t kMaxParts = 64;         // tracks and channels with notes
constexpr double kMaxNoteBeats = 256.0;  // a longer note (a stuck one) is cut short
constexpr long long kMaxBeats = 100000;  // an event later than this ends its track's reading

struct MidiNote {
  long long tick = 0;
  long long length = 0;
  int key = 0;
  int channel = 0;  // 0-based: 9 is the drums
  int track = 0;
};

// A text, lyric or track-name event's bytes, in the file's own encoding.
struct MidiText {
  long long tick = 0;
  int track = 0;
  int type = 0;  // 1 text, 3 track name, 5 lyric
  std::string bytes;
};

struct MidiMeter {
  long long tick = 0;
  int beats = 4;
  int unit = 4;
};

struct MidiValue {
  long long tick = 0;
  int value = 0;  // a tempo's microseconds a quarter, a key's sharps (+) or flats (-)
};

struct MidiFile {
  int ticksPerQuarter = 480;
  int tracks = 0;
  std::vector<MidiNote> notes;  // in order of onset
  std::vector<MidiText> texts;  // in time order
  std::vector<MidiValue> tempos, keys;
  std::vector<MidiMeter> meters;
  std::vector<std::string> notices;  // what was cut short or left unread
};

// The file's events. Throws ImportError when the bytes are no MIDI file; a damaged track is
// read as far as it can be, with a notice.
MidiFile ParseMidiFile(const std::string& bytes);

// One syllable of the words, at the tick of its event; `lineStart` when a line of the words
// begins with it.
struct MidiSyllable {
  long long tick = 0;
  int track = 0;
  Syllable syllable;
  bool lineStart = false;
};

// The song's words from its lyric events, else from karaoke text events ("/" and "\" begin a
// line, "@" a header), read as UTF-8, else GBK, else Latin-1. `title` gains a karaoke "@T"
// title, else the first track's name.
std::vector<MidiSyllable> MidiWords(const MidiFile& file, std::string& title);
// Each track's name (its first), in the encoding of the file's texts; "" where it has none.
std::vector<std::string> TrackNames(const MidiFile& file);

}  // namespace importers::midi
