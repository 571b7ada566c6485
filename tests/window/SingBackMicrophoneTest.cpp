// The microphone in sing-back: the button opens it or says why it cannot, the level meter
// runs while it is open, and pausing or the exercise's end lets it go.
#include "SingBackFixture.h"
#include "panel/LevelMeter.h"

namespace {

TEST_F(SingBackPanelTest, WithoutAnInputTheButtonSaysWhyAndStartsNothing) {
  Start();
  dlg->Player().OnPause();
  dlg->boxes.clear();
  dlg->Click(IDC_SING_BACK);
  ASSERT_EQ(dlg->boxes.size(), 1u);
  EXPECT_TRUE(dlg->boxes[0].text.startsWith(QStringLiteral("No audio input device is available")));
  EXPECT_TRUE(dlg->boxes[0].text.contains(QStringLiteral("ALSA: no capture device")));
  EXPECT_EQ(dlg->boxes[0].icon, QMessageBox::Warning);
  EXPECT_FALSE(dlg->Player().Position().playing);
  EXPECT_NE(dlg->Player().Position().mode, SingBackMode);
  EXPECT_EQ(dlg->Ear(), nullptr);
  EXPECT_FALSE(dlg->SingBackPanel().isVisible());
  // A second press tries the input again rather than remembering the failure.
  dlg->Click(IDC_SING_BACK);
  EXPECT_EQ(dlg->earsMade, 2);
  EXPECT_EQ(dlg->boxes.size(), 2u);
}

TEST_F(SingBackPanelTest, TheLevelMeterRunsFromTheMicrophoneOpeningUntilTheTakeEnds) {
  StartWithEar("s=100,1,1,1,2,1,3,1,5");
  dlg->Click(IDC_SING_BACK);
  ASSERT_NE(ear, nullptr);
  const CSingBackPanel& panel = dlg->SingBackPanel();
  // From the moment the microphone opens, before the phrase has played.
  EXPECT_TRUE(panel.Metering());
  ear->Hear(-20.0, false);
  dlg->SingBackPanel().PollLevel();
  EXPECT_DOUBLE_EQ(panel.MeterDb(), -20.0);
  EXPECT_FALSE(panel.ClipShown());
  // The bar falls back slowly from a peak; a clip lights the mark, which holds.
  dlg->SingBackPanel().PollLevel();
  EXPECT_LT(panel.MeterDb(), -20.0);
  EXPECT_GT(panel.MeterDb(), -21.0);
  ear->Hear(0.0, true);
  dlg->SingBackPanel().PollLevel();
  dlg->SingBackPanel().PollLevel();
  EXPECT_TRUE(panel.ClipShown());

  // Through the cue (the learner sets the microphone, the mark starts afresh) and the take.
  ASSERT_TRUE(RunUntil([&] { return dlg->Player().Position().phase == PlayerPhase::kCue; }));
  EXPECT_TRUE(panel.Metering());
  EXPECT_FALSE(panel.ClipShown());
  ASSERT_TRUE(RunUntil([&] { return ear->taking; }));
  QCoreApplication::processEvents();
  EXPECT_TRUE(panel.Metering());
  for (int i = 0; i < 200; ++i) dlg->SingBackPanel().PollLevel();
  EXPECT_LT(panel.MeterDb(), kLevelMeterFloorDb) << "fallen back in silence";
  ear->Hear(-3.0, false);
  dlg->SingBackPanel().PollLevel();
  EXPECT_DOUBLE_EQ(panel.MeterDb(), -3.0);
  SingTheTake({0.0, 0.0, 0.0, 0.0});
  // The take ends: the meter stops and shows nothing.
  ASSERT_TRUE(RunUntil([&] { return panel.Judged(); }));
  EXPECT_FALSE(panel.Metering());
  EXPECT_LE(panel.MeterDb(), listening::kSilentDb);
  // Paused, the microphone goes and the meter with it.
  dlg->Click(IDC_PAUSE);
  QCoreApplication::processEvents();
  EXPECT_FALSE(panel.Metering());
}

TEST_F(SingBackPanelTest, PausingLetsTheMicrophoneGoAndANewPhraseClearsTheVerdicts) {
  StartWithEar("s=100,1,1,1,2|1,5,1,6");
  dlg->Click(IDC_SING_BACK);
  ASSERT_NE(ear, nullptr);
  const CSingBackPanel& panel = dlg->SingBackPanel();
  ASSERT_TRUE(RunUntil([&] { return ear->taking; }));
  SingTheTake({0.0, 5.0});
  ASSERT_TRUE(RunUntil([&] { return panel.Judged(); }));

  EXPECT_EQ(panel.Row(), 0);
  EXPECT_EQ(panel.Judgement().hits, 2);
  // Passed: the verdicts stay in view while the second phrase plays; its notes replace them
  // when the learner is to sing it.
  ASSERT_TRUE(RunUntil([&] { return dlg->Player().Position().phrase == 1; }));
  EXPECT_EQ(panel.Row(), 0);
  EXPECT_TRUE(panel.Judged());
  ASSERT_TRUE(RunUntil([&] { return panel.Row() == 1; }));
  EXPECT_FALSE(panel.Judged());
  EXPECT_TRUE(panel.Sung().empty());
  ASSERT_EQ(panel.Targets().size(), 2u);
  EXPECT_EQ(panel.Targets()[0].pitch, 67);

  ASSERT_TRUE(RunUntil([&] { return ear->taking; }));
  QCoreApplication::processEvents();
  EXPECT_TRUE(panel.Polling());
  dlg->Click(IDC_PAUSE);
  EXPECT_FALSE(ear->taking);
  QCoreApplication::processEvents();
  EXPECT_FALSE(panel.Polling());
  // Paused, the microphone is let go; Continue opens it again and the same try starts
  // afresh after the cue.
  EXPECT_EQ(ear, nullptr);
  EXPECT_EQ(dlg->Ear(), nullptr);
  EXPECT_EQ(earsLetGo, 1);
  dlg->Click(IDC_CONTINUE);
  ASSERT_NE(ear, nullptr);
  EXPECT_EQ(dlg->earsMade, 2);
  ASSERT_TRUE(RunUntil([&] { return ear != nullptr && ear->taking; }));
  EXPECT_EQ(dlg->Player().Position().phrase, 1);
  EXPECT_EQ(dlg->Player().Position().pass, 1);
  SingTheTake({0.0, 0.0});
  ASSERT_TRUE(RunUntil([&] { return panel.Judged(); }));

  // The exercise is over: the microphone goes, and Continue neither opens it nor plays.
  QCoreApplication::processEvents();
  EXPECT_FALSE(dlg->Player().Position().playing);
  EXPECT_EQ(ear, nullptr);
  EXPECT_EQ(earsLetGo, 2);
  dlg->Click(IDC_CONTINUE);
  EXPECT_EQ(dlg->earsMade, 2);
  EXPECT_FALSE(dlg->Player().Position().playing);
  EXPECT_TRUE(panel.Judged()) << "the last verdicts stay in view";
}

}  // namespace
