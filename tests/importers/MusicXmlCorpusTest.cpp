#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "importers/ImporterTable.h"
#include "tests/importers/ImportedScore.h"
#include "tests/importers/SmfNotes.h"
#include "tests/importers/SungWords.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

// Real MusicXML scores from a public corpus (data/README.md), imported and heard note for note
// in beats against the MIDI file MuseScore 3, an independent reader of MusicXML, makes of them,
// with their words in order; and a MIDI file MuseScore exported, imported as its score is.

namespace {

using importtest::HeardNote;

std::string DataFile(const std::string& name) {
  return std::string(TUNWICK_IMPORT_DATA_DIR) + "/" + name;
}

bool HaveMuseScore() { return std::system("command -v mscore3 >/dev/null 2>&1") == 0; }

// The first track with notes of a MIDI file, chords to their top note.
std::vector<HeardNote> FirstTrack(const std::string& midiPath) {
  importtest::SmfFile file;
  EXPECT_TRUE(importtest::ReadSmf(testsupport::ReadFileBytes(midiPath), file)) << midiPath;
  std::vector<HeardNote> melody;
  for (const std::vector<importtest::SmfNote>& track : file.tracks) {
    for (const importtest::SmfNote& note : track) {
      const HeardNote heard{double(note.start) / file.division,
                            double(note.end - note.start) / file.division, note.key};
      if (!melody.empty() && std::fabs(melody.back().beat - heard.beat) < 1e-3) {
        if (heard.key > melody.back().key) melody.back() = heard;
        continue;
      }
      melody.push_back(heard);
    }
    if (!melody.empty()) break;
  }
  return melody;
}

// The melody written for a file, a note the score splits (one longer than the nine beats its
// longest length holds) joined again.
std::vector<HeardNote> ImportedMelody(const std::string& path) {
  importers::ImportOptions options;
  options.melodyOnly = true;
  const std::vector<HeardNote> notes =
      importtest::VoiceNotes(importers::ImportFile(path, options).text);
  std::vector<HeardNote> joined;
  for (const HeardNote& note : notes) {
    if (!joined.empty() && joined.back().key == note.key &&
        std::fabs(joined.back().beat + joined.back().beats - note.beat) < 1e-6 &&
        joined.back().beats + note.beats > 9.0) {
      joined.back().beats += note.beats;
      continue;
    }
    joined.push_back(note);
  }
  return joined;
}

// MuseScore ends each note a tick early: a hundredth of a beat on the length.
void ExpectSameNotes(const std::vector<HeardNote>& ours, const std::vector<HeardNote>& theirs) {
  ASSERT_EQ(ours.size(), theirs.size());
  for (size_t i = 0; i < ours.size(); ++i) {
    EXPECT_NEAR(ours[i].beat, theirs[i].beat, 1e-3) << "note " << i;
    EXPECT_NEAR(ours[i].beats, theirs[i].beats, 0.01) << "note " << i;
    EXPECT_EQ(ours[i].key, theirs[i].key) << "note " << i;
  }
}

class MusicXmlCorpusTest : public ::testing::TestWithParam<const char*> {};

TEST_P(MusicXmlCorpusTest, MatchesMuseScoreNoteForNote) {
  if (!HaveMuseScore()) GTEST_SKIP() << "MuseScore 3 is not installed (apt-get install musescore3)";
  testsupport::TempFolder folder;
  const std::string mid = folder.File("score.mid");
  const std::string command = "QT_QPA_PLATFORM=offscreen mscore3 -o '" + mid + "' '" +
                              DataFile(GetParam()) + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  ExpectSameNotes(ImportedMelody(DataFile(GetParam())), FirstTrack(mid));
}

INSTANTIATE_TEST_SUITE_P(PublicScores, MusicXmlCorpusTest,
                         ::testing::Values("bwv10.7.mxl", "foster-jeanie.musicxml"),
                         [](const auto& info) {
                           return std::string(info.param).substr(0, 3) == "bwv" ? "BachChorale"
                                                                                : "FosterLeadSheet";
                         });

TEST(MusicXmlCorpusWordsTest, AreSungInOrder) {
  const struct {
    const char* file;
    const char* words;
  } cases[] = {
      // The soprano's words; a melisma of "Heilands" and the last word's hold have no syllable.
      {"bwv10.7.mxl",
       "Meine Seel\xE2\x80\x99 erhebt den Herren; und mein Geist freut sich Gottes, meines "
       "Heilands. denn er hat sein\xE2\x80\x99 elend\xE2\x80\x99 Magd angesehen, "
       "Sieh\xE2\x80\x99, von nun an werden mich selig preisen all\xE2\x80\x99"},
      // The first verse on the first pass of the repeat, the second on the second, as the
      // encoder typed them.
      {"foster-jeanie.musicxml",
       "I dream of Jeannie with the light brown hair Borne like a vapor on the summer air I see "
       "her tripping where the bright streams play Happy as the daisies that dance on her way "
       "Many were the wild notes her merry voice would pour, Many were the blithe birds that "
       "warbled them o'er I dream of Jeannie with the light brown hair Floating like a vapor on "
       "the soft summer air I long for Jeannie with the day dawn smile Radiating gladness warm "
       "with winning guile I hear her mel;odies like joys gone by Sighing round my heart o'er "
       "the fond hopes that die. Sighing like the night wind and sobbing like the rain Waiting "
       "for the lost one that comes not again I long for Jeannie and my heart bows low Never "
       "more to find her where the bright waters flow."},
  };
  for (const auto& c : cases) {
    const importers::WrittenScore written = importers::ImportFile(DataFile(c.file), {});
    EXPECT_EQ(importtest::SungWords(written.text), c.words) << c.file;
  }
}

TEST(MidiCorpusTest, AFileMuseScoreExportedIsHeardAsItsScore) {
  const std::vector<HeardNote> fromMidi = ImportedMelody(DataFile("bwv10.7-musescore.mid"));
  const std::vector<HeardNote> fromScore = ImportedMelody(DataFile("bwv10.7.mxl"));
  ASSERT_EQ(fromMidi.size(), fromScore.size());
  for (size_t i = 0; i < fromMidi.size(); ++i) {
    EXPECT_NEAR(fromMidi[i].beat, fromScore[i].beat, 1e-6) << "note " << i;
    EXPECT_NEAR(fromMidi[i].beats, fromScore[i].beats, 1e-6) << "note " << i;
    EXPECT_EQ(fromMidi[i].key, fromScore[i].key) << "note " << i;
  }
  // All four voices of the chorale come along.
  EXPECT_EQ(
      importtest::VoiceCount(importers::ImportFile(DataFile("bwv10.7-musescore.mid"), {}).text), 4);
}

}  // namespace
