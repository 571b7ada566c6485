#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "importers/NoteTokens.h"
#include "importers/ScoreWriter.h"
#include "notation/NoteValues.h"
#include "notation/Score.h"
#include "tests/importers/ImportedScore.h"

// The writer from an imported song to score text: every key spelt in every do= key, every
// length on the grid, and the limits of a score kept with what is lost reported.

namespace {

using importers::ImportedNote;
using importers::ImportedSong;

// A song of one part whose voices hold `voices` copies of the same notes.
ImportedSong SongOf(const std::vector<ImportedNote>& notes, int voices = 1) {
  ImportedSong song;
  song.parts.emplace_back();
  for (int v = 0; v < voices; ++v) song.parts[0].voices.push_back({notes});
  return song;
}

TEST(ScoreWriterTest, EveryKeyIsSpeltInEveryDoKey) {
  for (int fifths = -7; fifths <= 7; ++fifths) {
    for (int key = 24; key <= 108; ++key) {
      const std::string text =
          "do=" + importers::KeyName(fifths) + ",s=100,1," + importers::DegreeToken(key, fifths);
      const auto score = std::make_unique<Score>();
      ParseScore(text.data(), static_cast<int32_t>(text.size()), *score);
      ASSERT_EQ(score->phrases[0].pitches[0], key) << text;
    }
  }
}

TEST(ScoreWriterTest, EveryLengthOnTheGridIsWrittenExactly) {
  // Each multiple of a sixteenth or a twelfth of a beat up to twelve beats, in a few tokens.
  for (long ticks = 1; ticks <= 12 * importers::kTicksPerBeat; ++ticks) {
    if (ticks % 3 != 0 && ticks % 4 != 0) continue;
    const std::vector<std::string> tokens = importers::LengthTokens(ticks);
    ASSERT_FALSE(tokens.empty()) << ticks;
    EXPECT_LE(tokens.size(), 4u) << ticks;
    double beats = 0.0;
    for (const std::string& token : tokens)
      beats += DurationBeats({token.data(), static_cast<int32_t>(token.size())});
    EXPECT_NEAR(beats, ticks / 48.0, 1e-9) << ticks;
  }
  EXPECT_EQ(importers::LengthTokens(32), std::vector<std::string>{"3"});
  EXPECT_EQ(importers::LengthTokens(5 * 48), std::vector<std::string>{"10000"});
  EXPECT_EQ(importers::LengthTokens(72), std::vector<std::string>{"1.1"});
}

TEST(ScoreWriterTest, OffGridNotesSnapAndAreReported) {
  // A quintuplet: five notes in one beat.
  std::vector<ImportedNote> notes;
  for (int i = 0; i < 5; ++i) notes.push_back({i * 0.2, 0.2, 60 + i, 1, {}});
  notes.push_back({1.0, 1.0, 72, 2, {}});
  const importers::WrittenScore written = importers::WriteScoreText(SongOf(notes), {});
  const std::vector<importtest::HeardNote> heard = importtest::VoiceNotes(written.text);
  ASSERT_FALSE(heard.empty());
  EXPECT_NEAR(heard.back().beat, 1.0, 1e-9);
  EXPECT_EQ(heard.back().key, 72);
  ASSERT_FALSE(written.losses.empty());
  EXPECT_EQ(written.losses[0].bar, 1);
}

TEST(ScoreWriterTest, WhereSixteenthsAndTripletsMeetEveryVoiceStillFillsItsPhrase) {
  // Boundaries a tick or two apart on the two grids: pieces that no length token writes.
  const double starts[] = {0, 1.0 / 16, 1.0 / 12, 0.25, 1.0 / 3, 7.0 / 16, 0.5, 1.5};
  std::vector<ImportedNote> notes;
  for (size_t i = 0; i + 1 < std::size(starts); ++i)
    notes.push_back({starts[i], starts[i + 1] - starts[i], 60 + int(i), 1, {}});
  ImportedSong song = SongOf(notes);
  song.parts[0].voices.push_back({{{0, 1.5, 48, 1, {}}}});
  song.parts[0].phraseStarts = {1.0 / 12 + 1.0 / 48};
  const importers::WrittenScore written = importers::WriteScoreText(song, {});
  EXPECT_NO_THROW(importtest::VoiceNotes(written.text)) << written.text;
  EXPECT_EQ(importtest::VoiceNotes(written.text).back().key, 66) << written.text;
}

TEST(ScoreWriterTest, VoicesBeyondTheLimitAreLeftOut) {
  const importers::WrittenScore written =
      importers::WriteScoreText(SongOf({{0, 1, 60, 1, {}}}, kMaxVoices + 3), {});
  EXPECT_EQ(written.voices, kMaxVoices);
  EXPECT_EQ(importtest::VoiceCount(written.text), kMaxVoices);
  ASSERT_FALSE(written.losses.empty());
}

TEST(ScoreWriterTest, PhrasesBeyondTheLimitAreLeftOutWithTheirBar) {
  std::vector<ImportedNote> notes;
  ImportedSong song;
  song.parts.emplace_back();
  song.parts[0].voices.emplace_back();
  for (int i = 0; i < kMaxPhrases + 5; ++i) {
    song.parts[0].voices[0].notes.push_back({double(i), 1.0, 60, i + 1, {}});
    song.bars.push_back({double(i), i + 1});
  }
  importers::ImportOptions everyBar;
  everyBar.phraseBars = 1;
  const importers::WrittenScore written = importers::WriteScoreText(song, everyBar);
  EXPECT_EQ(written.phrases, kMaxPhrases);
  ASSERT_EQ(written.losses.size(), 1u);
  EXPECT_EQ(written.losses[0].bar, kMaxPhrases + 1);
  EXPECT_EQ(importtest::VoiceNotes(written.text).size(), static_cast<size_t>(kMaxPhrases));
}

TEST(ScoreWriterTest, TheTextStaysUnderTheFileLimit) {
  std::vector<ImportedNote> notes;
  for (int i = 0; i < 8000; ++i) notes.push_back({i * 0.25, 0.25, 60 + i % 24, 1 + i / 16, {}});
  ImportedSong song = SongOf(notes, 2);
  for (int bar = 0; bar < 500; ++bar) song.bars.push_back({bar * 4.0, bar + 1});
  const importers::WrittenScore written = importers::WriteScoreText(song, {});
  EXPECT_LE(written.text.size(), 29999u);
  EXPECT_EQ(written.voices, 1);
  EXPECT_GE(written.losses.size(), 2u);  // the second voice, then the end of the song
  EXPECT_NO_THROW(importtest::VoiceNotes(written.text));
}

TEST(ScoreWriterTest, AMelodyPhraseOfTooManyNumbersIsSplit) {
  std::vector<ImportedNote> notes;
  for (int i = 0; i < 6000; ++i) notes.push_back({i * 1.0, 1.0, 60 + i % 12, 1, {}});
  ImportedSong song = SongOf(notes);
  song.parts[0].phraseStarts = {6000.0};  // one phrase, as one long line of music
  const importers::WrittenScore written = importers::WriteScoreText(song, {});
  EXPECT_GE(written.phrases, 2);
  const std::vector<importtest::HeardNote> heard = importtest::VoiceNotes(written.text);
  ASSERT_FALSE(heard.empty());
  for (size_t i = 0; i < heard.size(); ++i) ASSERT_EQ(heard[i].key, 60 + int(i % 12)) << i;
}

TEST(ScoreWriterTest, AMelodyNoteHeldOverAPhraseBreakMovesTheBreak) {
  ImportedNote held{0, 3, 60, 1, {{"Long", true, false}}};
  ImportedNote next{3, 1, 62, 2, {{"er", false, false}}};
  ImportedSong song = SongOf({held, next});
  song.parts[0].voices.push_back({{{0, 4, 48, 1, {}}}});
  song.parts[0].phraseStarts = {2.0};
  const importers::WrittenScore written = importers::WriteScoreText(song, {});
  EXPECT_NE(written.text.find("/*words: Long-*/100,1 &"), std::string::npos) << written.text;
  EXPECT_NE(written.text.find("/*words: er*/1,2 &"), std::string::npos) << written.text;
  // The second voice's note over the moved break sounds again, and says so.
  ASSERT_EQ(written.losses.size(), 1u);
  EXPECT_EQ(written.losses[0].bar, 1);
  EXPECT_EQ(importtest::VoiceNotes(written.text, 1).size(), 2u);
}

}  // namespace

namespace {

// Whatever a source's title and words hold, the comments they go into neither end early nor
// end the text: a zero byte, other control characters and "*/" are made harmless.
TEST(ScoreWriterTest, ControlCharactersInTitleAndWordsStayInsideTheirComments) {
  ImportedSong song = SongOf({{0.0, 1.0, 60, 1, {{std::string("la\0\x01*/", 5), false, false}}}});
  song.title = std::string("A\0B\x7F*/C", 7);
  const importers::WrittenScore written = importers::WriteScoreText(song, {});
  EXPECT_EQ(written.text.find('\0'), std::string::npos);
  EXPECT_NE(written.text.find("/*title: A B * /C*/"), std::string::npos) << written.text;
  const auto score = std::make_unique<Score>();
  ParseScore(written.text.data(), static_cast<int32_t>(written.text.size()), *score);
  EXPECT_EQ(score->phraseCount, 1);
}

}  // namespace
