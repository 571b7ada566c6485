#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "importers/AbcReader.h"
#include "importers/ScoreWriter.h"
#include "tests/importers/ImportedScore.h"

// Hand-made ABC tunes, each showing one rule of the format, imported, written as score text,
// parsed as any score is, and heard in beats and MIDI keys.

namespace {

using importtest::HeardNote;

struct AbcCase {
  const char* name;
  const char* abc;
  std::vector<HeardNote> melody;  // beat, beats, key of each sounding note of the first voice
};

const AbcCase kCases[] = {
    {"Triplet",
     "X:1\nL:1/8\nK:C\n(3CDE F2|\n",
     {{0, 1.0 / 3, 60}, {1.0 / 3, 1.0 / 3, 62}, {2.0 / 3, 1.0 / 3, 64}, {1, 1, 65}}},
    {"DupletInCompoundMeter",
     "X:1\nM:6/8\nL:1/8\nK:C\n(2CD E|\n",
     {{0, 0.75, 60}, {0.75, 0.75, 62}, {1.5, 0.5, 64}}},
    {"TupletWithCountOfNotes",
     "X:1\nL:1/8\nK:C\n(3:2:4C2DE F2|\n",
     {{0, 2.0 / 3, 60}, {2.0 / 3, 1.0 / 3, 62}, {1, 1.0 / 3, 64}, {4.0 / 3, 2.0 / 3, 65}}},
    {"TieOverBarLine", "X:1\nL:1/4\nK:C\nC2-|C2 D2|\n", {{0, 4, 60}, {4, 2, 62}}},
    {"TieOverLineBreak",
     "X:1\nL:1/4\nK:C\nE2 C2-|\nC2 D2|\n",
     {{0, 2, 64}, {2, 4, 60}, {6, 2, 62}}},
    {"BrokenRhythm",
     "X:1\nL:1/8\nK:C\nC>D E<F G>>A|\n",
     {{0, 0.75, 60},
      {0.75, 0.25, 62},
      {1, 0.25, 64},
      {1.25, 0.75, 65},
      {2, 0.875, 67},
      {2.875, 0.125, 69}}},
    {"AccidentalCarriesThroughTheBar",
     "X:1\nL:1/4\nK:C\n^F F f|F|\n",
     {{0, 1, 66}, {1, 1, 66}, {2, 1, 77}, {3, 1, 65}}},
    {"OctavesAndLengths",
     "X:1\nL:1/8\nK:C\nC, c c' C,,3/2 C/ C// C/4 z C3|\n",
     {{0, 0.5, 48},
      {0.5, 0.5, 72},
      {1, 0.5, 84},
      {1.5, 0.75, 36},
      {2.25, 0.25, 60},
      {2.5, 0.125, 60},
      {2.625, 0.125, 60},
      {3.25, 1.5, 60}}},
    {"MinorKey", "X:1\nL:1/4\nK:Em\nF G B e|\n", {{0, 1, 66}, {1, 1, 67}, {2, 1, 71}, {3, 1, 76}}},
    {"DorianMode", "X:1\nL:1/4\nK:D dorian\nF c B|\n", {{0, 1, 65}, {1, 1, 72}, {2, 1, 71}}},
    {"MixolydianMode", "X:1\nL:1/4\nK:Amix\nF G c|\n", {{0, 1, 66}, {1, 1, 67}, {2, 1, 73}}},
    {"ExplicitAccidentalsInKey", "X:1\nL:1/4\nK:D =c\nF c|\n", {{0, 1, 66}, {1, 1, 72}}},
    {"FlatKey", "X:1\nL:1/4\nK:Bb\nB E =B|\n", {{0, 1, 70}, {1, 1, 63}, {2, 1, 71}}},
    {"KeyChangeInline", "X:1\nL:1/4\nK:C\nF [K:G] F|\nF|\n", {{0, 1, 65}, {1, 1, 66}, {2, 1, 66}}},
    {"KeyChangeOnItsOwnLine",
     "X:1\nL:1/4\nK:C\nF2|\nK:Eb\nE A|\n",
     {{0, 2, 65}, {2, 1, 63}, {3, 1, 68}}},
    {"UnitLengthChangeInline", "X:1\nL:1/8\nK:C\nC [L:1/4] D|\n", {{0, 0.5, 60}, {0.5, 1, 62}}},
    {"RepeatWithEndings",
     "X:1\nL:1/4\nK:C\n|:C D|[1 E F:|[2 G A||\n",
     {{0, 1, 60},
      {1, 1, 62},
      {2, 1, 64},
      {3, 1, 65},
      {4, 1, 60},
      {5, 1, 62},
      {6, 1, 67},
      {7, 1, 69}}},
    {"RepeatFromTheStartWithoutOpening",
     "X:1\nL:1/4\nK:C\nC D:|E|\n",
     {{0, 1, 60}, {1, 1, 62}, {2, 1, 60}, {3, 1, 62}, {4, 1, 64}}},
    {"TwoRepeatsInARow",
     "X:1\nL:1/4\nK:C\n|:C:|:D:|\n",
     {{0, 1, 60}, {1, 1, 60}, {2, 1, 62}, {3, 1, 62}}},
    {"EndingAfterBarNumber",
     "X:1\nL:1/4\nK:C\n|:C|1 D:|2 E|]\n",
     {{0, 1, 60}, {1, 1, 62}, {2, 1, 60}, {3, 1, 64}}},
    {"PartsInTheOrderOfTheHeader",
     "X:1\nP:A2B\nL:1/4\nK:C\nP:A\nC D|\nP:B\nE|\n",
     {{0, 1, 60}, {1, 1, 62}, {2, 1, 60}, {3, 1, 62}, {4, 1, 64}}},
    {"PartGroupsRepeated",
     "X:1\nP:(BA)2\nL:1/4\nK:C\nG|\nP:A\nC|\nP:B\nE|\n",
     {{0, 1, 67}, {1, 1, 64}, {2, 1, 60}, {3, 1, 64}, {4, 1, 60}}},
    {"RestsAndWholeBarRests", "X:1\nM:2/4\nL:1/8\nK:C\nz2 C2|Z2|D4|\n", {{1, 1, 60}, {6, 2, 62}}},
    {"ChordTopNoteIsTheMelody", "X:1\nL:1/4\nK:C\n[CEG]2 [FA]|\n", {{0, 2, 67}, {2, 1, 69}}},
    {"GraceNotesLeftOut", "X:1\nL:1/4\nK:C\n{cd}C D|\n", {{0, 1, 60}, {1, 1, 62}}},
    {"DecorationsAndChordNamesIgnored",
     "X:1\nL:1/4\nK:C\n\"Am\"!trill!~C .D +fermata+E|\n",
     {{0, 1, 60}, {1, 1, 62}, {2, 1, 64}}},
};

class AbcEdgeCaseTest : public ::testing::TestWithParam<AbcCase> {};

TEST_P(AbcEdgeCaseTest, IsHeardAsWritten) {
  const AbcCase& c = GetParam();
  const std::string text = importtest::TextOfAbc(c.abc);
  const std::vector<HeardNote> heard = importtest::VoiceNotes(text);
  ASSERT_EQ(heard.size(), c.melody.size()) << text;
  for (size_t i = 0; i < heard.size(); ++i) {
    EXPECT_NEAR(heard[i].beat, c.melody[i].beat, 1e-6) << "note " << i << "\n" << text;
    EXPECT_NEAR(heard[i].beats, c.melody[i].beats, 1e-6) << "note " << i << "\n" << text;
    EXPECT_EQ(heard[i].key, c.melody[i].key) << "note " << i << "\n" << text;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, AbcEdgeCaseTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<AbcCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
