// The practice tempo and the song's course in the sing-back panel: the tempo box sets what
// plays and what each try keeps; 学唱整首 sings today's steps in turn (the list marking them,
// the strip showing where each phrase stands), ends with what is known and when to come back,
// and a pause mid-course goes on where it stood.
#include <QCoreApplication>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <cstdlib>

#include "SingBackFixture.h"
#include "course/CourseState.h"
#include "history/PracticeStore.h"
#include "history/ScoreIdentity.h"
#include "panel/CoursePane.h"
#include "panel/CourseStepList.h"
#include "panel/CourseStrip.h"
#include "window/CourseRun.h"

namespace {

using course::PhraseState;

// Three phrases of two notes, in one key and tempo, so that neighbours chain into one take.
constexpr char kSong[] = "s=100,1,1,1,2|1,3,1,5|1,2,1,1";
constexpr int64_t kDayMs = 86400000;

class CourseRunTest : public SingBackPanelTest {
 protected:
  CCoursePane& Pane() { return dlg->SingBackPanel().Course(); }
  // Moves the fake clock and lets the queued calls run (a step starts after the last ended),
  // until `done` or `limitMs` of the clock have passed.
  template <typename Done>
  bool Drive(Done done, int limitMs = 60000) {
    for (int i = 0; i < limitMs; ++i) {
      if (done()) return true;
      if (i % 10 == 0 || !dlg->fake.timerSet) QCoreApplication::processEvents();
      dlg->fake.nowMs += 1;
      if (dlg->fake.timerSet) dlg->Player().OnTimer(1);
    }
    return done();
  }
  // The take that runs now, sung right through once it listens.
  void SingNextTakeWell() {
    ASSERT_TRUE(Drive([&] { return ear != nullptr && ear->taking; }));
    SingTheTake(std::vector<double>(dlg->SingBackPanel().Targets().size(), 0.0));
    ASSERT_TRUE(Drive([&] { return ear == nullptr || !ear->taking; }));
  }
  std::vector<QString> Marks() {
    std::vector<QString> marks;
    for (int i = 0; i < Pane().Steps().count(); ++i) marks.push_back(Pane().Steps().MarkOf(i));
    return marks;
  }
  // Phrases 1 and 2 sung well twice yesterday: known, and due for their first review today.
  void KnowTheFirstTwoYesterday(const char* song = kSong) {
    history::CPracticeStore store(dlg->historyPath());
    for (int32_t phrase : {0, 1})
      for (int take = 0; take < 2; ++take) {
        history::TryRecord record;
        record.scoreHash = history::ScoreHash(song);
        record.phrase = phrase;
        record.phraseText = "1,1";
        record.when = {dlg->wallNow.unixMs - kDayMs + take * 1000, 0};
        record.toleranceCents = 50.0;
        record.passed = true;
        record.judgement.nothingHeard = false;
        store.Record(record);
      }
  }
};

TEST_F(CourseRunTest, TheTempoBoxSetsThePlayersTempoAndTheTempoEachTryKeeps) {
  StartWithEar("s=100,1,1,1,2");
  QSpinBox& box = Pane().TempoBox();
  EXPECT_EQ(box.value(), 100);
  EXPECT_EQ(box.minimum(), 25);
  EXPECT_EQ(box.maximum(), 200);
  EXPECT_EQ(box.suffix(), QStringLiteral(" %"));
  box.setValue(50);
  EXPECT_EQ(dlg->Player().TempoPercent(), 50);
  EXPECT_EQ(dlg->Player().LoadedScore().phrases[0].tempo, 50) << "the loaded song is slower now";

  dlg->Click(IDC_SING_BACK);
  ASSERT_TRUE(RunUntil([&] { return ear != nullptr && ear->taking; }));
  EXPECT_EQ(dlg->Player().TakeLengthMs(), 2 * 1200 + 300) << "two notes of 1200 ms and the grace";
  SingTheTake({0.0, 0.0});
  ASSERT_TRUE(RunUntil([&] { return dlg->SingBackPanel().Judged(); }));
  dlg->Player().OnPause();

  history::CPracticeStore store(dlg->historyPath());
  const std::vector<history::TryRecord> tries = store.TriesOf(history::ScoreHash("s=100,1,1,1,2"));
  ASSERT_EQ(tries.size(), 1u);
  EXPECT_EQ(tries[0].tempoPercent, 50);
  EXPECT_TRUE(tries[0].passed);
}

TEST_F(CourseRunTest, TodaysStepsAreSungInTurnAndTheCourseEndsWithWhatIsKnown) {
  KnowTheFirstTwoYesterday();
  StartWithEar(kSong);
  Pane().LearnButton().click();
  const CCourseRun& run = dlg->CourseRun();
  ASSERT_TRUE(run.Running());
  EXPECT_TRUE(dlg->SingBackPanel().isVisible());
  EXPECT_FALSE(Pane().TempoBox().isEnabled()) << "each step sets its own tempo";
  // Reviews first, then the two known neighbours sung as one, then the new phrase.
  std::vector<QString> steps;
  for (int i = 0; i < Pane().Steps().count(); ++i)
    steps.push_back(Pane().Steps().item(i)->text().mid(3));
  EXPECT_EQ(steps,
            (std::vector<QString>{QStringLiteral("复习 第 1 句"), QStringLiteral("复习 第 2 句"),
                                  QStringLiteral("连唱 第 1–2 句"), QStringLiteral("学 第 3 句")}));
  EXPECT_EQ(
      Pane().Strip().States(),
      (std::vector<PhraseState>{PhraseState::kKnown, PhraseState::kKnown, PhraseState::kNew}));

  const QString none;
  const QString done = QStringLiteral("✓");
  const QString now = QStringLiteral("▶");
  const std::vector<std::vector<QString>> marksAtEachStep = {{now, none, none, none},
                                                             {done, now, none, none},
                                                             {done, done, now, none},
                                                             {done, done, done, now}};
  for (size_t step = 0; step < marksAtEachStep.size(); ++step) {
    SCOPED_TRACE("step " + std::to_string(step + 1));
    ASSERT_TRUE(Drive([&] { return ear != nullptr && ear->taking; }));
    EXPECT_EQ(run.StepIndex(), step);
    EXPECT_EQ(Marks(), marksAtEachStep[step]);
    if (step == 2) {
      EXPECT_EQ(dlg->SingBackPanel().Targets().size(), 4u) << "both phrases' notes, one take";
      EXPECT_EQ(dlg->SingBackPanel().Caption(), QStringLiteral("第 1–2 句：请唱"));
    }
    // A developer's look at the panel mid-course, the chain being sung:
    // TUNWICK_COURSE_SCREENSHOT names a PNG to write.
    const char* shot = std::getenv("TUNWICK_COURSE_SCREENSHOT");
    if (shot != nullptr && step == 2) {
      SingTheTake(std::vector<double>(dlg->SingBackPanel().Targets().size(), 0.0));
      dlg->SingBackPanel().PollEar();
      QTest::qWait(50);
      EXPECT_TRUE(dlg->SingBackPanel().grab().save(QString::fromLocal8Bit(shot)));
      ASSERT_TRUE(Drive([&] { return ear == nullptr || !ear->taking; }));
      continue;
    }
    SingNextTakeWell();
  }
  ASSERT_TRUE(Drive([&] { return !run.Running(); }));
  EXPECT_EQ(Marks(), (std::vector<QString>{done, done, done, done}));
  EXPECT_EQ(
      Pane().Strip().States(),
      (std::vector<PhraseState>{PhraseState::kKnown, PhraseState::kKnown, PhraseState::kLearning}));
  EXPECT_EQ(Pane().Status(), QStringLiteral("known 2 of 3 phrases; next review: tomorrow"));
  EXPECT_TRUE(Pane().TempoBox().isEnabled());
  EXPECT_EQ(dlg->Player().LoadedScore().phraseCount, 3) << "the song itself is loaded again";

  history::CPracticeStore store(dlg->historyPath());
  const std::vector<history::TryRecord> tries = store.TriesOf(history::ScoreHash(kSong));
  ASSERT_EQ(tries.size(), 4u + 4u);
  // The chain was one take of both phrases' notes, kept as a try of the two.
  const history::TryRecord& chain = tries[6];
  EXPECT_EQ(chain.phrase, 0);
  EXPECT_EQ(chain.lastPhrase, std::optional<int32_t>(1));
  EXPECT_EQ(chain.judgement.notes.size(), 4u);
  EXPECT_TRUE(chain.passed);
  EXPECT_EQ(chain.source, "window");
}

TEST_F(CourseRunTest, NeighboursThatCannotBeOnePhraseAreSungInTurnAndKeptAsOneTry) {
  // The second phrase is slower: the two cannot be written as one.
  const char kTempoChange[] = "s=100,1,1,1,2|s=80,1,3,1,5|s=100,1,2,1,1";
  KnowTheFirstTwoYesterday(kTempoChange);
  StartWithEar(kTempoChange);
  Pane().LearnButton().click();
  const CCourseRun& run = dlg->CourseRun();
  ASSERT_EQ(run.Plan().steps.size(), 4u);
  ASSERT_EQ(run.Plan().steps[2].kind, course::StepKind::kChain);
  SingNextTakeWell();
  SingNextTakeWell();
  // The chain: each phrase a take of its own, then the new phrase.
  for (int32_t phrase : {0, 1}) {
    ASSERT_TRUE(Drive([&] { return ear != nullptr && ear->taking; }));
    EXPECT_EQ(run.StepIndex(), 2u);
    EXPECT_EQ(dlg->SingBackPanel().Row(), phrase);
    EXPECT_EQ(dlg->SingBackPanel().Targets().size(), 2u);
    SingNextTakeWell();
  }
  SingNextTakeWell();
  ASSERT_TRUE(Drive([&] { return !run.Running(); }));

  history::CPracticeStore store(dlg->historyPath());
  const std::vector<history::TryRecord> tries = store.TriesOf(history::ScoreHash(kTempoChange));
  ASSERT_EQ(tries.size(), 4u + 4u) << "the chain's two takes are one try";
  const history::TryRecord& chain = tries[6];
  EXPECT_EQ(chain.phrase, 0);
  EXPECT_EQ(chain.lastPhrase, std::optional<int32_t>(1));
  EXPECT_EQ(chain.judgement.notes.size(), 4u);
  EXPECT_GT(chain.judgement.notes[2].target.startMs, chain.judgement.notes[1].target.startMs)
      << "the second phrase's notes come after the first's";
  EXPECT_TRUE(chain.passed);
  EXPECT_EQ(tries[7].phrase, 2);
}

TEST_F(CourseRunTest, WithoutAMicrophoneTheCourseSaysWhyAndDoesNotStart) {
  Start();
  dlg->SetEditText(QString::fromUtf8(kSong));
  dlg->Click(IDC_LOAD);
  dlg->Player().OnPause();
  const size_t boxesBefore = dlg->boxes.size();
  Pane().LearnButton().click();
  EXPECT_FALSE(dlg->CourseRun().Running());
  ASSERT_EQ(dlg->boxes.size(), boxesBefore + 1);
  EXPECT_TRUE(dlg->boxes.back().text.contains(QStringLiteral("麦克风")));
  EXPECT_FALSE(dlg->Player().Position().playing);
  EXPECT_TRUE(Pane().LearnButton().isEnabled());
  EXPECT_TRUE(Pane().TempoBox().isEnabled());
}

TEST_F(CourseRunTest, PauseAndContinueMidCourseGoOnWithTheSameStep) {
  KnowTheFirstTwoYesterday();
  StartWithEar(kSong);
  Pane().LearnButton().click();
  const CCourseRun& run = dlg->CourseRun();
  SingNextTakeWell();
  ASSERT_TRUE(Drive([&] { return ear != nullptr && ear->taking; }));
  ASSERT_EQ(run.StepIndex(), 1u);

  dlg->Click(IDC_PAUSE);
  QCoreApplication::processEvents();
  EXPECT_FALSE(dlg->Player().Position().playing);
  EXPECT_EQ(ear, nullptr) << "the microphone is let go while paused";
  EXPECT_TRUE(run.Running());
  for (int i = 0; i < 2000; ++i) dlg->Tick();
  QCoreApplication::processEvents();
  EXPECT_EQ(run.StepIndex(), 1u) << "nothing moves on while paused";

  dlg->Click(IDC_CONTINUE);
  EXPECT_TRUE(dlg->Player().Position().playing);
  SingNextTakeWell();
  ASSERT_TRUE(Drive([&] { return ear != nullptr && ear->taking; }));
  EXPECT_EQ(run.StepIndex(), 2u);
  EXPECT_EQ(Marks()[1], QStringLiteral("✓"));
  EXPECT_EQ(Marks()[2], QStringLiteral("▶"));
}

}  // namespace
