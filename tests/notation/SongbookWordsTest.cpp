// The songbook's songs with their words: each has a title and a meter, says where its words
// come from, and its words fit its notes, a syllable (or a held one) for every note its first
// voice sings, in every verse, with nothing left over.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "notation/SongWords.h"
#include "tests/notation/NotationTestSupport.h"

namespace {

namespace fs = std::filesystem;

// Songs without words, each saying why in its comment.
const char* const kWithoutWords[] = {"jasmine-flower.txt"};

std::string Text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Whether note `note` of `phrase` is one a voice sings: it sounds (not a rest, which lies far
// below every key) and lasts (not a chord's zero-length note).
bool Sung(const Phrase& phrase, int32_t note) {
  return phrase.pitches[note] >= 1 && phrase.pitches[note] <= 127 && phrase.durations[note] > 0.0;
}

TEST(SongbookWordsTest, EverySongHasATitleAMeterAndWordsThatFitItsNotes) {
  std::vector<fs::path> songs;
  for (const fs::directory_entry& entry : fs::directory_iterator(TUNWICK_SONGBOOK_DIR))
    if (entry.path().extension() == ".txt") songs.push_back(entry.path());
  std::sort(songs.begin(), songs.end());
  ASSERT_EQ(songs.size(), 10u);
  for (const fs::path& path : songs) {
    const std::string name = path.filename().string();
    SCOPED_TRACE(name);
    const std::string text = Text(path);
    auto score = std::make_unique<Score>();
    ASSERT_EQ(notation_test::ParseOutcome(text, *score), "");
    const Song song = ReadSong(text, *score);
    for (const SongWarning& warning : song.warnings)
      ADD_FAILURE() << "at byte " << warning.offset << ": " << warning.message;
    EXPECT_FALSE(song.title.empty());
    EXPECT_TRUE(song.meter.has_value());

    const bool withoutWords = std::find(std::begin(kWithoutWords), std::end(kWithoutWords), name) !=
                              std::end(kWithoutWords);
    if (withoutWords) {
      EXPECT_EQ(song.verseCount, 0);
      EXPECT_NE(text.find("Without words: "), std::string::npos) << "the file says why";
      continue;
    }
    EXPECT_NE(text.find("Words"), std::string::npos) << "the file says whose words they are";
    ASSERT_GE(song.verseCount, 1);
    for (int32_t row = 0; row < score->phraseCount; ++row) {
      const Phrase& phrase = score->phrases[row];
      for (int32_t note = 0; note < FirstVoiceNoteCount(phrase); ++note) {
        for (int32_t verse = 0; verse < song.verseCount; ++verse) {
          const Syllable* syllable = song.SyllableAt(row, note, verse);
          EXPECT_EQ(syllable != nullptr, Sung(phrase, note))
              << "phrase " << row + 1 << ", note " << note + 1 << ", verse " << verse + 1;
        }
      }
    }
    // A held syllable goes on from one before it in its phrase.
    for (int32_t row = 0; row < score->phraseCount; ++row)
      for (int32_t verse = 0; verse < song.verseCount; ++verse) {
        const Syllable* first = song.SyllableAt(row, 0, verse);
        EXPECT_TRUE(first == nullptr || !first->held) << "phrase " << row + 1;
      }
  }
}

}  // namespace
