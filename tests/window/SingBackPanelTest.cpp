// Sing-back in the window, on the fake platform with a fake ear that "hears" frames the test
// sings: the button opens the ear or says why it cannot, and the panel shows the phrase's
// notes, the sung line and, after the judged try, each note's verdict and cents.
#include <QComboBox>
#include <QCoreApplication>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <ostream>

#include "TestDialog.h"
#include "history/PracticeStore.h"
#include "history/ScoreIdentity.h"
#include "listening/PhraseTargets.h"
#include "playback/Player.h"
#include "window/DialogLayout.h"
#include "window/LevelMeter.h"
#include "window/SingBackPanel.h"
#include "window/UserSettings.h"

// Failure messages show texts, not their bytes.
inline void PrintTo(const QString& text, std::ostream* out) { *out << text.toStdString(); }

namespace {

constexpr double kHopMs = 5.0;

// An ear that hears what the test sings and judges it with the real judge.
class FakeEar : public ListeningEar {
 public:
  // `gone` is called when the dialog lets the ear (its microphone) go.
  FakeEar(const CPlayer& player, std::function<void()> gone)
      : player_(player), gone_(std::move(gone)) {}
  ~FakeEar() override { gone_(); }

  void StartTake(int32_t row, int32_t) override {
    std::lock_guard<std::mutex> hold(lock_);
    taking = true;
    row_ = row;
    frames_.clear();
  }
  TakeVerdict FinishTake() override {
    listening::PitchTrack track;
    track.hopMs = kHopMs;
    {
      std::lock_guard<std::mutex> hold(lock_);
      taking = false;
      track.frames = frames_;
    }
    listening::JudgeSettings judging;
    judging.hitCents = listening::ToleranceCents(tolerance);
    track.levels = levels;
    last_ = listening::JudgeTake(TargetsOf(row_), track, judging);
    ++takes;
    if (judged_) judged_(row_, last_);
    return {listening::PassesPhrase(last_), last_.hits, last_.judged()};
  }
  void CancelTake() override {
    std::lock_guard<std::mutex> hold(lock_);
    taking = false;
    frames_.clear();
  }
  void TakeFramesFrom(size_t from, std::vector<listening::PitchFrame>& out) const override {
    std::lock_guard<std::mutex> hold(lock_);
    if (from < frames_.size()) out.insert(out.end(), frames_.begin() + from, frames_.end());
  }
  std::vector<listening::TargetNote> TargetsOf(int32_t row) const override {
    return listening::PhraseTargets(player_.score().phrases[row], 0);
  }
  void SetJudgementSink(JudgementSink sink) override { judged_ = std::move(sink); }
  void SetTolerance(listening::Tolerance chosen) override { tolerance = chosen; }
  InputLevel ReadInputLevel() override {
    std::lock_guard<std::mutex> hold(lock_);
    InputLevel read = input;
    input = {};
    ++levelReads;
    return read;
  }
  // What the microphone hears next, for the meter.
  void Hear(double peakDb, bool clipped) {
    std::lock_guard<std::mutex> hold(lock_);
    input.peakDb = std::max(input.peakDb, peakDb);
    input.clipped = input.clipped || clipped;
  }

  // Frames from fromMs to toMs at a level: sung at `midiCents` (0: only noise, no pitch),
  // with `clipped` samples at full scale in the first.
  void HearFrames(double fromMs, double toMs, double midiCents, double levelDb, int32_t clipped) {
    std::lock_guard<std::mutex> hold(lock_);
    for (double t = fromMs; t < toMs; t += kHopMs) {
      listening::PitchFrame frame{t, midiCents, midiCents > 0.0 ? 0.95 : 0.1, midiCents > 0.0};
      frame.levelDb = levelDb;
      frame.peakDb = levelDb + 3.0;
      frame.clipped = t == fromMs ? clipped : 0;
      frames_.push_back(frame);
    }
  }
  // Sings `midiCents` from fromMs to toMs of the take, one frame a hop.
  void Sing(double fromMs, double toMs, double midiCents) {
    std::lock_guard<std::mutex> hold(lock_);
    for (double t = fromMs; t < toMs; t += kHopMs) frames_.push_back({t, midiCents, 0.9, true});
  }

  bool taking = false;
  int takes = 0;
  listening::Tolerance tolerance = listening::Tolerance::kNormal;
  bool levels = false;  // the frames sung carry levels
  int levelReads = 0;
  InputLevel input;

 private:
  const CPlayer& player_;
  std::function<void()> gone_;
  mutable std::mutex lock_;
  int32_t row_ = 0;
  std::vector<listening::PitchFrame> frames_;
  listening::TakeJudgement last_;
  JudgementSink judged_;
};

// Three phrases alike: a try that passes moves on to the next, and the exercise goes on.
const char kThreePhrases[] = "s=100,1,1,1,2,1,3,1,5|1,1,1,2,1,3,1,5|1,1,1,2,1,3,1,5";

class SingBackPanelTest : public DialogTest {
 protected:
  void StartWithEar(const char* score) {
    dlg->makeEar = [this] {
      auto made = std::make_unique<FakeEar>(dlg->player(), [this] {
        ear = nullptr;
        ++earsLetGo;
      });
      ear = made.get();
      return made;
    };
    Start();
    dlg->SetEditText(QString::fromUtf8(score));
    dlg->Click(IDC_LOAD);
    dlg->player().OnPause();
  }
  // Moves the fake clock a millisecond at a time until `done` or `limitMs` have passed.
  template <typename Done>
  bool RunUntil(Done done, int limitMs = 30000) {
    for (int i = 0; i < limitMs && dlg->fake.timerSet; ++i) {
      if (done()) return true;
      dlg->fake.nowMs += 1;
      dlg->player().OnTimer(1);
    }
    QCoreApplication::processEvents();
    return done();
  }
  // The phrase's notes sung, note i raised by centsOff[i] (NaN: not sung).
  void SingTheTake(const std::vector<double>& centsOff) {
    const std::vector<listening::TargetNote>& targets = dlg->singBackPanel().targets();
    ASSERT_EQ(targets.size(), centsOff.size());
    for (size_t i = 0; i < targets.size(); ++i)
      if (!std::isnan(centsOff[i]))
        ear->Sing(targets[i].startMs, targets[i].endMs, 100.0 * targets[i].pitch + centsOff[i]);
  }

  FakeEar* ear = nullptr;  // the ear the dialog holds, null once it let it go
  int earsLetGo = 0;
};

TEST_F(SingBackPanelTest, WithoutAnInputTheButtonSaysWhyAndStartsNothing) {
  Start();
  dlg->player().OnPause();
  dlg->boxes.clear();
  dlg->Click(IDC_SING_BACK);
  ASSERT_EQ(dlg->boxes.size(), 1u);
  EXPECT_TRUE(dlg->boxes[0].text.startsWith(QStringLiteral("No audio input device is available")));
  EXPECT_TRUE(dlg->boxes[0].text.contains(QStringLiteral("ALSA: no capture device")));
  EXPECT_EQ(dlg->boxes[0].icon, QMessageBox::Warning);
  EXPECT_FALSE(dlg->player().Position().playing);
  EXPECT_NE(dlg->player().Position().mode, SingBackMode);
  EXPECT_EQ(dlg->ear(), nullptr);
  EXPECT_FALSE(dlg->singBackPanel().isVisible());
  // A second press tries the input again rather than remembering the failure.
  dlg->Click(IDC_SING_BACK);
  EXPECT_EQ(dlg->earsMade, 2);
  EXPECT_EQ(dlg->boxes.size(), 2u);
}

TEST_F(SingBackPanelTest, ATryShowsTheBarsTheSungLineAndEachNotesVerdictAndCents) {
  StartWithEar("s=100,1,1,1,2,1,3,1,5");
  dlg->Click(IDC_SING_BACK);
  ASSERT_NE(ear, nullptr);
  EXPECT_TRUE(dlg->boxes.empty());
  EXPECT_TRUE(dlg->singBackPanel().isVisible());
  EXPECT_EQ(dlg->player().Position().mode, SingBackMode);
  // The panel is a window of its own, on the screen.
  EXPECT_TRUE(dlg->singBackPanel().isWindow());
  EXPECT_TRUE(dlg->screen()->availableGeometry().contains(dlg->singBackPanel().pos()));

  // While the phrase plays, its notes are bars, rising with the pitch and in time order.
  ASSERT_TRUE(RunUntil([&] { return dlg->singBackPanel().row() == 0; }));
  const CSingBackPanel& panel = dlg->singBackPanel();
  ASSERT_EQ(panel.targets().size(), 4u);
  std::vector<CSingBackPanel::NoteView> views = panel.NoteViews();
  ASSERT_EQ(views.size(), 4u);
  for (size_t i = 1; i < views.size(); ++i) {
    EXPECT_GE(views[i].bar.left(), views[i - 1].bar.right()) << i;
    EXPECT_LT(views[i].bar.top(), views[i - 1].bar.top()) << i;
  }
  for (const CSingBackPanel::NoteView& view : views) {
    EXPECT_EQ(view.colour, CSingBackPanel::kWaitingColour);
    EXPECT_TRUE(view.mark.isEmpty());
  }
  EXPECT_FALSE(panel.polling());

  // Listening: the panel polls the ear, and what is sung shows as it comes.
  ASSERT_TRUE(RunUntil([&] { return ear->taking; }));
  QCoreApplication::processEvents();
  EXPECT_TRUE(panel.polling());
  SingTheTake({12.0, -30.0, 150.0, NAN});
  dlg->singBackPanel().PollEar();
  const size_t sung = panel.sung().size();
  EXPECT_GT(sung, 0u);

  // Judged: each note coloured and marked; the poll stops with the take.
  ASSERT_TRUE(RunUntil([&] { return panel.judged(); }));
  EXPECT_FALSE(panel.polling());
  EXPECT_EQ(panel.sung().size(), sung);
  EXPECT_EQ(ear->takes, 1);
  ASSERT_EQ(panel.judgement().notes.size(), 4u);
  views = panel.NoteViews();
  const struct {
    QColor colour;
    QString mark;
  } expected[] = {{CSingBackPanel::kHitColour, QStringLiteral("+12")},
                  {CSingBackPanel::kHitColour, QStringLiteral("-30")},
                  {CSingBackPanel::kMissedColour, QStringLiteral("+150")},
                  {CSingBackPanel::kMissedColour, QStringLiteral("—")}};
  for (size_t i = 0; i < views.size(); ++i) {
    EXPECT_EQ(views[i].colour, expected[i].colour) << i;
    EXPECT_EQ(views[i].mark, expected[i].mark) << i;
  }
  EXPECT_EQ(panel.judgement().hits, 2);

  // A developer's look at it: TUNWICK_PANEL_SCREENSHOT names a PNG to write.
  if (const char* shot = std::getenv("TUNWICK_PANEL_SCREENSHOT")) {
    QTest::qWait(50);
    EXPECT_TRUE(dlg->singBackPanel().grab().save(QString::fromLocal8Bit(shot)));
  }

  // 2 of 4 does not pass: the phrase is played again with its verdicts in view, which go
  // when the learner sings it again.
  ASSERT_TRUE(RunUntil([&] { return dlg->player().Position().pass == 2; }));
  EXPECT_TRUE(panel.judged());
  ASSERT_TRUE(RunUntil([&] { return ear->taking; }));
  EXPECT_FALSE(panel.judged());
  EXPECT_TRUE(panel.sung().empty());
  EXPECT_EQ(panel.targets().size(), 4u);

  // Started again, the panel begins afresh.
  dlg->Click(IDC_SING_BACK);
  EXPECT_EQ(dlg->earsMade, 1) << "the ear is kept";
  EXPECT_FALSE(panel.judged());
  EXPECT_EQ(panel.row(), 0);
}

TEST_F(SingBackPanelTest, TheLevelMeterRunsFromTheMicrophoneOpeningUntilTheTakeEnds) {
  StartWithEar("s=100,1,1,1,2,1,3,1,5");
  dlg->Click(IDC_SING_BACK);
  ASSERT_NE(ear, nullptr);
  const CSingBackPanel& panel = dlg->singBackPanel();
  // From the moment the microphone opens, before the phrase has played.
  EXPECT_TRUE(panel.metering());
  ear->Hear(-20.0, false);
  dlg->singBackPanel().PollLevel();
  EXPECT_DOUBLE_EQ(panel.meterDb(), -20.0);
  EXPECT_FALSE(panel.clipShown());
  // The bar falls back slowly from a peak; a clip lights the mark, which holds.
  dlg->singBackPanel().PollLevel();
  EXPECT_LT(panel.meterDb(), -20.0);
  EXPECT_GT(panel.meterDb(), -21.0);
  ear->Hear(0.0, true);
  dlg->singBackPanel().PollLevel();
  dlg->singBackPanel().PollLevel();
  EXPECT_TRUE(panel.clipShown());

  // Through the cue (the learner sets the microphone, the mark starts afresh) and the take.
  ASSERT_TRUE(RunUntil([&] { return dlg->player().Position().phase == PlayerPhase::kCue; }));
  EXPECT_TRUE(panel.metering());
  EXPECT_FALSE(panel.clipShown());
  ASSERT_TRUE(RunUntil([&] { return ear->taking; }));
  QCoreApplication::processEvents();
  EXPECT_TRUE(panel.metering());
  for (int i = 0; i < 200; ++i) dlg->singBackPanel().PollLevel();
  EXPECT_LT(panel.meterDb(), kLevelMeterFloorDb) << "fallen back in silence";
  ear->Hear(-3.0, false);
  dlg->singBackPanel().PollLevel();
  EXPECT_DOUBLE_EQ(panel.meterDb(), -3.0);
  SingTheTake({0.0, 0.0, 0.0, 0.0});
  // The take ends: the meter stops and shows nothing.
  ASSERT_TRUE(RunUntil([&] { return panel.judged(); }));
  EXPECT_FALSE(panel.metering());
  EXPECT_LE(panel.meterDb(), listening::kSilentDb);
  // Paused, the microphone goes and the meter with it.
  dlg->Click(IDC_PAUSE);
  QCoreApplication::processEvents();
  EXPECT_FALSE(panel.metering());
}

TEST_F(SingBackPanelTest, ATakeTooQuietOrOverloadedSaysWhatToDo) {
  StartWithEar(kThreePhrases);
  dlg->Click(IDC_SING_BACK);
  ASSERT_NE(ear, nullptr);
  ear->levels = true;
  const CSingBackPanel& panel = dlg->singBackPanel();
  const struct {
    const char* name;
    double voiceDb, noiseDb;
    int32_t clipped;
    QString caption, advice;
    QColor colour;
  } cases[] = {
      {"too quiet", -62.0, -65.0, 0, QStringLiteral("句：声音太小，没有评判"),
       QStringLiteral("声音太小（最响 -59 dBFS，只比噪声高 3 dB）：请靠近麦克风，或调高输入音量"),
       CSingBackPanel::kWaitingColour},
      {"overloaded", 0.0, -65.0, 40, QStringLiteral("句：4 / 4 个音唱准"),
       QStringLiteral("输入过载（40 个采样削波）：请离麦克风远一点，或调低输入音量"),
       CSingBackPanel::kHitColour},
      {"good", -20.0, -65.0, 0, QStringLiteral("句：4 / 4 个音唱准"), QString(),
       CSingBackPanel::kHitColour},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(RunUntil([&] { return ear != nullptr && ear->taking; }));
    // Room noise before and after the phrase, the voice over its notes.
    ear->HearFrames(0, 400, 0, c.noiseDb, 0);
    const std::vector<listening::TargetNote>& targets = panel.targets();
    for (const listening::TargetNote& target : targets)
      ear->HearFrames(target.startMs + 400, target.endMs + 400, 100.0 * target.pitch, c.voiceDb,
                      target.index == 0 ? c.clipped : 0);
    ear->HearFrames(targets.back().endMs + 400, targets.back().endMs + 800, 0, c.noiseDb, 0);
    ASSERT_TRUE(RunUntil([&] { return panel.judged(); }));
    EXPECT_TRUE(panel.Caption().endsWith(c.caption)) << panel.Caption().toStdString();
    EXPECT_EQ(panel.LevelAdvice(), c.advice);
    for (const CSingBackPanel::NoteView& view : panel.NoteViews()) {
      EXPECT_EQ(view.colour, c.colour);
      if (c.colour == CSingBackPanel::kWaitingColour) {
        EXPECT_TRUE(view.mark.isEmpty());
      }
    }
  }
}

TEST_F(SingBackPanelTest, TheToleranceChosenJudgesTheTakesAndIsKeptInTheSettings) {
  // The other tests judge at the normal tolerance: the setting goes when this test ends.
  struct Forget {
    ~Forget() { OpenUserSettings()->remove(QString::fromUtf8(kToleranceSetting)); }
  } forget;
  StartWithEar(kThreePhrases);
  EXPECT_EQ(dlg->singBackPanel().tolerance(), listening::Tolerance::kNormal);
  EXPECT_EQ(dlg->singBackPanel().toleranceBox().currentIndex(), 1);
  dlg->Click(IDC_SING_BACK);
  ASSERT_NE(ear, nullptr);
  EXPECT_EQ(ear->tolerance, listening::Tolerance::kNormal);

  const struct {
    int index;
    listening::Tolerance tolerance;
    const char* stored;
    int32_t hits;  // of notes sung 35 and 80 cents off, twice each
  } cases[] = {
      {0, listening::Tolerance::kStrict, "strict", 0},
      {2, listening::Tolerance::kEasy, "easy", 4},
      {1, listening::Tolerance::kNormal, "normal", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    QComboBox& box = dlg->singBackPanel().toleranceBox();
    box.setCurrentIndex(c.index);
    emit box.activated(c.index);
    EXPECT_EQ(ear->tolerance, c.tolerance);
    EXPECT_EQ(OpenUserSettings()->value(QString::fromUtf8(kToleranceSetting)).toString(),
              QString::fromUtf8(c.stored));
    ASSERT_TRUE(RunUntil([&] { return ear != nullptr && ear->taking; }));
    SingTheTake({35.0, -80.0, -35.0, 80.0});
    ASSERT_TRUE(RunUntil([&] { return dlg->singBackPanel().judged(); }));
    EXPECT_EQ(dlg->singBackPanel().judgement().hits, c.hits);
    EXPECT_EQ(dlg->singBackPanel().judgement().hitCents, listening::ToleranceCents(c.tolerance));
  }

  // A new window starts with the choice kept, and its ear judges with it.
  OpenUserSettings()->setValue(QString::fromUtf8(kToleranceSetting), QStringLiteral("easy"));
  dlg.reset();
  dlg = std::make_unique<TestDlg>();
  dlg->sideFiles() = CSideFileWriter(folder.path(), folder.path());
  dlg->deviceCount = 1;
  StartWithEar(kThreePhrases);
  EXPECT_EQ(dlg->singBackPanel().tolerance(), listening::Tolerance::kEasy);
  EXPECT_EQ(dlg->singBackPanel().toleranceBox().currentIndex(), 2);
  dlg->Click(IDC_SING_BACK);
  ASSERT_NE(ear, nullptr);
  EXPECT_EQ(ear->tolerance, listening::Tolerance::kEasy);
}

TEST(SingBackPanelPlaceTest, BesideTheDialogAndOnTheScreen) {
  const QSize panel(560, 300);
  const struct {
    const char* name;
    QRect dialog;
    QRect screen;
    QPoint expected;
  } cases[] = {
      {"room on the right", QRect(100, 50, 870, 730), QRect(0, 0, 1920, 1080), QPoint(978, 50)},
      {"room on the left only", QRect(700, 50, 870, 730), QRect(0, 0, 1920, 1080), QPoint(132, 50)},
      {"no room beside it: at the screen's right edge", QRect(248, 20, 870, 730),
       QRect(0, 0, 1366, 768), QPoint(806, 20)},
      {"low on the screen: moved up", QRect(0, 900, 870, 730), QRect(0, 0, 1920, 1080),
       QPoint(878, 780)},
      {"a second screen to the right", QRect(2000, 0, 870, 730), QRect(1920, 0, 1920, 1080),
       QPoint(2878, 0)},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CSingBackPanel::PlaceBeside(c.dialog, panel, c.screen), c.expected) << c.name;
}

TEST_F(SingBackPanelTest, PausingLetsTheMicrophoneGoAndANewPhraseClearsTheVerdicts) {
  StartWithEar("s=100,1,1,1,2|1,5,1,6");
  dlg->Click(IDC_SING_BACK);
  ASSERT_NE(ear, nullptr);
  const CSingBackPanel& panel = dlg->singBackPanel();
  ASSERT_TRUE(RunUntil([&] { return ear->taking; }));
  SingTheTake({0.0, 5.0});
  ASSERT_TRUE(RunUntil([&] { return panel.judged(); }));

  EXPECT_EQ(panel.row(), 0);
  EXPECT_EQ(panel.judgement().hits, 2);
  // Passed: the verdicts stay in view while the second phrase plays; its notes replace them
  // when the learner is to sing it.
  ASSERT_TRUE(RunUntil([&] { return dlg->player().Position().phrase == 1; }));
  EXPECT_EQ(panel.row(), 0);
  EXPECT_TRUE(panel.judged());
  ASSERT_TRUE(RunUntil([&] { return panel.row() == 1; }));
  EXPECT_FALSE(panel.judged());
  EXPECT_TRUE(panel.sung().empty());
  ASSERT_EQ(panel.targets().size(), 2u);
  EXPECT_EQ(panel.targets()[0].pitch, 67);

  ASSERT_TRUE(RunUntil([&] { return ear->taking; }));
  QCoreApplication::processEvents();
  EXPECT_TRUE(panel.polling());
  dlg->Click(IDC_PAUSE);
  EXPECT_FALSE(ear->taking);
  QCoreApplication::processEvents();
  EXPECT_FALSE(panel.polling());
  // Paused, the microphone is let go; Continue opens it again and the same try starts
  // afresh after the cue.
  EXPECT_EQ(ear, nullptr);
  EXPECT_EQ(dlg->ear(), nullptr);
  EXPECT_EQ(earsLetGo, 1);
  dlg->Click(IDC_CONTINUE);
  ASSERT_NE(ear, nullptr);
  EXPECT_EQ(dlg->earsMade, 2);
  ASSERT_TRUE(RunUntil([&] { return ear != nullptr && ear->taking; }));
  EXPECT_EQ(dlg->player().Position().phrase, 1);
  EXPECT_EQ(dlg->player().Position().pass, 1);
  SingTheTake({0.0, 0.0});
  ASSERT_TRUE(RunUntil([&] { return panel.judged(); }));

  // The exercise is over: the microphone goes, and Continue neither opens it nor plays.
  QCoreApplication::processEvents();
  EXPECT_FALSE(dlg->player().Position().playing);
  EXPECT_EQ(ear, nullptr);
  EXPECT_EQ(earsLetGo, 2);
  dlg->Click(IDC_CONTINUE);
  EXPECT_EQ(dlg->earsMade, 2);
  EXPECT_FALSE(dlg->player().Position().playing);
  EXPECT_TRUE(panel.judged()) << "the last verdicts stay in view";
}

}  // namespace

// The practice history in the panel: every judged try is kept, from the score the player holds
// (and the file it came from), and the panel shows the phrase's tries, its most missed notes
// and the week's practice.
TEST_F(SingBackPanelTest, EachTryIsKeptAndShownOnThePhrasesChart) {
  const char kScore[] = "s=100,1,1,1,2,1,3,1,5";
  StartWithEar(kScore);
  dlg->wallNow = {1714560000000, 120};
  dlg->Click(IDC_SING_BACK);
  ASSERT_NE(ear, nullptr);
  const CSingBackPanel& panel = dlg->singBackPanel();
  ASSERT_TRUE(RunUntil([&] { return panel.row() == 0; }));
  EXPECT_TRUE(panel.historyView().shown);
  EXPECT_TRUE(panel.historyView().progress.tries.empty());

  for (int take = 1; take <= 2; ++take) {
    SCOPED_TRACE("take " + std::to_string(take));
    ASSERT_TRUE(RunUntil([&] { return ear->taking; }));
    SingTheTake({12.0, -30.0, 150.0, NAN});
    ASSERT_TRUE(RunUntil([&] { return panel.judged(); }));
    // Kept before the panel showed it: the chart has this try too.
    const history::PhraseProgress& progress = panel.historyView().progress;
    ASSERT_EQ(progress.tries.size(), static_cast<size_t>(take));
    EXPECT_EQ(progress.tries.back().hits, 2);
    EXPECT_EQ(progress.tries.back().notes, 4);
    EXPECT_EQ(panel.ChartPoints().size(), static_cast<size_t>(take));
    ASSERT_EQ(progress.mostMissed.size(), 2u);
    EXPECT_EQ(progress.mostMissed[0].index, 2);
    EXPECT_EQ(progress.mostMissed[0].misses, take);
    EXPECT_NEAR(progress.mostMissed[0].meanCents, 150.0, 5.0);
    EXPECT_EQ(progress.mostMissed[1].index, 3);
    EXPECT_EQ(progress.mostMissed[1].sung, 0) << "not sung: no cents";
    ASSERT_TRUE(
        RunUntil([&] { return !ear->taking && dlg->player().Position().pass == take + 1; }));
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
  dlg->player().OnPause();
  dlg->Click(IDC_SING_BACK);
  ASSERT_NE(ear, nullptr);
  const CSingBackPanel& panel = dlg->singBackPanel();
  ASSERT_TRUE(RunUntil([&] { return ear->taking; }));
  SingTheTake({0.0, 0.0});
  ASSERT_TRUE(RunUntil([&] { return panel.judged(); }));
  dlg->player().OnPause();

  // Edited in the box, it is a score of its own, typed.
  dlg->SetEditText(QStringLiteral("s=100,1,1,1,3"));
  dlg->Click(IDC_LOAD);
  dlg->player().OnPause();
  dlg->Click(IDC_SING_BACK);
  ASSERT_TRUE(RunUntil([&] { return ear != nullptr && ear->taking; }));
  SingTheTake({0.0, 0.0});
  ASSERT_TRUE(RunUntil([&] { return panel.judged(); }));

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
  const CSingBackPanel& panel = dlg->singBackPanel();
  ASSERT_TRUE(RunUntil([&] { return panel.row() == 0; }));

  const CSingBackPanel::HistoryView& view = panel.historyView();
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
  const std::vector<QPointF> points = panel.ChartPoints();
  ASSERT_EQ(points.size(), 21u);
  for (size_t i = 1; i < points.size(); ++i) EXPECT_GT(points[i].x(), points[i - 1].x()) << i;
  EXPECT_GT(points[0].y(), points[1].y()) << "3 of 4 is lower than 4 of 4";
  EXPECT_EQ(points[1].y(), points[2].y());
  const auto dates = panel.ChartDates();
  std::vector<QString> labels;
  for (const auto& date : dates) labels.push_back(date.second);
  EXPECT_EQ(labels, (std::vector<QString>{"4/25", "4/26", "4/27", "4/28", "4/29", "4/30", "5/1"}));
  EXPECT_EQ(dates.front().first, points[0].x());

  if (const char* shot = std::getenv("TUNWICK_HISTORY_SCREENSHOT")) {
    QTest::qWait(50);
    EXPECT_TRUE(dlg->singBackPanel().grab().save(QString::fromLocal8Bit(shot)));
  }
}
