// The practice history in the panel: every judged try is kept, from the score the player holds
// (and the file it came from), and the panel shows the phrase's tries, its most missed notes
// and the week's practice.
#include <QTest>
#include <cstdlib>

#include "SingBackFixture.h"
#include "history/PracticeStore.h"
#include "history/ScoreIdentity.h"

namespace {

TEST_F(SingBackPanelTest, EachTryIsKeptAndShownOnThePhrasesChart) {
  const char kScore[] = "s=100,1,1,1,2,1,3,1,5";
  StartWithEar(kScore);
  dlg->wallNow = {1714560000000, 120};
  dlg->Click(IDC_SING_BACK);
  ASSERT_NE(ear, nullptr);
  const CSingBackPanel& panel = dlg->SingBackPanel();
  ASSERT_TRUE(RunUntil([&] { return panel.Row() == 0; }));
  EXPECT_TRUE(panel.HistoryChart().View().shown);
  EXPECT_TRUE(panel.HistoryChart().View().progress.tries.empty());

  for (int take = 1; take <= 2; ++take) {
    SCOPED_TRACE("take " + std::to_string(take));
    ASSERT_TRUE(RunUntil([&] { return ear->taking; }));
    SingTheTake({12.0, -30.0, 150.0, NAN});
    ASSERT_TRUE(RunUntil([&] { return panel.Judged(); }));
    // Kept before the panel showed it: the chart has this try too.
    const history::PhraseProgress& progress = panel.HistoryChart().View().progress;
    ASSERT_EQ(progress.tries.size(), static_cast<size_t>(take));
    EXPECT_EQ(progress.tries.back().hits, 2);
    EXPECT_EQ(progress.tries.back().notes, 4);
    EXPECT_EQ(panel.HistoryChart().Points().size(), static_cast<size_t>(take));
    ASSERT_EQ(progress.mostMissed.size(), 2u);
    EXPECT_EQ(progress.mostMissed[0].index, 2);
    EXPECT_EQ(progress.mostMissed[0].misses, take);
    EXPECT_NEAR(progress.mostMissed[0].meanCents, 150.0, 5.0);
    EXPECT_EQ(progress.mostMissed[1].index, 3);
    EXPECT_EQ(progress.mostMissed[1].sung, 0) << "not sung: no cents";
    ASSERT_TRUE(
        RunUntil([&] { return !ear->taking && dlg->Player().Position().pass == take + 1; }));
  }

  history::CPracticeStore store(dlg->historyPath());
  const std::vector<history::TryRecord> tries = store.TriesOf(history::ScoreHash(kScore));
  ASSERT_EQ(tries.size(), 2u);
  EXPECT_EQ(tries[0].source, "window");
  EXPECT_EQ(tries[0].scoreFile, "") << "typed into the box";
  EXPECT_EQ(tries[0].phraseText, kScore);
  EXPECT_EQ(tries[0].when.unixMs, 1714560000000);
  EXPECT_EQ(tries[0].when.utcOffsetMinutes, 120);
  EXPECT_EQ(tries[0].takeMs, 4 * 600 + 300);
  EXPECT_EQ(tries[0].toleranceCents, 50.0);
  EXPECT_EQ(tries[0].judgement.notes[2].verdict, listening::Verdict::kMissed);
}

TEST_F(SingBackPanelTest, ATryOfAScoreReadFromAFileKeepsTheFilesNameUntilTheBoxIsEdited) {
  const char kScore[] = "s=100,1,1,1,2";
  StartWithEar("s=100,1,5");
  const std::string file = folder.Write("song.txt", kScore);
  dlg->fileAnswer = QString::fromStdString(file);
  dlg->Click(IDC_READ_TEXT);
  dlg->Click(IDC_LOAD);
  dlg->Player().OnPause();
  dlg->Click(IDC_SING_BACK);
  ASSERT_NE(ear, nullptr);
  const CSingBackPanel& panel = dlg->SingBackPanel();
  ASSERT_TRUE(RunUntil([&] { return ear->taking; }));
  SingTheTake({0.0, 0.0});
  ASSERT_TRUE(RunUntil([&] { return panel.Judged(); }));
  dlg->Player().OnPause();

  // Edited in the box, it is a score of its own, typed.
  dlg->SetEditText(QStringLiteral("s=100,1,1,1,3"));
  dlg->Click(IDC_LOAD);
  dlg->Player().OnPause();
  dlg->Click(IDC_SING_BACK);
  ASSERT_TRUE(RunUntil([&] { return ear != nullptr && ear->taking; }));
  SingTheTake({0.0, 0.0});
  ASSERT_TRUE(RunUntil([&] { return panel.Judged(); }));

  history::CPracticeStore store(dlg->historyPath());
  const std::vector<history::ScoreSummary> scores = store.Scores();
  ASSERT_EQ(scores.size(), 2u);
  EXPECT_EQ(scores[1].hash, history::ScoreHash(kScore));
  EXPECT_EQ(scores[1].file, file);
  EXPECT_EQ(scores[0].hash, history::ScoreHash("s=100,1,1,1,3"));
  EXPECT_EQ(scores[0].file, "");
}

TEST_F(SingBackPanelTest, AWeekOfTriesIsChartedWithItsDatesMissedNotesAndPracticeTime) {
  const char kScore[] = "s=100,1,1,1,2,1,3,1,5";
  // Three tries a day from April 25 to May 1, 19:00 UTC, 20 s apart, each 2.7 s long; the
  // third note sharp every time and missed on the first try of each day.
  {
    history::CPracticeStore store(dlg->historyPath());
    const int64_t april25 = 1714003200000;
    for (int day = 0; day < 7; ++day) {
      for (int n = 0; n < 3; ++n) {
        history::TryRecord record;
        record.when = {april25 + day * 86400000LL + 19 * 3600000LL + n * 20000, 0};
        record.scoreHash = history::ScoreHash(kScore);
        record.phraseText = kScore;
        record.takeMs = 2700;
        record.source = "window";
        for (int32_t i = 0; i < 4; ++i) {
          listening::NoteJudgement note;
          note.target = {i, 60 + i, i * 600, i * 600 + 600};
          note.cents = i == 2 ? (n == 0 ? 70.0 : 30.0) : 0.0;
          note.sungMidiCents = 100.0 * note.target.pitch + note.cents;
          note.verdict = note.cents > 50.0 ? listening::Verdict::kMissed : listening::Verdict::kHit;
          record.judgement.hits += note.verdict == listening::Verdict::kHit ? 1 : 0;
          record.judgement.notes.push_back(note);
        }
        record.judgement.nothingHeard = false;
        record.passed = listening::PassesPhrase(record.judgement);
        store.Record(record);
      }
    }
  }
  StartWithEar(kScore);
  dlg->wallNow = {1714560000000 + 12 * 3600000LL, 0};  // May 1, 22:40 UTC
  dlg->Click(IDC_SING_BACK);
  const CSingBackPanel& panel = dlg->SingBackPanel();
  ASSERT_TRUE(RunUntil([&] { return panel.Row() == 0; }));

  const HistoryView& view = panel.HistoryChart().View();
  ASSERT_EQ(view.progress.tries.size(), 21u);
  EXPECT_EQ(view.progress.tries[0].hits, 3);
  EXPECT_EQ(view.progress.tries[1].hits, 4);
  ASSERT_EQ(view.progress.mostMissed.size(), 1u);
  EXPECT_EQ(view.progress.mostMissed[0].index, 2);
  EXPECT_EQ(view.progress.mostMissed[0].misses, 7);
  EXPECT_EQ(view.progress.mostMissed[0].tries, 21);
  EXPECT_NEAR(view.progress.mostMissed[0].meanCents, (70.0 + 2 * 30.0) / 3, 1e-9);
  // Seven sittings in the last 7 days (April 24 22:40 on): each 40 s between its first and
  // last try and the first take's 2.7 s.
  EXPECT_EQ(view.weekPracticeMs, 7 * (40000 + 2700));
  EXPECT_TRUE(view.notice.isEmpty());

  // One point a try, rising and falling with the hits; a date under each day's first.
  const std::vector<QPointF> points = panel.HistoryChart().Points();
  ASSERT_EQ(points.size(), 21u);
  for (size_t i = 1; i < points.size(); ++i) EXPECT_GT(points[i].x(), points[i - 1].x()) << i;
  EXPECT_GT(points[0].y(), points[1].y()) << "3 of 4 is lower than 4 of 4";
  EXPECT_EQ(points[1].y(), points[2].y());
  const auto dates = panel.HistoryChart().Dates();
  std::vector<QString> labels;
  for (const auto& date : dates) labels.push_back(date.second);
  EXPECT_EQ(labels, (std::vector<QString>{"4/25", "4/26", "4/27", "4/28", "4/29", "4/30", "5/1"}));
  EXPECT_EQ(dates.front().first, points[0].x());

  if (const char* shot = std::getenv("TUNWICK_HISTORY_SCREENSHOT")) {
    QTest::qWait(50);
    EXPECT_TRUE(dlg->SingBackPanel().grab().save(QString::fromLocal8Bit(shot)));
  }
}

}  // namespace

namespace {

// Right after a first short try the week's practice is not "0 分钟": seconds until a minute.
TEST_F(SingBackPanelTest, TheWeeksPracticeCountsTheFirstTriesSeconds) {
  const char kScore[] = "s=100,1,1,1,2,1,3,1,5";
  {
    history::CPracticeStore store(dlg->historyPath());
    history::TryRecord record;
    record.when = {dlg->wallNow.unixMs - 60000, 0};
    record.scoreHash = history::ScoreHash(kScore);
    record.phraseText = kScore;
    record.takeMs = 20000;
    record.source = "window";
    listening::NoteJudgement note;
    note.target = {0, 60, 0, 600};
    note.sungMidiCents = 6000.0;
    note.verdict = listening::Verdict::kHit;
    record.judgement.notes.push_back(note);
    record.judgement.hits = 1;
    record.judgement.nothingHeard = false;
    store.Record(record);
  }
  StartWithEar(kScore);
  dlg->Click(IDC_SING_BACK);
  const CSingBackPanel& panel = dlg->SingBackPanel();
  ASSERT_TRUE(RunUntil([&] { return panel.Row() == 0; }));
  EXPECT_EQ(panel.HistoryChart().PracticeLine(), QStringLiteral("最近 7 天练习：20 秒"));
}

}  // namespace
