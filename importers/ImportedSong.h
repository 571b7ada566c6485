#pragma once

#include <stdexcept>
#include <string>
#include <vector>

// A song as an importer reads it from another format, before it is written as score text:
// every time is in beats (quarter notes) from the song's start, as played (repeats already
// expanded), every pitch a MIDI key. Each importer fills one; one writer turns it into text.

namespace importers {

constexpr int kRestKey = -1;

// A note's syllable in one verse. An empty text with `extend` holds the syllable before over
// this note (a melisma); an empty text without it is a note without a syllable.
struct Syllable {
  std::string text;
  bool hyphen = false;  // the word goes on in the next syllable
  bool extend = false;
};

struct ImportedNote {
  double start = 0.0;            // beats from the song's start
  double length = 0.0;           // beats
  int key = kRestKey;            // MIDI key, or kRestKey
  int bar = 0;                   // the bar of the source it stands in, for reports
  std::vector<Syllable> verses;  // verse 1 first; empty: no words
};

// One line of music inside a part. Notes that start together in a voice form a chord.
struct ImportedVoice {
  std::vector<ImportedNote> notes;
};

struct ImportedPart {
  std::string name;
  std::vector<ImportedVoice> voices;
  // Beats where a phrase of this part begins (beside 0); empty: phrases of a few bars.
  std::vector<double> phraseStarts;
};

// Something the notation cannot hold, left out or changed, with the bar it happens in.
struct ImportLoss {
  int bar = 0;
  std::string what;
};

struct BarMark {
  double beat = 0.0;
  int number = 0;
};
struct KeyMark {
  double beat = 0.0;
  int fifths = 0;  // sharps (+) or flats (-) of the signature
};
struct TempoMark {
  double beat = 0.0;
  double quartersPerMinute = 120.0;
};

struct ImportedSong {
  std::string title;
  int meterBeats = 0;  // the meter's numerator; 0: no meter
  int meterUnit = 0;   // its denominator
  double pickupBeats = 0.0;
  std::vector<KeyMark> keys;      // in time order; none: C
  std::vector<TempoMark> tempos;  // in time order; none: 120
  std::vector<BarMark> bars;      // where each bar begins, as played
  std::vector<ImportedPart> parts;
  int melodyPart = 0;  // the importer's choice: the part with words, else the first
  std::vector<ImportLoss> losses;
};

// What the user asked of an import.
struct ImportOptions {
  int tune = 0;  // the tune (ABC X:) to take; 0: the first
  int part = 0;  // the melody part, 1-based; 0: the importer's choice
  bool melodyOnly = false;
  int phraseBars = 0;  // a phrase every N bars; 0: the source's own phrases
};

// A file that cannot be imported: damaged, not of the format its name says, or asking for
// what it does not hold. The message is for the user.
class ImportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One line of `--list`: a tune, part or track.
struct ImportListing {
  std::string label;  // "X:3", "part 2", "track 4"
  std::string name;
  int notes = 0;
  int lowKey = kRestKey;  // the range; kRestKey when there are no notes
  int highKey = kRestKey;
};

}  // namespace importers
