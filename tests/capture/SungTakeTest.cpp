// Takes made here, tracked from WAV files and judged against a parsed phrase: the
// synthesizer's Voice Oohs with notes bent by known cents, an octave up, late, a semitone
// off; a sine with vibrato; silence and noise.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "capture/TakeFile.h"
#include "listening/PhraseTargets.h"
#include "listening/TakeJudge.h"
#include "notation/Score.h"
#include "tests/capture/SyntheticTakes.h"
#include "tests/support/TempFolder.h"

#ifndef TUNWICK_TEST_SOUNDFONT
#error "TUNWICK_TEST_SOUNDFONT must name the soundfont the set-up installs"
#endif

namespace {

using testsupport::TempFolder;

using listening::TakeJudgement;
using listening::TargetNote;
using listening::Verdict;

// C4 D4 E4 G4 A4 G4 E4 C4 at 600 ms a beat: crotchets, two quavers in the middle.
const char kPhrase[] = "s=100,1,1,1,2,1,3,0.1,5,0.1,6,1,5,1,3,1,1";

constexpr Verdict kHit = Verdict::kHit;
constexpr Verdict kMissed = Verdict::kMissed;

class SungTakeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!std::ifstream(TUNWICK_TEST_SOUNDFONT)) return;
    auto score = std::make_unique<Score>();
    ParseScore(kPhrase, static_cast<int32_t>(sizeof kPhrase - 1), *score);
    targets_ = listening::PhraseTargets(score->phrases[0], 0);
    // The preset's own tuning, note by note, measured on a held note apart from the tracker.
    for (const TargetNote& target : targets_) {
      if (tuning_.count(target.pitch) != 0) continue;
      const std::vector<float> note =
          taketest::VoiceNote(target.pitch, 0.0, 1.0, TUNWICK_TEST_SOUNDFONT);
      tuning_[target.pitch] =
          taketest::ReferenceMidiCents(note, 0.3, 0.5, 100.0 * target.pitch) - 100.0 * target.pitch;
    }
  }

  void SetUp() override {
    if (!std::ifstream(TUNWICK_TEST_SOUNDFONT))
      GTEST_SKIP() << "no soundfont at " << TUNWICK_TEST_SOUNDFONT;
  }

  // Writes the take to a WAV file, reads it back and judges it.
  TakeJudgement Judge(const std::vector<float>& take) {
    const std::string path = folder_.File("take.wav");
    EXPECT_TRUE(taketest::WriteWav(path, take));
    const capture::TakeFileResult read = capture::TrackTakeFile(path);
    EXPECT_TRUE(read.ok) << read.error;
    return listening::JudgeTake(targets_, read.track);
  }

  static std::vector<TargetNote> targets_;
  static std::map<int32_t, double> tuning_;
  TempFolder folder_;
};

std::vector<TargetNote> SungTakeTest::targets_;
std::map<int32_t, double> SungTakeTest::tuning_;

TEST_F(SungTakeTest, TheVoicePresetIsInTune) {
  ASSERT_EQ(targets_.size(), 8u);
  for (const auto& [pitch, cents] : tuning_) EXPECT_LE(std::fabs(cents), 10.0) << "key " << pitch;
}

TEST_F(SungTakeTest, VoiceTakesScoreNoteByNote) {
  // The voice speaks a little after its note-on and rings on past the next: the plain take
  // lines up some 15 ms late, and the others are measured from it.
  const TakeJudgement plain = Judge(taketest::VoiceTake(targets_, {}, TUNWICK_TEST_SOUNDFONT));
  EXPECT_GE(plain.offsetMs, 0);
  EXPECT_LE(plain.offsetMs, 30);
  const std::vector<Verdict> allHit(8, kHit);
  const struct {
    const char* name;
    taketest::TakeShape shape;
    int semitoneOffNote;  // -1: none
    std::vector<Verdict> verdicts;
    std::vector<double> cents;  // sung against the target, less the preset's tuning
  } cases[] = {
      {"plain", {}, -1, allHit, {0, 0, 0, 0, 0, 0, 0, 0}},
      {"bent by 30 and by 150 cents",
       {{0, 30, 0, 0, 0, 150, 0, 0}},
       -1,
       {kHit, kHit, kHit, kHit, kHit, kMissed, kHit, kHit},
       {0, 30, 0, 0, 0, 150, 0, 0}},
      {"bent flat by 40 and by 70 cents",
       {{-40, 0, 0, -70, 0, 0, 0, 0}},
       -1,
       {kHit, kHit, kHit, kMissed, kHit, kHit, kHit, kHit},
       {-40, 0, 0, -70, 0, 0, 0, 0}},
      {"an octave up", {{}, 12}, -1, allHit, {0, 0, 0, 0, 0, 0, 0, 0}},
      {"150 ms late", {{}, 0, 150}, -1, allHit, {0, 0, 0, 0, 0, 0, 0, 0}},
      {"an octave up and 150 ms late", {{}, 12, 150}, -1, allHit, {0, 0, 0, 0, 0, 0, 0, 0}},
      {"one note a semitone off",
       {},
       2,
       {kHit, kHit, kMissed, kHit, kHit, kHit, kHit, kHit},
       {0, 0, 100, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    std::vector<TargetNote> sung = targets_;
    if (c.semitoneOffNote >= 0) sung[c.semitoneOffNote].pitch += 1;
    const TakeJudgement judged = Judge(taketest::VoiceTake(sung, c.shape, TUNWICK_TEST_SOUNDFONT));
    ASSERT_EQ(judged.Judged(), 8) << c.name;
    EXPECT_FALSE(judged.nothingHeard) << c.name;
    EXPECT_NEAR(judged.offsetMs, plain.offsetMs + c.shape.lateMs, 10) << c.name;
    for (size_t i = 0; i < judged.notes.size(); ++i) {
      const listening::NoteJudgement& note = judged.notes[i];
      const double expected = c.cents[i] + tuning_[note.target.pitch];
      EXPECT_EQ(note.verdict, c.verdicts[i]) << c.name << ", note " << i << ": " << note.cents;
      // Within a few cents: the ring of the note before, bent or not, is heard into a quaver.
      EXPECT_NEAR(note.cents, expected, 8.0) << c.name << ", note " << i;
      // The octave really sung.
      EXPECT_NEAR(note.sungMidiCents, 100.0 * (note.target.pitch + c.shape.semitones) + expected,
                  8.0)
          << c.name << ", note " << i;
    }
  }
}

TEST_F(SungTakeTest, ASineWithVibratoHitsEveryNote) {
  taketest::TakeShape shape;
  shape.vibratoCents = 30.0;
  const TakeJudgement judged = Judge(taketest::SineTake(targets_, shape));
  EXPECT_EQ(judged.hits, 8);
  EXPECT_NEAR(judged.offsetMs, 0, 15);
  // A vibrato's median over 180 to 360 ms lies within half its depth of its centre.
  for (const listening::NoteJudgement& note : judged.notes) EXPECT_LE(std::fabs(note.cents), 15.0);
}

TEST_F(SungTakeTest, SilenceAndNoiseAreNothingHeard) {
  const double seconds = targets_.back().endMs / 1000.0 + 0.5;
  const struct {
    const char* name;
    std::vector<float> take;
  } cases[] = {
      {"silence", std::vector<float>(static_cast<size_t>(seconds * taketest::kRate), 0.0f)},
      {"loud noise", taketest::Noise(seconds, 0.3, 11)},
      {"quiet noise", taketest::Noise(seconds, 0.01, 12)},
  };
  for (const auto& c : cases) {
    const TakeJudgement judged = Judge(c.take);
    EXPECT_TRUE(judged.nothingHeard) << c.name;
    EXPECT_EQ(judged.hits, 0) << c.name;
    for (const listening::NoteJudgement& note : judged.notes)
      EXPECT_EQ(note.verdict, Verdict::kNotSung) << c.name;
  }
}

}  // namespace
