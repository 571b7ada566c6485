#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What a score says of its song in structured comments, which the parser blanks like any
// other: "/*标题: 茉莉花*/" or "/*title: …*/", "/*拍号: 3/4, 弱起 1*/" or
// "/*meter: 3/4, pickup 1*/", and "/*词: …*/" or "/*words: …*/" ("词2", "words2", … for further
// verses). A colon may be full-width. The names are written as here, in lower case, so that a
// credit such as "Words: Robert Burns" stays an ordinary comment, as does any other comment.

constexpr int32_t kMaxVerses = 8;

// A meter such as 2/4: `count` notes of 1/`unit` to the measure. Beats are quarter notes.
struct SongMeter {
  int32_t count = 0;
  int32_t unit = 0;
  double MeasureBeats() const { return count * 4.0 / unit; }
};

// Something in a tag that is not understood: where it stands (bytes into the text given to
// ParseScore) and what is wrong, for the reader. The score loads all the same.
struct SongWarning {
  int32_t offset = 0;
  std::string message;
};

struct MeterTag {
  int32_t offset = 0;  // the comment's "/*"
  SongMeter meter;
  double pickupBeats = 0.0;  // the beats before the first bar line
};

struct WordsTag {
  int32_t offset = 0;  // the comment's "/*"
  int32_t verse = 1;   // from 1
  std::string words;
};

struct SongTags {
  std::string title;  // the first title; empty when there is none
  std::vector<MeterTag> meters;
  std::vector<WordsTag> words;
  std::vector<SongWarning> warnings;
};

// The tags in the comments of `text`, the text as given to ParseScore, in text order.
SongTags ReadSongTags(std::string_view text);
