#include <gtest/gtest.h>

#include <string>

#include "importers/AbcReader.h"
#include "importers/ScoreWriter.h"
#include "tests/importers/ImportedScore.h"

// What an ABC tune carries besides its notes: title, meter and pickup, tempo, words and
// verses, voices, the tune chosen, and the files that are refused.

namespace {

using importers::ImportError;
using importers::ImportOptions;
using importtest::TextOfAbc;

bool Holds(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(AbcSongTest, TitleMeterPickupAndTempoGoToTheirComments) {
  const std::string text = TextOfAbc(
      "X:1\nT:Ye Banks */ And Braes\nT:Second title\nM:3/4\nL:1/8\nQ:3/8=60\nK:G\n"
      "D2|G4 G2|A6|\n");
  EXPECT_TRUE(Holds(text, "/*title: Ye Banks * / And Braes*/\n")) << text;
  EXPECT_TRUE(Holds(text, "/*meter: 3/4, pickup 1*/\n")) << text;
  EXPECT_TRUE(Holds(text, "do=G,s=90,")) << text;
  EXPECT_EQ(importtest::VoiceNotes(text).at(1).beat, 1.0);
}

TEST(AbcSongTest, NoPickupWhenTheFirstBarIsFull) {
  const std::string text = TextOfAbc("X:1\nM:2/4\nL:1/4\nK:C\nC D|E F|\n");
  EXPECT_TRUE(Holds(text, "/*meter: 2/4*/\n")) << text;
  // A meter set in the body before the first note is the song's.
  const std::string jig = TextOfAbc("X:1\nM:4/4\nL:1/8\nK:C\nM:6/8\nC|E2G c2G|\n");
  EXPECT_TRUE(Holds(jig, "/*meter: 6/8, pickup 0.5*/\n")) << jig;
}

TEST(AbcSongTest, WordsFollowTheSoundingNotesOfEachLine) {
  const std::string text = TextOfAbc(
      "X:1\nL:1/4\nK:C\nC C G G|A A G2|\nw: Twin-kle twin-kle lit-tle star\n"
      "F F E E|D D z C2|\nw: how I won-der *\nw: up a-bove the_ world so\n");
  EXPECT_TRUE(Holds(text, "/*words: Twin-kle twin-kle lit-tle star*/")) << text;
  EXPECT_TRUE(Holds(text, "/*words: how I won-der*/")) << text;
  EXPECT_TRUE(Holds(text, "/*words2: up a-bove the _ world so*/")) << text;
}

TEST(AbcSongTest, WordMarksHoldSkipJoinAndJumpToTheNextBar) {
  const std::string text =
      TextOfAbc("X:1\nL:1/4\nK:C\nC D E F G G|A B|\nw: of~the A-men_ * | night\n");
  // "of the" under one note keeps its space as a no-break space; '|' leaves the rest of the
  // first bar without words.
  EXPECT_TRUE(Holds(text, "/*words: of\xC2\xA0the A-men _ * * night*/")) << text;
}

TEST(AbcSongTest, TiedNotesTakeOneSyllable) {
  const std::string text = TextOfAbc("X:1\nL:1/4\nK:C\nC2- C D|\nw: long short\n");
  EXPECT_TRUE(Holds(text, "/*words: long short*/")) << text;
}

TEST(AbcSongTest, VoicesBecomeVoicesAndTheMelodyComesFirst) {
  const std::string abc =
      "X:1\nL:1/4\nK:C\nV:1 name=\"Alto\"\nE E|\nV:2 name=\"Soprano\"\nG A|\nw: la la\n";
  const std::string both = TextOfAbc(abc);
  ASSERT_EQ(importtest::VoiceCount(both), 2) << both;
  // The voice with words is the melody, whatever its place in the file.
  EXPECT_EQ(importtest::VoiceNotes(both, 0).at(0).key, 67) << both;
  EXPECT_EQ(importtest::VoiceNotes(both, 1).at(0).key, 64) << both;

  ImportOptions chosen;
  chosen.part = 1;
  EXPECT_EQ(importtest::VoiceNotes(TextOfAbc(abc, chosen), 0).at(0).key, 64);

  ImportOptions alone;
  alone.melodyOnly = true;
  EXPECT_EQ(importtest::VoiceCount(TextOfAbc(abc, alone)), 1);
}

TEST(AbcSongTest, VoicesAreNamedInTheHeaderOrTheBody) {
  const importers::ImportedSong song = importers::ImportAbc(
      "X:1\nV:T nm=\"Tenor\"\nK:C\nV:S name=\"Soprano\"\nc|\nV:T\nC|\nV:B\nC,|\n", {});
  ASSERT_EQ(song.parts.size(), 3u);
  EXPECT_EQ(song.parts[0].name, "Soprano");
  EXPECT_EQ(song.parts[1].name, "Tenor");
  EXPECT_EQ(song.parts[2].name, "B");
}

TEST(AbcSongTest, ChordNotesSoundWithTheirTopNoteUnlessMelodyOnly) {
  const std::string abc = "X:1\nL:1/4\nK:C\n[CEG]2 [FA]|\n";
  EXPECT_TRUE(Holds(TextOfAbc(abc), "0,1,0,3,10,5,0,4,1,6")) << TextOfAbc(abc);
  ImportOptions alone;
  alone.melodyOnly = true;
  EXPECT_TRUE(Holds(TextOfAbc(abc, alone), "10,5,1,6")) << TextOfAbc(abc, alone);
}

TEST(AbcSongTest, EachLineOfMusicIsAPhraseUnlessBarsAreAsked) {
  const std::string abc = "X:1\nM:2/4\nL:1/4\nK:C\nC D|E F|G A|\nB c|d e|\n";
  std::string text = TextOfAbc(abc);
  EXPECT_EQ(std::count(text.begin(), text.end(), '|'), 1) << text;
  ImportOptions everyBar;
  everyBar.phraseBars = 1;
  text = TextOfAbc(abc, everyBar);
  EXPECT_EQ(std::count(text.begin(), text.end(), '|'), 4) << text;
}

TEST(AbcSongTest, TheTuneIsChosenByItsNumber) {
  const std::string abc = "X:1\nT:One\nK:C\nC|\n\nX:7\nT:Seven\nK:C\nD|\n";
  EXPECT_TRUE(Holds(TextOfAbc(abc), "One"));
  ImportOptions seventh;
  seventh.tune = 7;
  EXPECT_TRUE(Holds(TextOfAbc(abc, seventh), "Seven"));
  seventh.tune = 3;
  EXPECT_THROW(TextOfAbc(abc, seventh), ImportError);
}

TEST(AbcSongTest, WhatIsNotATuneIsRefused) {
  for (const std::string& bytes :
       {std::string("just some words\nof a letter\n"), std::string("MThd\0\0\0\6\0\1", 10),
        std::string("X:1\nT:No key, no music\n"), std::string("X:1\nK:C\n\"Am\"|\n")})
    EXPECT_THROW(TextOfAbc(bytes), ImportError) << bytes;
}

TEST(AbcSongTest, LossesAreReportedWithTheirBar) {
  const importers::ImportedSong song =
      importers::ImportAbc("X:1\nM:2/4\nL:1/4\nK:C\nC D|{g}E F|(99999G A|\n", {});
  ASSERT_EQ(song.losses.size(), 2u);
  EXPECT_EQ(song.losses[0].bar, 2);
  EXPECT_EQ(song.losses[1].bar, 3);
}

TEST(AbcSongTest, ExpansionAndTupletsStayBounded) {
  // Ten thousand repeated bars and an absurd tuplet are read within the limits.
  std::string abc = "X:1\nL:1/16\nK:C\n";
  for (int i = 0; i < 10000; ++i) abc += "|:C:|";
  abc += "(64:1:64" + std::string(64, 'D') + "\n";
  const importers::WrittenScore written =
      importers::WriteScoreText(importers::ImportAbc(abc, {}), {});
  EXPECT_LE(written.text.size(), 29999u);
  EXPECT_GT(written.phrases, 1);
  EXPECT_FALSE(written.losses.empty());
  EXPECT_NO_THROW(importtest::VoiceNotes(written.text));
}

TEST(AbcSongTest, ALineOfEndlessRestsIsCut) {
  std::string abc = "X:1\nM:4/4\nK:C\nC4|";
  for (int i = 0; i < 300; ++i) abc += "Z1000|";
  const importers::ImportedSong song = importers::ImportAbc(abc + "\n", {});
  ASSERT_FALSE(song.losses.empty());
  EXPECT_NE(song.losses.back().what.find("left out from here on"), std::string::npos);
  EXPECT_LE(song.parts[0].voices[0].notes.size(), 200001u);
}

}  // namespace
