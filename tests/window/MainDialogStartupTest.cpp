// Start-up: the MIDI device's boxes, the built-in score loaded silently, the edit box
// empty, the focus on the practice button, no timer running; and how the dialog ends.

#include <QTest>
#include <ostream>

#include "TestDialog.h"
#include "files/ProgramFolder.h"
#include "tests/support/FileBytes.h"
#include "window/DialogLayout.h"
#include "window/UserSettings.h"

struct StartupCase {
  const char* name;
  int deviceCount;
  const char* openError;
  int opens;
  std::vector<BoxCall> boxes;
};

// Cases print as their names in test listings.
void PrintTo(const StartupCase& c, std::ostream* out) { *out << c.name; }

void WriteBytes(const QString& path, const std::string& bytes) {
  ASSERT_TRUE(testsupport::WriteFileBytes(path.toStdString(), bytes));
}

class StartupTest : public DialogTest, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(StartupTest, DeviceThenBuiltInScore) {
  const StartupCase& c = GetParam();
  dlg->deviceCount = c.deviceCount;
  dlg->openError = c.openError;
  Start();

  EXPECT_EQ(dlg->opens, c.opens);
  ASSERT_EQ(dlg->boxes.size(), c.boxes.size());
  for (size_t i = 0; i < c.boxes.size(); ++i) {
    EXPECT_EQ(dlg->boxes[i].text, c.boxes[i].text);
    EXPECT_EQ(dlg->boxes[i].caption, c.boxes[i].caption);
    EXPECT_EQ(dlg->boxes[i].icon, c.boxes[i].icon);
  }

  // The built-in score is loaded, phrase 0 laid out, nothing plays.
  const CPlayer& player = dlg->Player();
  EXPECT_EQ(player.LoadedScore().phraseCount, 4);
  const EventTimeline& timeline = player.Timeline();
  ASSERT_EQ(timeline.count, 9);
  const int32_t times[] = {0, 300, 600, 900, 1200, 1500, 1800, 2100, 2700};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(timeline.events[i].timeMs, times[i]) << i;
  EXPECT_EQ(timeline.events[0].pitch, 60);
  EXPECT_EQ(timeline.cursor, 0);
  EXPECT_EQ(player.TimerRunning(), 0);
  EXPECT_EQ(player.Mode(), PracticeMode);
  EXPECT_FALSE(dlg->fake.timerSet);
  EXPECT_TRUE(dlg->fake.SentSince().empty());

  EXPECT_TRUE(dlg->scoreText.empty());
  EXPECT_TRUE(dlg->ScoreEdit()->toPlainText().isEmpty());
  EXPECT_EQ(dlg->focusWidget(), dlg->Button(IDC_PRACTICE));
  EXPECT_FALSE(dlg->windowIcon().isNull());
}

INSTANTIATE_TEST_SUITE_P(
    Devices, StartupTest,
    ::testing::Values(
        StartupCase{"NoDevice",
                    0,
                    nullptr,
                    0,
                    {{"No MIDI output devices available.", "Warning", QMessageBox::Warning}}},
        StartupCase{"DeviceOpens", 2, nullptr, 1, {}},
        StartupCase{"OpenFails",
                    1,
                    "The MIDI output device is busy.",
                    1,
                    {{"The MIDI output device is busy.", "Error", QMessageBox::Critical}}}),
    [](const ::testing::TestParamInfo<StartupCase>& info) { return info.param.name; });

TEST_F(DialogTest, WithoutDeviceEveryPlayButtonStillWorks) {
  // The real platform behind the device: nothing opened, notes dropped, no box but the
  // warning, and the window's own timer runs while playing.
  dlg = std::make_unique<TestDlg>(TestDlg::kRealPlatform);
  Start();
  ASSERT_EQ(dlg->boxes.size(), 1u);
  EXPECT_FALSE(dlg->WindowPlatform()->Timer1().isActive());  // idle: no timer wakes the program

  dlg->Click(IDC_PLAY_ALL);
  EXPECT_TRUE(dlg->WindowPlatform()->Timer1().isActive());
  EXPECT_EQ(dlg->WindowPlatform()->Timer1().interval(), 10);
  EXPECT_EQ(dlg->WindowPlatform()->Timer1().timerType(), Qt::PreciseTimer);
  dlg->Player().OnTimer(1);  // the first events go to the closed device and are dropped
  EXPECT_GT(dlg->Player().Timeline().cursor, 0);

  dlg->Click(IDC_PAUSE);
  EXPECT_FALSE(dlg->WindowPlatform()->Timer1().isActive());
  dlg->Click(IDC_CONTINUE);
  EXPECT_TRUE(dlg->WindowPlatform()->Timer1().isActive());
  dlg->Click(IDC_REPEAT);
  EXPECT_EQ(dlg->Player().Mode(), RepeatMode);
  dlg->Click(IDC_PAUSE);
  EXPECT_FALSE(dlg->WindowPlatform()->Timer1().isActive());
  EXPECT_EQ(dlg->boxes.size(), 1u);
}

TEST_F(DialogTest, RealClockIsMonotonicMilliseconds) {
  dlg = std::make_unique<TestDlg>(TestDlg::kRealPlatform);
  dlg->deviceCount = 1;
  Start();
  const int32_t first = dlg->WindowPlatform()->ClockMs();
  const int32_t second = dlg->WindowPlatform()->ClockMs();
  EXPECT_GE(first, 0);
  EXPECT_GE(second, first);
}

// What the box holds is kept in the data folder as it changes and comes back, byte for byte,
// at the next start; the loaded score stays the built-in one until the load button.
TEST_F(DialogTest, TheBoxTextComesBackAtTheNextStart) {
  Start();
  const std::string kept = UserDataFolder() + "box.txt";
  EXPECT_EQ(KeptBoxTextPath(), kept);
  // A file's bare LF line break, then a typed one (CR LF).
  WriteBytes(PathOf("song.txt"), "/*\xE4\xB8\xAD*/1,1\n1,2");
  dlg->fileAnswer = PathOf("song.txt");
  dlg->Click(IDC_READ_TEXT);
  QTest::keyClick(dlg->ScoreEdit(), Qt::Key_End, Qt::ControlModifier);
  QTest::keyClick(dlg->ScoreEdit(), Qt::Key_Return);
  QTest::keyClicks(dlg->ScoreEdit(), QStringLiteral("1,3"));
  const std::string text = "/*\xE4\xB8\xAD*/1,1\n1,2\r\n1,3";
  // Written once typing pauses, while the window stands.
  EXPECT_TRUE(QTest::qWaitFor([&] { return testsupport::ReadFileBytes(kept) == text; },
                              CBoxTextKeeper::kDelayMs + 5000));

  // Typed, and the window ends at once (Escape): the last change is kept too.
  QTest::keyClicks(dlg->ScoreEdit(), QStringLiteral(",1,4"));
  QTest::keyClick(dlg.get(), Qt::Key_Escape);
  dlg.reset();
  EXPECT_EQ(testsupport::ReadFileBytes(kept), text + ",1,4");

  dlg = std::make_unique<TestDlg>();
  dlg->deviceCount = 1;
  Start();
  EXPECT_EQ(dlg->scoreText, text + ",1,4");
  EXPECT_EQ(dlg->ScoreEdit()->toPlainText(), QStringLiteral("/*中*/1,1\n1,2\n1,3,1,4"));
  EXPECT_EQ(dlg->Player().LoadedScore().phraseCount, 4) << "the built-in score until loaded";
  dlg->Click(IDC_LOAD);
  EXPECT_EQ(dlg->Player().LoadedScore().phraseCount, 1);

  // Cleared, the box comes back empty.
  dlg->Click(IDC_CLEAR);
  dlg.reset();
  EXPECT_EQ(testsupport::ReadFileBytes(kept), "");
  dlg = std::make_unique<TestDlg>();
  Start();
  EXPECT_TRUE(dlg->ScoreEdit()->toPlainText().isEmpty());
}

// As the program starts it, the dialog is on the screen before the device opens: the device
// (or the box saying why there is none) comes once the dialog has first been painted, and
// the built-in score is loaded before it.
TEST_F(DialogTest, TheDeviceOpensBehindTheShownWindow) {
  for (int deviceCount : {1, 0}) {
    SCOPED_TRACE(deviceCount);
    dlg = std::make_unique<TestDlg>();
    dlg->SideFiles() = CSideFileWriter(folder.path(), folder.path());
    dlg->deviceCount = deviceCount;
    dlg->OnInitDialog(/*deviceBehindWindow=*/true);
    EXPECT_EQ(dlg->Player().LoadedScore().phraseCount, 4);
    dlg->show();
    QCoreApplication::processEvents();
    dlg->repaint();  // the first paint, whenever the platform would have asked for it
    EXPECT_EQ(dlg->opens + dlg->boxes.size(), 0u) << "nothing before the paint is done";
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg->opens, deviceCount);
    EXPECT_EQ(dlg->boxes.size(), deviceCount == 0 ? 1u : 0u);
    dlg->repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg->opens, deviceCount) << "once only";
  }
}

TEST_F(DialogTest, EscapeEndsTheDialog) {
  Start();
  ASSERT_TRUE(dlg->isVisible());
  QTest::keyClick(dlg.get(), Qt::Key_Escape);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(dlg->result(), QDialog::Rejected);
}

TEST_F(DialogTest, CloseBoxEndsTheDialog) {
  Start();
  dlg->close();
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(dlg->result(), QDialog::Rejected);
}

TEST_F(DialogTest, WindowCommandsRouteAboutAndDefault) {
  Start();
  struct {
    unsigned id;
    int aboutBoxes;
    bool visible;
  } const cases[] = {
      {0x0010, 1, true},  {0x0011, 2, true}, {0x001F, 3, true},  // About, low bits ignored
      {0x0020, 3, true},  {0xF010, 3, true}, {0xF020, 3, true},  // others: default handling
      {0xF060, 3, false},                                        // close ends the dialog
  };
  for (const auto& c : cases) {
    dlg->OnSysCommand(c.id);
    EXPECT_EQ(dlg->aboutBoxes, c.aboutBoxes) << std::hex << c.id;
    EXPECT_EQ(dlg->isVisible(), c.visible) << std::hex << c.id;
  }
}
