// `tunwick score`: a take sung by the synthesizer judged against a phrase of a score file, as
// a table and as JSON, with the phrase and transposition chosen; bad arguments and files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "CommandStreams.h"
#include "cli/Commands.h"
#include "history/PracticeStore.h"
#include "history/ScoreIdentity.h"
#include "listening/PhraseTargets.h"
#include "playback/Player.h"
#include "playback/SilentPlatform.h"
#include "tests/capture/SyntheticTakes.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

#ifndef TUNWICK_TEST_SOUNDFONT
#error "TUNWICK_TEST_SOUNDFONT must name the soundfont the set-up installs"
#endif

namespace {

using testsupport::TempFolder;

// Phrase 2: C4 D4 E4 G4 A4 G4 E4 C4 at 600 ms a beat.
const char kScore[] = "s=100,1,1,1,3|1,1,1,2,1,3,0.1,5,0.1,6,1,5,1,3,1,1";
const std::vector<listening::TargetNote> kPhrase2 = {
    {0, 60, 0, 600},     {1, 62, 600, 1200},  {2, 64, 1200, 1800}, {3, 67, 1800, 2100},
    {4, 69, 2100, 2400}, {5, 67, 2400, 3000}, {6, 64, 3000, 3600}, {7, 60, 3600, 4200}};

using Judged = CommandRun;

class ScoreCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder.path().empty());
    score = folder.Write("song.txt", kScore);
  }

  Judged Score(const Arguments& arguments) {
    return RunCaptured(
        [&](const CommandLineStreams& streams) { return RunScoreCommand(arguments, streams); });
  }

  // Phrase 2 sung by the synthesizer's voice, shaped as asked, in a WAV file.
  std::string Take(const std::string& name, const taketest::TakeShape& shape) {
    if (!std::ifstream(TUNWICK_TEST_SOUNDFONT)) return {};
    const std::string path = folder.File(name);
    EXPECT_TRUE(
        taketest::WriteWav(path, taketest::VoiceTake(kPhrase2, shape, TUNWICK_TEST_SOUNDFONT)));
    return path;
  }

  TempFolder folder;
  std::string score;
};

TEST_F(ScoreCommandTest, ATableOfTheNotesAndATotal) {
  const std::string take = Take("take.wav", {{0, 0, 0, 0, 0, 130, 0, 0}});
  if (take.empty()) GTEST_SKIP() << "no soundfont at " << TUNWICK_TEST_SOUNDFONT;
  const Judged run = Score({score, take, "--phrase", "2"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.rfind("Phrase 2 of 2, 8 notes to sing; take " + take + ": 4.7 s, sung ", 0), 0u)
      << run.out;
  EXPECT_NE(run.out.find("  Note  Target  Sung   Cents  Voiced  Verdict\n"), std::string::npos);
  // One row per note: its number, target and sung note, cents, voiced share, verdict.
  const char* rows[] = {"     1  C4      C4 ", "     2  D4      D4 ", "     3  E4      E4 ",
                        "     4  G4      G4 ", "     5  A4      A4 ", "     6  G4      G#4",
                        "     7  E4      E4 ", "     8  C4      C4 "};
  for (const char* row : rows) EXPECT_NE(run.out.find(row), std::string::npos) << row << run.out;
  EXPECT_NE(run.out.find("%  missed\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Total: 7 of 8 notes hit (88%): passed\n"), std::string::npos) << run.out;
}

TEST_F(ScoreCommandTest, JsonForOtherPrograms) {
  const std::string take = Take("take.wav", {{}, 12, 150});
  if (take.empty()) GTEST_SKIP() << "no soundfont at " << TUNWICK_TEST_SOUNDFONT;
  const Judged run = Score({score, take, "--json", "--phrase=2"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  const std::string& json = run.out;
  EXPECT_EQ(json.rfind("{\"score\": \"" + score + "\", \"take\": \"" + take +
                           "\", \"phrase\": 2, \"phrases\": 2, \"transpose\": 0,",
                       0),
            0u)
      << json;
  EXPECT_NE(json.find("\"nothingHeard\": false"), std::string::npos) << json;
  EXPECT_NE(json.find("{\"note\": 1, \"startMs\": 0, \"endMs\": 600, \"target\": \"C4\", "
                      "\"targetKey\": 60, \"sung\": \"C5\", \"sungMidiCents\": "),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"hits\": 8, \"judged\": 8, \"passed\": true}\n"), std::string::npos)
      << json;
  // Sung an octave up and late: every note still a hit, the lateness found.
  EXPECT_EQ(json.find("\"verdict\": \"missed\""), std::string::npos) << json;
  const size_t offset = json.find("\"offsetMs\": ");
  ASSERT_NE(offset, std::string::npos);
  const int offsetMs = std::stoi(json.substr(offset + 12));
  EXPECT_GE(offsetMs, 150);
  EXPECT_LE(offsetMs, 180);
}

TEST_F(ScoreCommandTest, TheTranspositionTheTakeWasSungAt) {
  const std::string take = Take("raised.wav", {{}, 3});
  if (take.empty()) GTEST_SKIP() << "no soundfont at " << TUNWICK_TEST_SOUNDFONT;
  const struct {
    const char* transpose;
    const char* heading;
    const char* total;
  } cases[] = {
      {"3", "Phrase 2 of 2, raised 3 semitones, 8 notes", "Total: 8 of 8 notes hit (100%): passed"},
      {"+3", "raised 3 semitones", "Total: 8 of 8 notes hit"},
      // Three semitones off: whatever the alignment makes of it, no pass.
      {"0", "Phrase 2 of 2, 8 notes", ": not passed (80% passes)"},
      {"-9", "lowered 9 semitones", "Total: 8 of 8 notes hit"},  // an octave less 3 lower
      {"-1", "lowered 1 semitone,", ": not passed (80% passes)"},
  };
  for (const auto& c : cases) {
    const Judged run = Score({score, take, "--phrase", "2", "--transpose", c.transpose});
    EXPECT_EQ(run.status, kExitOk) << c.transpose << run.err;
    EXPECT_NE(run.out.find(c.heading), std::string::npos) << c.transpose << "\n" << run.out;
    EXPECT_NE(run.out.find(c.total), std::string::npos) << c.transpose << "\n" << run.out;
  }
}

// A silent take (a muted or unplugged microphone) is no try: not judged, never kept.
TEST_F(ScoreCommandTest, SilenceIsNothingHeardAndNoTry) {
  const testsupport::EnvOverride dataHome("XDG_DATA_HOME", folder.File("data"));
  const std::string take = folder.File("silence.wav");
  ASSERT_TRUE(taketest::WriteWav(take, std::vector<float>(taketest::kRate * 5, 0.0f)));
  Judged run = Score({score, take, "--phrase", "2"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(run.out.find("Silence: no sound reached the take, so it is not judged."),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("not sung"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("0 of 8"), std::string::npos) << run.out;

  run = Score({score, take, "--phrase", "2", "--record"});
  EXPECT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(run.err.find("too quiet to judge: not kept"), std::string::npos) << run.err;
  EXPECT_EQ(testsupport::ReadFileBytes(folder.File("data/tunwick/history.sqlite")), "<missing>");

  run = Score({score, take, "--json"});
  EXPECT_NE(run.out.find("\"nothingHeard\": true"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"sung\": null, \"sungMidiCents\": null, \"cents\": null"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\"hits\": 0, \"judged\": 2, \"passed\": false}"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\"level\": \"silent\""), std::string::npos) << run.out;
}

TEST_F(ScoreCommandTest, BadArgumentsAndFiles) {
  const std::string take = folder.File("silence.wav");
  ASSERT_TRUE(taketest::WriteWav(take, std::vector<float>(taketest::kRate, 0.0f)));
  const std::string bad = folder.Write("bad.txt", "s=100,1,9");
  const std::string text = folder.Write("notes.txt", "no sound here");
  const struct {
    Arguments arguments;
    int status;
    std::string err;
  } cases[] = {
      {{}, kExitUsage, "usage: tunwick score FILE TAKE.wav [--phrase N] [--transpose K] [--json]"},
      {{score}, kExitUsage, "usage: tunwick score"},
      {{score, take, "extra"}, kExitUsage, "usage: tunwick score"},
      {{score, take, "--phrase", "0"}, kExitUsage, "--phrase takes a phrase number from 1"},
      {{score, take, "--phrase", "two"}, kExitUsage, "--phrase takes a phrase number from 1"},
      {{score, take, "--phrase", "3"}, kExitUsage, "has 2 phrases; --phrase takes 1 to 2"},
      {{score, take, "--transpose", "49"},
       kExitUsage,
       "--transpose takes semitones from -48 to 48"},
      {{score, take, "--transpose", "+-2"}, kExitUsage, "--transpose takes semitones"},
      {{score, take, "--transpose", ""}, kExitUsage, "--transpose takes semitones"},
      {{score, take, "--transpose"}, kExitUsage, "option '--transpose' needs a value"},
      {{score, take, "--speed", "2"}, kExitUsage, "unknown option '--speed'"},
      {{folder.File("none.txt"), take}, kExitFailure, "cannot open"},
      {{bad, take}, kExitFailure, "error tune"},
      {{score, folder.File("none.wav")}, kExitFailure, "cannot read " + folder.File("none.wav")},
      {{score, text}, kExitFailure, "Format not recognised"},
  };
  for (const auto& c : cases) {
    const Judged run = Score(c.arguments);
    const std::string shown = c.arguments.empty() ? "<none>" : c.arguments.back();
    EXPECT_EQ(run.status, c.status) << shown << ": " << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << shown << ": " << run.err;
    EXPECT_EQ(run.out, "") << shown;
  }
}

TEST_F(ScoreCommandTest, TargetsAreTimedAsThePlayerLaysOutEachPhrase) {
  // Every phrase of the built-in score: the player's events that sound, against the targets.
  CSilentPlatform platform;
  CPlayer player(platform);
  player.LoadBuiltInAtStartup();
  const ::Score& builtIn = player.LoadedScore();
  for (int32_t row = 0; row < builtIn.phraseCount; ++row) {
    player.BuildPhraseTimeline(row);
    const EventTimeline& timeline = player.Timeline();
    std::vector<std::pair<int32_t, int32_t>> sounding;
    for (int32_t i = 0; i < timeline.count; ++i)
      if (timeline.events[i].pitch > 0)
        sounding.emplace_back(timeline.events[i].pitch, timeline.events[i].timeMs);
    const std::vector<listening::TargetNote> targets =
        listening::PhraseTargets(builtIn.phrases[row], 0);
    ASSERT_EQ(targets.size(), sounding.size()) << "phrase " << row;
    for (size_t i = 0; i < targets.size(); ++i) {
      EXPECT_EQ(targets[i].pitch, sounding[i].first) << "phrase " << row << ", note " << i;
      EXPECT_EQ(targets[i].startMs, sounding[i].second) << "phrase " << row << ", note " << i;
    }
    EXPECT_EQ(listening::PhraseLengthMs(builtIn.phrases[row]),
              timeline.events[timeline.count - 1].timeMs)
        << "phrase " << row;
  }
}

}  // namespace

namespace {

// --record keeps the try in the practice history (and only then); a try that cannot be kept
// fails the command rather than passing for kept.
TEST_F(ScoreCommandTest, TheTakesLevelAndTheToleranceInTheTableAndTheJson) {
  if (!std::ifstream(TUNWICK_TEST_SOUNDFONT)) GTEST_SKIP() << "no soundfont";
  const testsupport::EnvOverride dataHome("XDG_DATA_HOME", folder.File("data"));
  // Phrase 2 sung 35 cents flat, at a gain, into a quiet room's noise (-65 dBFS RMS).
  taketest::TakeShape flat;
  flat.centsPerNote.assign(kPhrase2.size(), -35.0);
  const std::vector<float> voice = taketest::VoiceTake(kPhrase2, flat, TUNWICK_TEST_SOUNDFONT);
  const float peak = *std::max_element(
      voice.begin(), voice.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); });
  const std::vector<float> noise = taketest::Noise(voice.size() / double(taketest::kRate), 5.6e-4);
  auto take = [&](const std::string& name, double peakDb) {
    std::vector<float> heard(voice.size());
    const double gain = std::pow(10.0, peakDb / 20.0) / std::fabs(peak);
    for (size_t i = 0; i < voice.size(); ++i)
      heard[i] = std::clamp(static_cast<float>(voice[i] * gain) + noise[i], -1.0f, 1.0f);
    const std::string path = folder.File(name);
    EXPECT_TRUE(taketest::WriteWav(path, heard));
    return path;
  };
  const std::string good = take("good.wav", -6.0), quiet = take("quiet.wav", -58.0),
                    hot = take("hot.wav", 10.0);
  const struct {
    const char* name;
    Arguments arguments;
    std::vector<std::string> shown;
    std::vector<std::string> absent;
  } cases[] = {
      {"normal",
       {score, good, "--phrase", "2"},
       {"Total: 8 of 8 notes hit (100%): passed\n"},
       {"Judged ", "Too quiet", "Overloaded"}},
      {"normal, JSON",
       {score, good, "--phrase", "2", "--json"},
       {"\"nothingHeard\": false,\n \"tolerance\": \"normal\", \"toleranceCents\": 50, "
        "\"level\": \"good\", \"peakDb\": -6.0, \"noiseFloorDb\": -6",
        "\"clippedSamples\": 0,\n \"notes\": [", "\"hits\": 8, \"judged\": 8, \"passed\": true}"},
       {}},
      {"strict",
       {score, good, "--phrase", "2", "--tolerance", "strict"},
       {"Judged strict: a hit is within 25 cents of its note.\n",
        "Total: 0 of 8 notes hit (0%): not passed"},
       {}},
      {"strict, JSON",
       {score, good, "--phrase", "2", "--json", "--tolerance", "strict"},
       {"\"tolerance\": \"strict\", \"toleranceCents\": 25,", "\"verdict\": \"missed\""},
       {"\"verdict\": \"hit\""}},
      {"easy",
       {score, good, "--phrase", "2", "--tolerance=easy"},
       {"Judged easy: a hit is within 100 cents of its note.\n", "Total: 8 of 8 notes hit"},
       {}},
      // 58 dB down the voice is lost in the room: one verdict and what to do, no row of notes.
      {"too quiet",
       {score, quiet, "--phrase", "2"},
       {"Too quiet: the take peaked at -5",
        "Sing closer to the microphone or raise the input "
        "volume.\n"},
       {"not sung", "Nothing heard", "Total:"}},
      {"too quiet, JSON",
       {score, quiet, "--phrase", "2", "--json"},
       {"\"nothingHeard\": true,", "\"level\": \"too quiet\", \"peakDb\": -5",
        "\"hits\": 0, \"judged\": 8, \"passed\": false}"},
       {}},
      // 10 dB too hot: clipped, said, and judged all the same.
      {"overloaded",
       {score, hot, "--phrase", "2"},
       {"Total: 8 of 8 notes hit (100%): passed\n", "Overloaded: ",
        " reached full scale and were clipped; the notes are judged all the same. Sing further "
        "from the microphone or lower the input volume.\n"},
       {"Too quiet"}},
      {"overloaded, JSON",
       {score, hot, "--phrase", "2", "--json"},
       {"\"level\": \"overloaded\", \"peakDb\": 0.0,"},
       {"\"clippedSamples\": 0,"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Judged run = Score(c.arguments);
    EXPECT_EQ(run.status, kExitOk) << run.err;
    for (const std::string& text : c.shown)
      EXPECT_NE(run.out.find(text), std::string::npos) << text << "\n" << run.out;
    for (const std::string& text : c.absent)
      EXPECT_EQ(run.out.find(text), std::string::npos) << text << "\n" << run.out;
  }

  // Kept with the tolerance it was judged with; a take too quiet to judge is not kept.
  const std::string database = folder.File("data/tunwick/history.sqlite");
  EXPECT_EQ(Score({score, good, "--phrase", "2", "--tolerance", "easy", "--record"}).status,
            kExitOk);
  const Judged quietRun = Score({score, quiet, "--phrase", "2", "--record"});
  EXPECT_EQ(quietRun.status, kExitOk);
  EXPECT_NE(quietRun.err.find("too quiet to judge: not kept"), std::string::npos) << quietRun.err;
  history::CPracticeStore store(database);
  const std::vector<history::TryRecord> tries = store.TriesOf(history::ScoreHash(kScore));
  ASSERT_EQ(tries.size(), 1u);
  EXPECT_EQ(tries[0].toleranceCents, 100.0);
  EXPECT_EQ(tries[0].judgement.hits, 8);

  const Judged wrong = Score({score, good, "--tolerance", "lenient"});
  EXPECT_EQ(wrong.status, kExitUsage);
  EXPECT_EQ(wrong.err.substr(0, wrong.err.find('\n')),
            "tunwick: --tolerance takes strict, normal or easy (a hit within 25, 50 or 100 "
            "cents), not 'lenient'");
}

TEST_F(ScoreCommandTest, RecordKeepsTheTryInThePracticeHistory) {
  const std::string take = Take("take.wav", {{0, 0, 0, 0, 0, 130, 0, 0}});
  if (take.empty()) GTEST_SKIP() << "no soundfont at " << TUNWICK_TEST_SOUNDFONT;
  const testsupport::EnvOverride dataHome("XDG_DATA_HOME", folder.File("data"));
  const std::string database = folder.File("data/tunwick/history.sqlite");

  ASSERT_EQ(Score({score, take, "--phrase", "2"}).status, kExitOk);
  EXPECT_EQ(testsupport::ReadFileBytes(database), "<missing>") << "kept only when asked";

  const Judged run = Score({score, take, "--phrase", "2", "--transpose", "0", "--record"});
  ASSERT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.err, "");
  history::CPracticeStore store(database);
  const std::vector<history::TryRecord> tries = store.TriesOf(history::ScoreHash(kScore));
  ASSERT_EQ(tries.size(), 1u);
  EXPECT_EQ(tries[0].phrase, 1);
  EXPECT_EQ(tries[0].phraseText, "1,1,1,2,1,3,0.1,5,0.1,6,1,5,1,3,1,1");
  EXPECT_EQ(tries[0].source, "score");
  EXPECT_EQ(tries[0].scoreFile, score);
  EXPECT_EQ(tries[0].takeMs, 4700);
  EXPECT_EQ(tries[0].judgement.hits, 7);
  EXPECT_TRUE(tries[0].passed);
  ASSERT_EQ(tries[0].judgement.notes.size(), kPhrase2.size());
  EXPECT_EQ(tries[0].judgement.notes[5].verdict, listening::Verdict::kMissed);
  EXPECT_EQ(tries[0].judgement.notes[5].target.pitch, 67);

  // A data folder that cannot be made: the verdict is shown, the failure said and returned.
  const testsupport::EnvOverride blocked("XDG_DATA_HOME", folder.Write("blocked", "a file"));
  const Judged failed = Score({score, take, "--phrase", "2", "--record"});
  EXPECT_EQ(failed.status, kExitFailure);
  EXPECT_NE(failed.out.find("Total: 7 of 8 notes hit"), std::string::npos);
  EXPECT_NE(failed.err.find("tunwick: this try was not kept in the practice history"),
            std::string::npos)
      << failed.err;
}

// At a practice tempo the targets stretch with the phrase: a take sung at half the tempo
// passes there and not at the written tempo, and the tempo is kept with the try.
TEST_F(ScoreCommandTest, APracticeTempoStretchesTheTargetsAndIsKeptWithTheTry) {
  if (!std::ifstream(TUNWICK_TEST_SOUNDFONT))
    GTEST_SKIP() << "no soundfont at " << TUNWICK_TEST_SOUNDFONT;
  std::vector<listening::TargetNote> slow = kPhrase2;
  for (listening::TargetNote& target : slow) {
    target.startMs *= 2;
    target.endMs *= 2;
  }
  const std::string take = folder.File("slow.wav");
  ASSERT_TRUE(taketest::WriteWav(take, taketest::VoiceTake(slow, {}, TUNWICK_TEST_SOUNDFONT)));
  const testsupport::EnvOverride dataHome("XDG_DATA_HOME", folder.File("data"));

  const Judged atHalf = Score({score, take, "--phrase", "2", "--tempo", "50", "--record"});
  ASSERT_EQ(atHalf.status, kExitOk) << atHalf.err;
  EXPECT_NE(atHalf.out.find("Total: 8 of 8 notes hit"), std::string::npos) << atHalf.out;
  const Judged written = Score({score, take, "--phrase", "2"});
  EXPECT_EQ(written.out.find("Total: 8 of 8 notes hit"), std::string::npos) << written.out;

  history::CPracticeStore store(folder.File("data/tunwick/history.sqlite"));
  const std::vector<history::TryRecord> tries = store.TriesOf(history::ScoreHash(kScore));
  ASSERT_EQ(tries.size(), 1u);
  EXPECT_EQ(tries[0].tempoPercent, 50);
  EXPECT_EQ(tries[0].judgement.notes.back().target.endMs, 8400);

  for (const char* wrong : {"24", "201", "half"}) {
    const Judged refused = Score({score, take, "--tempo", wrong});
    EXPECT_EQ(refused.status, kExitUsage) << wrong;
    EXPECT_NE(refused.err.find("--tempo takes a share of the written tempo from 25 to 200"),
              std::string::npos)
        << refused.err;
  }
}

}  // namespace
