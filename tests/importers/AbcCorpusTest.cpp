#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "importers/ImporterTable.h"
#include "tests/importers/ImportedScore.h"
#include "tests/importers/SmfNotes.h"
#include "tests/support/TempFolder.h"

// Real folk tunes from a public collection (data/README.md), imported and heard note for note
// in beats against the MIDI file that abc2midi, an independent reader of ABC, makes of them.

namespace {

bool HaveAbc2midi() { return std::system("command -v abc2midi >/dev/null 2>&1") == 0; }

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The melody abc2midi plays: the first track with notes, its first channel, chords to their
// top note.
std::vector<importtest::HeardNote> Abc2midiMelody(const std::string& abcPath, int tune) {
  testsupport::TempFolder folder;
  const std::string mid = folder.File("tune.mid");
  const std::string command = "abc2midi '" + abcPath + "' " + std::to_string(tune) +
                              " -NFER -NGRA -o '" + mid + "' >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  importtest::SmfFile file;
  EXPECT_TRUE(importtest::ReadSmf(FileBytes(mid), file));
  std::vector<importtest::HeardNote> melody;
  for (const std::vector<importtest::SmfNote>& track : file.tracks) {
    if (track.empty()) continue;
    const int channel = track[0].channel;
    for (const importtest::SmfNote& note : track) {
      if (note.channel != channel) continue;
      const importtest::HeardNote heard{double(note.start) / file.division,
                                        double(note.end - note.start) / file.division, note.key};
      // abc2midi sounds a chord's notes a few ticks apart, lowest first.
      if (!melody.empty() && std::fabs(melody.back().beat - heard.beat) < 0.05) {
        if (heard.key > melody.back().key)
          melody.back() = {melody.back().beat, heard.beats, heard.key};
        continue;
      }
      melody.push_back(heard);
    }
    break;
  }
  return melody;
}

class AbcCorpusTest : public ::testing::TestWithParam<int> {};

TEST_P(AbcCorpusTest, MatchesAbc2midiNoteForNote) {
  if (!HaveAbc2midi()) GTEST_SKIP() << "abc2midi is not installed (apt-get install abcmidi)";
  const std::string path = std::string(TUNWICK_IMPORT_DATA_DIR) + "/nottingham-xmas.abc";
  importers::ImportOptions options;
  options.tune = GetParam();
  const importers::WrittenScore written = importers::ImportFile(path, options);
  const std::vector<importtest::HeardNote> ours = importtest::VoiceNotes(written.text);
  const std::vector<importtest::HeardNote> theirs = Abc2midiMelody(path, GetParam());
  ASSERT_EQ(ours.size(), theirs.size()) << written.text;
  // abc2midi starts its notes a tick late and ends them a little early: a hundredth of a beat
  // at the start, a tenth at the end.
  for (size_t i = 0; i < ours.size(); ++i) {
    EXPECT_NEAR(ours[i].beat, theirs[i].beat, 0.01) << "note " << i;
    EXPECT_NEAR(ours[i].beats, theirs[i].beats, 0.1) << "note " << i;
    EXPECT_EQ(ours[i].key, theirs[i].key) << "note " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(NottinghamXmas, AbcCorpusTest, ::testing::Values(1, 4, 5));

}  // namespace
