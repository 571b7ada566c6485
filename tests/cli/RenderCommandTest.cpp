// `tunwick render`: the rendered WAV is analysed as a listener would hear it (note onsets and
// pitches, the reference notes of the practice drill, the cue between teaching passes, the
// length), and the command's failures leave no file behind.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "CommandStreams.h"
#include "cli/Commands.h"
#include "playback/Player.h"
#include "playback/SilentPlatform.h"
#include "tests/support/AudioAnalysis.h"
#include "tests/support/TempFolder.h"

#ifndef TUNWICK_TEST_SOUNDFONT
#error "TUNWICK_TEST_SOUNDFONT must name the soundfont the set-up installs"
#endif

namespace {

using testsupport::TempFolder;

using audiotest::kRate;

constexpr double kDetectionSlack = 0.002;    // the onset detector's 1 ms steps, either way
constexpr double kHalfBlock = 32.0 / kRate;  // notes start on the synthesizer's nearest block

// The built-in score's first phrase on its own: C D E F G A B C' at 0.3 s steps, 2.7 s long.
const char kFirstPhrase[] = "s=100,0.1,1,0.1,2,0.1,3,0.1,4,0.1,5,0.1,6,0.1,7,1,10";
const int kFirstPhraseNotes[] = {60, 62, 64, 65, 67, 69, 71, 72};

// A pass lasts until the tick after the one that reaches its end marker.
int64_t PassMs(int64_t endMs) {
  const int64_t ticks = std::max<int64_t>(1, (endMs + 9) / 10);
  return (ticks + 1) * 10;
}

struct Rendered : CommandRun {
  audiotest::Sound sound;
};

class RenderCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::ifstream(TUNWICK_TEST_SOUNDFONT))
      GTEST_SKIP() << "no soundfont at " << TUNWICK_TEST_SOUNDFONT;
    ASSERT_FALSE(folder.path().empty());
  }

  Rendered Render(const std::string& score, Arguments options,
                  const std::string& soundfont = TUNWICK_TEST_SOUNDFONT) {
    const std::string in = folder.Write("score.txt", score);
    Arguments arguments{in, folder.File("out.wav")};
    arguments.insert(arguments.end(), options.begin(), options.end());
    Rendered rendered;
    static_cast<CommandRun&>(rendered) = RunCaptured([&](const CommandLineStreams& streams) {
      return RunRenderCommand(arguments, streams, RenderMachine{soundfont});
    });
    audiotest::ReadSound(folder.File("out.wav"), rendered.sound);
    return rendered;
  }

  // How long after its note-on a lone note of scale degree 1..7 (or 10) is heard: the sample
  // of each key starts with a few milliseconds of its own. A lone note is sent on the first
  // tick, 10 ms in.
  double SampleDelay(int index) {
    const char* degrees[] = {"", "1", "2", "3", "4", "5", "6", "7", "10"};
    TempFolder alone;
    const std::string in = alone.Write("n.txt", std::string("s=100,0.1,") + degrees[index]);
    CapturedStreams captured;
    EXPECT_EQ(RunRenderCommand({in, alone.File("n.wav")}, captured.streams(),
                               RenderMachine{TUNWICK_TEST_SOUNDFONT}),
              kExitOk);
    audiotest::Sound sound;
    EXPECT_TRUE(audiotest::ReadSound(alone.File("n.wav"), sound));
    const std::vector<double> onsets = audiotest::Onsets(sound.mono);
    return onsets.empty() ? 0 : onsets[0];
  }

  // The cue sound the render mixes in, as a mono signal.
  static std::vector<float> CueSamples() {
    audiotest::Sound cue;
    EXPECT_TRUE(audiotest::ReadSound(TUNWICK_TEST_LUMO, cue));
    EXPECT_EQ(cue.rate, kRate);
    return cue.mono;
  }

  TempFolder folder;
};

TEST_F(RenderCommandTest, BuiltInScoreSoundsEachNoteOnTimeAndInTune) {
  const Rendered r = Render(kBuiltInScore, {});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.sound.rate, 44100);
  EXPECT_EQ(r.sound.channels, 2);
  EXPECT_EQ(r.sound.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);

  const std::vector<double> onsets = audiotest::Onsets(r.sound.mono);
  ASSERT_GE(onsets.size(), 8u);
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE("note " + std::to_string(i));
    // Heard at its exact time (to the synthesizer's 64-frame block), after the silence the
    // soundfont's own sample starts with.
    const double due = 0.3 * i;
    const double heard = onsets[i] - SampleDelay(i + 1);
    EXPECT_NEAR(heard, due, kDetectionSlack + kHalfBlock);
    const double expected = audiotest::MidiFrequency(kFirstPhraseNotes[i]);
    EXPECT_NEAR(audiotest::PitchOfNewNote(r.sound.mono, onsets[i]), expected, 0.01 * expected);
  }
}

// The built-in score's end as the player lays it out, whole and phrase by phrase.
struct BuiltInEnds {
  int64_t score = 0;
  std::vector<int64_t> phrases;
};
BuiltInEnds LayOutBuiltIn() {
  CSilentPlatform silent;
  CPlayer player(silent);
  {
    CPlayer::CBuildOnlyScope quietly(player);
    player.LoadAndPlay(kBuiltInScore);
  }
  BuiltInEnds ends;
  ends.score = player.Timeline().events[player.Timeline().count - 1].timeMs;
  for (int row = 0; row < player.LoadedScore().phraseCount; ++row) {
    player.BuildPhraseTimeline(row);
    ends.phrases.push_back(player.Timeline().events[player.Timeline().count - 1].timeMs);
  }
  return ends;
}

// Practice at half the tempo: every note of the phrase comes at twice its time, at the same
// pitch, and the render lasts twice as long (to the tick that ends the pass).
TEST_F(RenderCommandTest, HalfTheTempoIsTwiceAsLongWithTheSamePitches) {
  const Rendered written = Render(kFirstPhrase, {});
  const Rendered slow = Render(kFirstPhrase, {"--tempo", "50"});
  ASSERT_EQ(written.status, kExitOk) << written.err;
  ASSERT_EQ(slow.status, kExitOk) << slow.err;
  EXPECT_NEAR(written.sound.frames * 1000.0 / kRate, static_cast<double>(PassMs(2700)), 1.0);
  EXPECT_NEAR(slow.sound.frames * 1000.0 / kRate, static_cast<double>(PassMs(5400)), 1.0);

  const std::vector<double> onsets = audiotest::Onsets(slow.sound.mono);
  ASSERT_GE(onsets.size(), 8u);
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE("note " + std::to_string(i));
    EXPECT_NEAR(onsets[i] - SampleDelay(i + 1), 0.6 * i, kDetectionSlack + kHalfBlock);
    const double expected = audiotest::MidiFrequency(kFirstPhraseNotes[i]);
    EXPECT_NEAR(audiotest::PitchOfNewNote(slow.sound.mono, onsets[i]), expected, 0.01 * expected);
  }
}

TEST_F(RenderCommandTest, NotesOffTheTickGridSoundAtTheirExactMillisecond) {
  // 333 ms a beat: every note but the first falls between two 10 ms ticks.
  const Rendered r = Render("s=180,1,1,1,1,1,1,1,1,1,1,1,1", {});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  // Each note found to the sample by its own attack, under the notes still sounding.
  const std::vector<float> attack = audiotest::RenderAttack(TUNWICK_TEST_SOUNDFONT, {60});
  ASSERT_FALSE(attack.empty());
  const audiotest::AttackSearch search(r.sound.mono);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE("note " + std::to_string(i));
    const int64_t due = static_cast<int64_t>(i) * 333 * kRate / 1000;
    double fit = 0;
    const int64_t start =
        search.Find(attack, std::max<int64_t>(0, due - 441), due + 441, 0.5, false, fit);
    ASSERT_GE(start, 0);
    // The synthesizer starts notes on its 64-frame blocks, the nearest one to the due frame.
    EXPECT_NEAR((start - due) * 1000.0 / kRate, 0.0, 1.0);
  }
}

TEST_F(RenderCommandTest, LengthIsThePassesWaitsAndCues) {
  const BuiltInEnds ends = LayOutBuiltIn();
  const int64_t scoreEnd = ends.score;
  const std::vector<int64_t>& phraseEnds = ends.phrases;
  ASSERT_EQ(phraseEnds.size(), 4u);
  const int64_t cueMs = static_cast<int64_t>(CueSamples().size()) * 1000 / kRate;

  int64_t teaching = 0, practice = 0;
  for (int64_t end : phraseEnds) {
    teaching += 2 * PassMs(end) + cueMs;
    practice += 24 * PassMs(end) + 12 * (2000 + cueMs);
  }
  struct Case {
    Arguments options;
    int64_t expectedMs;
    int cues;
  };
  const Case cases[] = {
      {{}, PassMs(scoreEnd), 0},
      {{"--repeat", "3"}, 3 * PassMs(scoreEnd) + 2 * 500, 0},
      {{"--mode", "teaching"}, teaching, 4},
      {{"--mode", "practice"}, practice, 48},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options.empty() ? "all" : c.options[1]);
    const Rendered r = Render(kBuiltInScore, c.options);
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const double ms = r.sound.frames * 1000.0 / kRate;
    // Each cue may end within a millisecond; the clock counts whole ones.
    EXPECT_NEAR(ms, static_cast<double>(c.expectedMs), 1.0 + c.cues);
  }
}

TEST_F(RenderCommandTest, PracticeSoundsRisingReferenceNotesEachFollowedByTwoSeconds) {
  const Rendered r = Render(kFirstPhrase, {"--mode", "practice"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  const std::vector<double> onsets = audiotest::Onsets(r.sound.mono);

  // A reference note is the onset the two-second wait follows; nothing else waits that long.
  std::vector<double> references;
  std::vector<double> gaps;
  for (size_t i = 0; i + 1 < onsets.size(); ++i) {
    if (onsets[i + 1] - onsets[i] >= 1.9) {
      references.push_back(onsets[i]);
      gaps.push_back(onsets[i + 1] - onsets[i]);
    }
  }
  ASSERT_EQ(references.size(), 12u);
  EXPECT_LT(references[0], 0.020);
  for (int k = 0; k < 12; ++k) {
    SCOPED_TRACE("reference " + std::to_string(k));
    const double expected = audiotest::MidiFrequency(60 + k);
    EXPECT_NEAR(audiotest::PitchOfNewNote(r.sound.mono, references[k]), expected, 0.01 * expected);
    // The pass's first note sounds exactly where the wait ends (the same key as the
    // reference, so the same sample delay).
    EXPECT_NEAR(gaps[k], 2.0, kDetectionSlack + 2 * kHalfBlock);
  }
}

TEST_F(RenderCommandTest, TeachingPlaysTheCueBetweenTheTwoPasses) {
  const Rendered r = Render(kFirstPhrase, {"--mode", "teaching"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  const std::vector<float> cue = CueSamples();
  const int64_t passFrames = PassMs(2700) * kRate / 1000;
  const int64_t cueFrames = static_cast<int64_t>(cue.size());

  // The cue starts where the first pass ends, and the piano's fading note barely disturbs it;
  // the pass itself holds no cue.
  EXPECT_GT(audiotest::CorrelationAt(r.sound.mono, passFrames, cue), 0.8);
  EXPECT_LT(std::fabs(audiotest::CorrelationAt(r.sound.mono, 0, cue)), 0.3);

  // The second pass begins exactly where the cue ends.
  const double secondPass = (passFrames + cueFrames) / static_cast<double>(kRate);
  const std::vector<double> onsets = audiotest::Onsets(r.sound.mono);
  std::vector<double> after;
  for (double t : onsets)
    if (t >= secondPass - 0.001) after.push_back(t);
  ASSERT_EQ(after.size(), 8u);
  const double heard = after[0] - SampleDelay(1);
  EXPECT_NEAR(heard, secondPass, kDetectionSlack + kHalfBlock);
  for (int i = 0; i < 8; ++i) {
    const double expected = audiotest::MidiFrequency(kFirstPhraseNotes[i]);
    EXPECT_NEAR(audiotest::PitchOfNewNote(r.sound.mono, after[i]), expected, 0.01 * expected);
  }
}

TEST_F(RenderCommandTest, EveryPhraseOfATeachingRenderHasItsCueBetweenItsPasses) {
  const Rendered r = Render(kBuiltInScore, {"--mode", "teaching"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  const std::vector<float> cue = CueSamples();
  const BuiltInEnds ends = LayOutBuiltIn();
  int64_t phraseStart = 0;
  for (size_t row = 0; row < ends.phrases.size(); ++row) {
    SCOPED_TRACE("phrase " + std::to_string(row + 1));
    const int64_t passFrames = PassMs(ends.phrases[row]) * kRate / 1000;
    const int64_t cueAt = phraseStart + passFrames;
    EXPECT_GT(audiotest::CorrelationAt(r.sound.mono, cueAt, cue), 0.8);
    // Half a cue earlier or later, the cue does not line up: it is there and nowhere near.
    EXPECT_LT(audiotest::CorrelationAt(r.sound.mono, cueAt - 13230, cue), 0.5);
    EXPECT_LT(audiotest::CorrelationAt(r.sound.mono, cueAt + 13230, cue), 0.5);
    phraseStart = cueAt + static_cast<int64_t>(cue.size()) + passFrames;
  }
  EXPECT_EQ(phraseStart, r.sound.frames);
}

TEST_F(RenderCommandTest, FailuresSayWhyAndLeaveTheOldFileAlone) {
  struct Case {
    const char* name;
    std::string score;
    std::string soundfont;
    std::string expectedError;
  };
  const Case cases[] = {
      {"parse error", "1,9", TUNWICK_TEST_SOUNDFONT, "error tune 1111!"},
      {"no phrase", "/* only a comment */", TUNWICK_TEST_SOUNDFONT, "holds no phrase"},
      {"no soundfont", kBuiltInScore, folder.Write("not-a-soundfont.sf2", "RIFF"),
       "cannot start the synthesizer"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    folder.Write("out.wav", "old bytes");
    const Rendered r = Render(c.score, {}, c.soundfont);
    EXPECT_EQ(r.status, kExitFailure);
    EXPECT_NE(r.err.find(c.expectedError), std::string::npos) << r.err;
    EXPECT_EQ(folder.Read("out.wav"), "old bytes");
  }
}

TEST_F(RenderCommandTest, UnwritableOutputIsReported) {
  const std::string in = folder.Write("score.txt", kBuiltInScore);
  CapturedStreams captured;
  const int status = RunRenderCommand({in, folder.File("missing/out.wav")}, captured.streams(),
                                      RenderMachine{TUNWICK_TEST_SOUNDFONT});
  EXPECT_EQ(status, kExitFailure);
  EXPECT_NE(captured.err().find("cannot write " + folder.File("missing/out.wav")),
            std::string::npos)
      << captured.err();
}

TEST_F(RenderCommandTest, UnreadableScoreIsReported) {
  CapturedStreams captured;
  const int status = RunRenderCommand({folder.File("none.txt"), folder.File("out.wav")},
                                      captured.streams(), RenderMachine{TUNWICK_TEST_SOUNDFONT});
  EXPECT_EQ(status, kExitFailure);
  EXPECT_NE(captured.err().find("cannot open"), std::string::npos) << captured.err();
  EXPECT_EQ(folder.Read("out.wav"), "<missing>");
}

// The file's name chooses its format, read back as libsndfile reads it: the same 44.1 kHz
// stereo frames as the WAV, whatever the case of the extension.
TEST_F(RenderCommandTest, TheFileNameChoosesWavFlacOrOggVorbis) {
  const std::string in = folder.Write("score.txt", kFirstPhrase);
  const struct {
    const char* name;
    int type;
  } cases[] = {
      {"out.wav", SF_FORMAT_WAV}, {"out.flac", SF_FORMAT_FLAC}, {"Out.OGG", SF_FORMAT_OGG}};
  sf_count_t wavFrames = -1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CapturedStreams captured;
    ASSERT_EQ(RunRenderCommand({in, folder.File(c.name)}, captured.streams(),
                               RenderMachine{TUNWICK_TEST_SOUNDFONT}),
              kExitOk)
        << captured.err();
    SF_INFO info{};
    SNDFILE* file = sf_open(folder.File(c.name).c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_close(file);
    EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, c.type);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.samplerate, kRate);
    if (wavFrames < 0) wavFrames = info.frames;
    EXPECT_GT(info.frames, kRate * 27 / 10);  // the phrase's 2.7 s
    EXPECT_EQ(info.frames, wavFrames);
  }
}

TEST_F(RenderCommandTest, ANameItCannotWriteIsRefusedWithNothingWritten) {
  const std::string in = folder.Write("score.txt", kBuiltInScore);
  for (const char* name : {"out.mp3", "out", "out.wav.txt"}) {
    SCOPED_TRACE(name);
    CapturedStreams captured;
    EXPECT_EQ(RunRenderCommand({in, folder.File(name)}, captured.streams(),
                               RenderMachine{TUNWICK_TEST_SOUNDFONT}),
              kExitUsage);
    EXPECT_NE(captured.err().find("cannot write " + folder.File(name) +
                                  ": render writes .wav, .flac or .ogg (Ogg Vorbis) files"),
              std::string::npos)
        << captured.err();
    EXPECT_EQ(folder.Read(name), "<missing>");
  }
}

TEST_F(RenderCommandTest, WrongArgumentsAreUsageErrors) {
  const std::string in = folder.Write("score.txt", kBuiltInScore);
  const std::string out = folder.File("out.wav");
  const Arguments cases[] = {
      {in},
      {in, out, "--mode", "repeat"},
      {in, out, "--mode", "teaching", "--repeat", "2"},
      {in, out, "--repeat", "0"},
      {in, out, "--repeat", "two"},
      {in, out, "--speed", "2"},
      {in, out, "--mode"},
      {in, out, "--tempo", "24"},
      {in, out, "--tempo", "201"},
      {in, out, "--tempo", "slow"},
  };
  for (const Arguments& arguments : cases) {
    CapturedStreams captured;
    EXPECT_EQ(RunRenderCommand(arguments, captured.streams()), kExitUsage) << arguments.back();
    EXPECT_NE(captured.err().find("usage"), std::string::npos) << captured.err();
    if (arguments.size() > 2 && arguments[2] == "--tempo") {
      EXPECT_NE(captured.err().find("--tempo takes a share of the written tempo from 25 to 200"),
                std::string::npos)
          << captured.err();
    }
  }
  EXPECT_EQ(folder.Read("out.wav"), "<missing>");
}

}  // namespace
