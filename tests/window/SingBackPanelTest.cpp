// Sing-back in the window, on the fake platform with a fake ear that "hears" frames the test
// sings: the button opens the ear or says why it cannot, and the panel shows the phrase's
// notes, the sung line and, after the judged try, each note's verdict and cents.
#include <QCoreApplication>
#include <QScreen>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <ostream>

#include "TestDialog.h"
#include "listening/PhraseTargets.h"
#include "playback/Player.h"
#include "window/DialogLayout.h"
#include "window/SingBackPanel.h"

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
    last_ = listening::JudgeTake(TargetsOf(row_), track);
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

  // Sings `midiCents` from fromMs to toMs of the take, one frame a hop.
  void Sing(double fromMs, double toMs, double midiCents) {
    std::lock_guard<std::mutex> hold(lock_);
    for (double t = fromMs; t < toMs; t += kHopMs) frames_.push_back({t, midiCents, 0.9, true});
  }

  bool taking = false;
  int takes = 0;

 private:
  const CPlayer& player_;
  std::function<void()> gone_;
  mutable std::mutex lock_;
  int32_t row_ = 0;
  std::vector<listening::PitchFrame> frames_;
  listening::TakeJudgement last_;
  JudgementSink judged_;
};

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
