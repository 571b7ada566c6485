// `tunwick progress`: tries kept in the practice history read back as JSON, each with its
// notes; every score summed up; --forget saying how many tries go before they go; and a
// damaged history moved aside with a message rather than failing the command.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CommandStreams.h"
#include "cli/Commands.h"
#include "history/PracticeHistory.h"
#include "history/ScoreIdentity.h"
#include "tests/support/EnvOverride.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

namespace {

using testsupport::EnvOverride;
using testsupport::TempFolder;

const char kSong[] = "s=100,1,1,1,2,1,3|1,5,1,3";

using Ran = CommandRun;

Ran Progress(const Arguments& arguments) {
  return RunCaptured(
      [&](const CommandLineStreams& streams) { return RunProgressCommand(arguments, streams); });
}

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class ProgressCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { song = folder.Write("song.txt", kSong); }

  // A try of `song` stored as the window or `listen` stores it, judged at `when`.
  void Store(const history::WallTime& when, int32_t phrase, const std::string& verdicts,
             int32_t transpose = 0, const std::string& hash = history::ScoreHash(kSong)) {
    history::CPracticeHistory practice(
        history::DefaultHistoryPath(), [when] { return when; },
        [](const std::string& notice) { ADD_FAILURE() << notice; });
    history::TryRecord record;
    record.scoreHash = hash;
    record.scoreFile = hash == history::ScoreHash(kSong) ? song : "";  // another score: typed
    record.phrase = phrase;
    record.phraseText = phrase == 0 ? "s=100,1,1,1,2,1,3" : "1,5,1,3";
    record.transpose = transpose;
    record.takeMs = 2100;
    record.source = "listen";
    for (size_t i = 0; i < verdicts.size(); ++i) {
      listening::NoteJudgement note;
      note.target = {static_cast<int32_t>(i), 60 + 2 * static_cast<int32_t>(i) + transpose,
                     static_cast<int32_t>(i) * 600, static_cast<int32_t>(i + 1) * 600};
      note.verdict = verdicts[i] == 'H'   ? listening::Verdict::kHit
                     : verdicts[i] == 'M' ? listening::Verdict::kMissed
                                          : listening::Verdict::kNotSung;
      if (note.verdict != listening::Verdict::kNotSung) {
        note.cents = verdicts[i] == 'H' ? 12.0 : -130.0;
        note.sungMidiCents = 100.0 * note.target.pitch + note.cents;
        note.voicedShare = 1.0;
        record.judgement.nothingHeard = false;
      }
      record.judgement.hits += note.verdict == listening::Verdict::kHit ? 1 : 0;
      record.judgement.notes.push_back(note);
    }
    record.passed = listening::PassesPhrase(record.judgement);
    EXPECT_TRUE(practice.Record(record));
  }

  TempFolder folder;
  EnvOverride dataHome{"XDG_DATA_HOME", folder.File("data")};
  std::string song;
};

TEST_F(ProgressCommandTest, TriesComeBackAsJsonInTimeOrderWithTheirNotes) {
  // Recorded out of time order, in two time zones, transposed once.
  const struct {
    history::WallTime when;
    int32_t phrase;
    const char* verdicts;
    int32_t transpose;
    const char* head;  // what progress --json gives back
  } tries[] = {
      {{1714586580000, 120},
       1,
       "HM",
       0,
       R"({"when": "2024-05-01T20:03:00+02:00", "phrase": 2, "hits": 1, "notes": 2, "passed": false, "phraseText": "1,5,1,3", "transpose": 0,)"},
      {{1714500000000, -300},
       0,
       "HHH",
       0,
       R"({"when": "2024-04-30T13:00:00-05:00", "phrase": 1, "hits": 3, "notes": 3, "passed": true, "phraseText": "s=100,1,1,1,2,1,3", "transpose": 0,)"},
      {{1714600000000, 0},
       0,
       "HNH",
       -2,
       R"({"when": "2024-05-01T21:46:40+00:00", "phrase": 1, "hits": 2, "notes": 3, "passed": false, "phraseText": "s=100,1,1,1,2,1,3", "transpose": -2,)"},
  };
  for (const auto& t : tries) Store(t.when, t.phrase, t.verdicts, t.transpose);
  Store({1714600001000, 0}, 0, "HHH", 0, history::ScoreHash("another score"));

  const Ran run = Progress({song, "--json"});
  ASSERT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(run.err, "");
  // In time order: the second recorded first.
  const size_t first = run.out.find(tries[1].head);
  const size_t second = run.out.find(tries[0].head);
  const size_t third = run.out.find(tries[2].head);
  ASSERT_NE(first, std::string::npos) << run.out;
  ASSERT_NE(second, std::string::npos) << run.out;
  ASSERT_NE(third, std::string::npos) << run.out;
  EXPECT_LT(first, second);
  EXPECT_LT(second, third);
  EXPECT_EQ(run.out.front(), '[');
  EXPECT_EQ(Count(run.out, "\"when\""), 3) << "the other score's try is not this file's";
  EXPECT_EQ(Count(run.out, "\"verdict\""), 8);
  EXPECT_NE(run.out.find(R"("range": null, "toleranceCents": 50.0, "takeMs": 2100)"),
            std::string::npos);
  EXPECT_NE(run.out.find("\"file\": \"" + song + "\""), std::string::npos);
  // Each note: its target, what was sung and the verdict; nothing sung is null.
  EXPECT_NE(
      run.out.find(
          R"({"note": 2, "target": "D4", "targetKey": 62, "sung": "C#4", "sungMidiCents": 6070.0, "cents": -130.0, "verdict": "missed"})"),
      std::string::npos)
      << run.out;
  EXPECT_NE(
      run.out.find(
          R"({"note": 2, "target": "C4", "targetKey": 60, "sung": null, "sungMidiCents": null, "cents": null, "verdict": "not sung"})"),
      std::string::npos)
      << "transposed two down: the target as sung";
  EXPECT_NE(
      run.out.find(
          R"({"note": 1, "target": "C4", "targetKey": 60, "sung": "C4", "sungMidiCents": 6012.0, "cents": 12.0, "verdict": "hit"})"),
      std::string::npos);
}

// A score's history belongs to its music: a word, the title or a comment corrected in the file
// keeps its tries; a note changed makes another score.
TEST_F(ProgressCommandTest, ACorrectedWordKeepsTheTriesAChangedNoteDoesNot) {
  const std::string sung = std::string("/*标题: 音阶*/") + kSong + " /*词: 哆来*/";
  song = folder.Write("song.txt", sung);
  Store({1714500000000, 0}, 0, "HHH", 0, history::ScoreHash(sung));
  folder.Write("song.txt", std::string("/*标题: 小音阶*/") + kSong + " /*词: 哆唻*/ /* ok */");
  const Ran run = Progress({song, "--json"});
  ASSERT_EQ(run.status, kExitOk) << run.err;
  EXPECT_EQ(Count(run.out, "\"when\""), 1) << run.out;

  folder.Write("song.txt", std::string(kSong) + ",1,1 /*词: 哆来*/");
  EXPECT_EQ(Count(Progress({song, "--json"}).out, "\"when\""), 0);
}

TEST_F(ProgressCommandTest, EveryScoreWithItsPhrasesTriesBestLastAndDays) {
  Store({1714500000000, 0}, 0, "HHM");
  Store({1714586400000, 0}, 0, "HHH");  // the next day
  Store({1714586500000, 0}, 0, "HMM");
  Store({1714586600000, 0}, 1, "HH");
  const Ran run = Progress({});
  ASSERT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(run.out.find(song + " (score " + history::ScoreHash(kSong) + ")"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("  4 tries on 2 days, last 2024-05-01 18:03\n"
                         "  Course: 0 of 2 phrases known, 2 learning, 0 due for review\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(
      run.out.find("       1      3       1  3/3 100%     1/3 33%         2  s=100,1,1,1,2,1,3\n"),
      std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("       2      1       1  2/2 100%     2/2 100%        1  1,5,1,3\n"),
            std::string::npos)
      << run.out;

  const Ran json = Progress({"--json"});
  ASSERT_EQ(json.status, kExitOk);
  EXPECT_NE(
      json.out.find(
          R"("tries": 4, "passed": 2, "days": 2, "first": "2024-04-30T18:00:00+00:00", "last": "2024-05-01T18:03:20+00:00", "course": {"phrases": 2, "known": 0, "learning": 2, "due": 0})"),
      std::string::npos)
      << json.out;
  EXPECT_NE(
      json.out.find(
          R"({"phrase": 1, "text": "s=100,1,1,1,2,1,3", "tries": 3, "passed": 1, "days": 2, "best": {"hits": 3, "notes": 3}, "last": {"when": "2024-05-01T18:01:40+00:00", "hits": 1, "notes": 3, "passed": false}})"),
      std::string::npos)
      << json.out;
}

// Each song's course: a phrase passed twice at full tempo is known, and long since due for
// review; the song's phrases are its file's, or as many as the tries reached once the file
// holds another text.
TEST_F(ProgressCommandTest, EachSongsCourseCountsKnownLearningAndDue) {
  Store({1714500000000, 0}, 0, "HHH");
  Store({1714500100000, 0}, 0, "HHH");
  const Ran run = Progress({});
  ASSERT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(run.out.find("  Course: 1 of 2 phrases known, 0 learning, 1 due for review\n"),
            std::string::npos)
      << run.out;

  Store({1714500200000, 0}, 0, "MMM", 0, history::ScoreHash("another score"));
  folder.Write("song.txt", std::string(kSong) + "|1,1");
  const Ran json = Progress({"--json"});
  EXPECT_NE(json.out.find(R"("course": {"phrases": 1, "known": 1, "learning": 0, "due": 1})"),
            std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find(R"("course": {"phrases": 1, "known": 0, "learning": 1, "due": 0})"),
            std::string::npos)
      << "a typed score: counted from its tries\n"
      << json.out;
}

// A take that sang two phrases together at a practice tempo: listed with its span, and its
// tempo and last phrase in the JSON.
TEST_F(ProgressCommandTest, ATakeOfSeveralPhrasesIsListedWithItsSpanAndTempo) {
  Store({1714500000000, 0}, 0, "HH");
  {
    history::CPracticeHistory practice(
        history::DefaultHistoryPath(),
        [] {
          return history::WallTime{1714500100000, 0};
        },
        [](const std::string& notice) { ADD_FAILURE() << notice; });
    history::TryRecord chained;
    chained.scoreHash = history::ScoreHash(kSong);
    chained.scoreFile = song;
    chained.phrase = 0;
    chained.lastPhrase = 1;
    chained.tempoPercent = 80;
    chained.phraseText = "s=100,1,1,1,2,1,3|1,5,1,3";
    chained.source = "learn";
    chained.judgement.nothingHeard = false;
    chained.judgement.hits = 1;
    chained.judgement.notes.resize(1);
    chained.judgement.notes[0].verdict = listening::Verdict::kHit;
    chained.passed = true;
    EXPECT_TRUE(practice.Record(chained));
  }
  const Ran table = Progress({song});
  ASSERT_EQ(table.status, kExitOk) << table.err;
  EXPECT_NE(table.out.find("       1  2/2 100%"), std::string::npos) << table.out;
  EXPECT_NE(table.out.find("     1-2  1/1 100%"), std::string::npos) << table.out;
  const Ran json = Progress({song, "--json"});
  EXPECT_NE(json.out.find(R"("tempoPercent": 100, "lastPhrase": null)"), std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find(R"("tempoPercent": 80, "lastPhrase": 2)"), std::string::npos) << json.out;
}

TEST_F(ProgressCommandTest, ForgetSaysHowManyTriesGoThenTheyAreGone) {
  for (int i = 0; i < 3; ++i) Store({1714500000000 + i * 1000, 0}, 0, "HH");
  Store({1714500009000, 0}, 0, "HH", 0, history::ScoreHash("another score"));
  const Ran forget = Progress({"--forget", song});
  ASSERT_EQ(forget.status, kExitOk) << forget.err;
  EXPECT_EQ(forget.out, "Forgetting 3 tries of " + song + ".\nForgot 3 tries.\n");
  EXPECT_EQ(Progress({song}).out, "No tries of " + song + " stored yet.\n");
  EXPECT_NE(Progress({}).out.find("1 try on 1 day"), std::string::npos) << "the other score stays";

  // A file since edited or gone is forgotten by its name: tries of its earlier text go too.
  Store({1714500000000, 0}, 0, "HH");
  testsupport::WriteFileBytes(song, "s=100,1,5");
  EXPECT_EQ(Progress({"--forget", song}).out, "Forgetting 1 try of " + song + ".\nForgot 1 try.\n");
  const Ran gone = Progress({"--forget", folder.File("never.txt")});
  EXPECT_EQ(gone.status, kExitFailure);
  EXPECT_NE(gone.err.find("cannot open"), std::string::npos) << gone.err;
}

TEST_F(ProgressCommandTest, ADamagedHistoryIsMovedAsideWithAMessage) {
  std::filesystem::create_directories(folder.File("data/tunwick"));
  testsupport::WriteFileBytes(folder.File("data/tunwick/history.sqlite"), std::string(4096, 'x'));
  const Ran run = Progress({});
  ASSERT_EQ(run.status, kExitOk) << run.err;
  EXPECT_NE(run.out.find("No tries stored yet"), std::string::npos) << run.out;
  EXPECT_NE(
      run.err.find("tunwick: the practice history " + folder.File("data/tunwick/history.sqlite") +
                   " could not be used (reading the practice history: file is not a database); it "
                   "was kept as "),
      std::string::npos)
      << run.err;
}

TEST_F(ProgressCommandTest, BadArgumentsAreUsageErrors) {
  const Arguments cases[] = {{"--forget"}, {"--forget", song, "--json"}, {song, song}, {"--all"}};
  for (const Arguments& arguments : cases) {
    const Ran run = Progress(arguments);
    EXPECT_EQ(run.status, kExitUsage) << arguments.size();
    EXPECT_NE(run.err.find("usage: tunwick progress"), std::string::npos) << run.err;
  }
}

}  // namespace
