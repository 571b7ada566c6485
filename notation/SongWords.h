#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "notation/Score.h"
#include "notation/SongTags.h"

// A score's song: its title, meter and pickup, and the words of each phrase laid on the
// sounding notes of its first voice (rests and the zero-length notes of a chord take none).

// What one note sings in one verse: a syllable, the syllable before held over it, or nothing.
struct Syllable {
  std::string text;   // as shown, e.g. "Twin-"; empty when held or without one
  bool held = false;  // the syllable before goes on over this note
  bool Sung() const { return !text.empty(); }
};

struct PhraseWords {
  // One entry per note of the first voice, each with one Syllable per verse of the song.
  std::vector<std::vector<Syllable>> notes;
  std::optional<SongMeter> meter;  // a meter that starts with this phrase
};

struct Song {
  std::string title;
  std::optional<SongMeter> meter;  // the first one
  double pickupBeats = 0.0;
  int32_t verseCount = 0;            // verses with words in some phrase
  std::vector<PhraseWords> phrases;  // one per phrase of the Score
  std::vector<SongWarning> warnings;

  // Note `note` of phrase `row` in verse `verse` (from 0); null when it has none.
  const Syllable* SyllableAt(int32_t row, int32_t note, int32_t verse) const;
};

// The song of `text` (as given to ParseScore), laid on `score`, parsed from that text.
Song ReadSong(std::string_view text, const Score& score);

// A phrase's words in verse `verse` (from 0) as one line: words apart, syllables of a word
// and Chinese characters together.
std::string PhraseWordsLine(const Song& song, int32_t row, int32_t verse);

// For each phrase, the beats from its start at which a measure ends inside it, counted from
// the song's start and its pickup (a meter set in a later phrase starts a measure there). A
// measure ending where the phrase ends is not listed: the phrase's end is drawn anyway.
std::vector<std::vector<double>> MeasureEnds(const Score& score, const Song& song);
