// How strictly sing-back judges: the learner's choice in the panel judges the takes and is
// kept in the settings for the next start.
#include "SingBackFixture.h"
#include "panel/ToleranceBox.h"
#include "window/SingBackSession.h"
#include "window/UserSettings.h"

namespace {

using singbacktest::kThreePhrases;

TEST_F(SingBackPanelTest, TheToleranceChosenJudgesTheTakesAndIsKeptInTheSettings) {
  // The other tests judge at the normal tolerance: the setting goes when this test ends.
  struct Forget {
    ~Forget() { OpenUserSettings()->remove(QString::fromUtf8(kToleranceSetting)); }
  } forget;
  StartWithEar(kThreePhrases);
  EXPECT_EQ(dlg->SingBackPanel().Tolerance(), listening::Tolerance::kNormal);
  EXPECT_EQ(dlg->SingBackPanel().ToleranceBox().currentIndex(), 1);
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
    QComboBox& box = dlg->SingBackPanel().ToleranceBox();
    box.setCurrentIndex(c.index);
    emit box.activated(c.index);
    EXPECT_EQ(ear->tolerance, c.tolerance);
    EXPECT_EQ(OpenUserSettings()->value(QString::fromUtf8(kToleranceSetting)).toString(),
              QString::fromUtf8(c.stored));
    ASSERT_TRUE(RunUntil([&] { return ear != nullptr && ear->taking; }));
    SingTheTake({35.0, -80.0, -35.0, 80.0});
    ASSERT_TRUE(RunUntil([&] { return dlg->SingBackPanel().Judged(); }));
    EXPECT_EQ(dlg->SingBackPanel().Judgement().hits, c.hits);
    EXPECT_EQ(dlg->SingBackPanel().Judgement().hitCents, listening::ToleranceCents(c.tolerance));
  }

  // A new window starts with the choice kept, and its ear judges with it.
  OpenUserSettings()->setValue(QString::fromUtf8(kToleranceSetting), QStringLiteral("easy"));
  dlg.reset();
  dlg = std::make_unique<TestDlg>();
  dlg->SideFiles() = CSideFileWriter(folder.path(), folder.path());
  dlg->deviceCount = 1;
  StartWithEar(kThreePhrases);
  EXPECT_EQ(dlg->SingBackPanel().Tolerance(), listening::Tolerance::kEasy);
  EXPECT_EQ(dlg->SingBackPanel().ToleranceBox().currentIndex(), 2);
  dlg->Click(IDC_SING_BACK);
  ASSERT_NE(ear, nullptr);
  EXPECT_EQ(ear->tolerance, listening::Tolerance::kEasy);
}

}  // namespace
