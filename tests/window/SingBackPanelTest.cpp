// The sing-back panel through a try: the phrase's notes as bars, the sung line, and after
// the judged try each note's verdict and cents, or what to do about a take too quiet or
// overloaded.
#include <QTest>
#include <cstdlib>

#include "SingBackFixture.h"
#include "panel/SingBackStyle.h"

namespace {

using singbacktest::kThreePhrases;

TEST_F(SingBackPanelTest, ATryShowsTheBarsTheSungLineAndEachNotesVerdictAndCents) {
  StartWithEar("s=100,1,1,1,2,1,3,1,5");
  dlg->Click(IDC_SING_BACK);
  ASSERT_NE(ear, nullptr);
  EXPECT_TRUE(dlg->boxes.empty());
  EXPECT_TRUE(dlg->SingBackPanel().isVisible());
  EXPECT_EQ(dlg->Player().Position().mode, SingBackMode);
  // The panel is a window of its own, on the screen.
  EXPECT_TRUE(dlg->SingBackPanel().isWindow());
  EXPECT_TRUE(dlg->screen()->availableGeometry().contains(dlg->SingBackPanel().pos()));

  // While the phrase plays, its notes are bars, rising with the pitch and in time order.
  ASSERT_TRUE(RunUntil([&] { return dlg->SingBackPanel().Row() == 0; }));
  const CSingBackPanel& panel = dlg->SingBackPanel();
  ASSERT_EQ(panel.Targets().size(), 4u);
  std::vector<CSingBackPanel::NoteView> views = panel.NoteViews();
  ASSERT_EQ(views.size(), 4u);
  for (size_t i = 1; i < views.size(); ++i) {
    EXPECT_GE(views[i].bar.left(), views[i - 1].bar.right()) << i;
    EXPECT_LT(views[i].bar.top(), views[i - 1].bar.top()) << i;
  }
  for (const CSingBackPanel::NoteView& view : views) {
    EXPECT_EQ(view.colour, kWaitingColour);
    EXPECT_TRUE(view.mark.isEmpty());
  }
  EXPECT_FALSE(panel.Polling());

  // Listening: the panel polls the ear, and what is sung shows as it comes.
  ASSERT_TRUE(RunUntil([&] { return ear->taking; }));
  QCoreApplication::processEvents();
  EXPECT_TRUE(panel.Polling());
  SingTheTake({12.0, -30.0, 150.0, NAN});
  dlg->SingBackPanel().PollEar();
  const size_t sung = panel.Sung().size();
  EXPECT_GT(sung, 0u);

  // Judged: each note coloured and marked; the poll stops with the take.
  ASSERT_TRUE(RunUntil([&] { return panel.Judged(); }));
  EXPECT_FALSE(panel.Polling());
  EXPECT_EQ(panel.Sung().size(), sung);
  EXPECT_EQ(ear->takes, 1);
  ASSERT_EQ(panel.Judgement().notes.size(), 4u);
  views = panel.NoteViews();
  const struct {
    QColor colour;
    QString mark;
  } expected[] = {{kHitColour, QStringLiteral("+12")},
                  {kHitColour, QStringLiteral("-30")},
                  {kMissedColour, QStringLiteral("+150")},
                  {kMissedColour, QStringLiteral("—")}};
  for (size_t i = 0; i < views.size(); ++i) {
    EXPECT_EQ(views[i].colour, expected[i].colour) << i;
    EXPECT_EQ(views[i].mark, expected[i].mark) << i;
  }
  EXPECT_EQ(panel.Judgement().hits, 2);

  // A developer's look at it: TUNWICK_PANEL_SCREENSHOT names a PNG to write.
  if (const char* shot = std::getenv("TUNWICK_PANEL_SCREENSHOT")) {
    QTest::qWait(50);
    EXPECT_TRUE(dlg->SingBackPanel().grab().save(QString::fromLocal8Bit(shot)));
  }

  // 2 of 4 does not pass: the phrase is played again with its verdicts in view, which go
  // when the learner sings it again.
  ASSERT_TRUE(RunUntil([&] { return dlg->Player().Position().pass == 2; }));
  EXPECT_TRUE(panel.Judged());
  ASSERT_TRUE(RunUntil([&] { return ear->taking; }));
  EXPECT_FALSE(panel.Judged());
  EXPECT_TRUE(panel.Sung().empty());
  EXPECT_EQ(panel.Targets().size(), 4u);

  // Started again, the panel begins afresh.
  dlg->Click(IDC_SING_BACK);
  EXPECT_EQ(dlg->earsMade, 1) << "the ear is kept";
  EXPECT_FALSE(panel.Judged());
  EXPECT_EQ(panel.Row(), 0);
}

TEST_F(SingBackPanelTest, ATakeTooQuietOrOverloadedSaysWhatToDo) {
  StartWithEar(kThreePhrases);
  dlg->Click(IDC_SING_BACK);
  ASSERT_NE(ear, nullptr);
  ear->levels = true;
  const CSingBackPanel& panel = dlg->SingBackPanel();
  const struct {
    const char* name;
    double voiceDb, noiseDb;
    int32_t clipped;
    QString caption, advice;
    QColor colour;
  } cases[] = {
      {"too quiet", -62.0, -65.0, 0, QStringLiteral("句：声音太小，没有评判"),
       QStringLiteral("声音太小（最响 -59 dBFS，只比噪声高 3 dB）：请靠近麦克风，或调高输入音量"),
       kWaitingColour},
      {"overloaded", 0.0, -65.0, 40, QStringLiteral("句：4 / 4 个音唱准"),
       QStringLiteral("输入过载（40 个采样削波）：请离麦克风远一点，或调低输入音量"), kHitColour},
      {"good", -20.0, -65.0, 0, QStringLiteral("句：4 / 4 个音唱准"), QString(), kHitColour},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(RunUntil([&] { return ear != nullptr && ear->taking; }));
    // Room noise before and after the phrase, the voice over its notes.
    ear->HearFrames(0, 400, 0, c.noiseDb, 0);
    const std::vector<listening::TargetNote>& targets = panel.Targets();
    for (const listening::TargetNote& target : targets)
      ear->HearFrames(target.startMs + 400, target.endMs + 400, 100.0 * target.pitch, c.voiceDb,
                      target.index == 0 ? c.clipped : 0);
    ear->HearFrames(targets.back().endMs + 400, targets.back().endMs + 800, 0, c.noiseDb, 0);
    ASSERT_TRUE(RunUntil([&] { return panel.Judged(); }));
    EXPECT_TRUE(panel.Caption().endsWith(c.caption)) << panel.Caption().toStdString();
    EXPECT_EQ(panel.LevelAdvice(), c.advice);
    for (const CSingBackPanel::NoteView& view : panel.NoteViews()) {
      EXPECT_EQ(view.colour, c.colour);
      if (c.colour == kWaitingColour) {
        EXPECT_TRUE(view.mark.isEmpty());
      }
    }
  }
}

}  // namespace

// The learner's turn is said in the panel the learner watches, not only in the caption.
TEST_F(SingBackPanelTest, ThePanelSaysPleaseSingWhileItListens) {
  StartWithEar("s=100,1,1,1,2,1,3,1,5");
  dlg->Click(IDC_SING_BACK);
  ASSERT_NE(ear, nullptr);
  const CSingBackPanel& panel = dlg->SingBackPanel();
  ASSERT_TRUE(RunUntil([&] { return panel.Row() == 0; }));
  EXPECT_EQ(panel.Caption(), QStringLiteral("第 1 句")) << "the phrase plays first";
  ASSERT_TRUE(RunUntil([&] { return ear->taking; }));
  EXPECT_EQ(panel.Caption(), QStringLiteral("第 1 句：请唱"));
  QCoreApplication::processEvents();
  EXPECT_TRUE(dlg->windowTitle().contains(QStringLiteral("请唱")));
  SingTheTake({0.0, 0.0, 0.0, 0.0});
  ASSERT_TRUE(RunUntil([&] { return panel.Judged(); }));
  EXPECT_EQ(panel.Caption(), QStringLiteral("第 1 句：4 / 4 个音唱准"));
}
