// Each button reaches its command, and the load command's two quiet cases: a bad text
// shows the parser's message and leaves playback alone; an empty box does nothing.

#include <QTest>
#include <functional>
#include <ostream>

#include "TestDialog.h"
#include "playback/Player.h"
#include "window/DialogLayout.h"

namespace {

constexpr uint32_t NoteOn(int key) { return 0x90u | (uint32_t(key) << 8) | (127u << 16); }

struct RouteCase {
  const char* name;
  int id;
  std::function<void(TestDlg&)> before;
  std::function<void(TestDlg&)> check;
};

// Cases print as their names in test listings.
void PrintTo(const RouteCase& c, std::ostream* out) { *out << c.name; }

class RouteTest : public DialogTest, public ::testing::WithParamInterface<RouteCase> {};

TEST_P(RouteTest, ButtonReachesItsCommand) {
  const RouteCase& c = GetParam();
  Start();
  if (c.before) c.before(*dlg);
  dlg->Click(c.id);
  c.check(*dlg);
}

const RouteCase kRoutes[] = {
    {"Practice", IDC_PRACTICE, nullptr,
     [](TestDlg& d) {
       // Reference note, two-second wait, then the first pass starts.
       EXPECT_EQ(d.Player().Mode(), PracticeMode);
       EXPECT_EQ(d.fake.SentSince(), std::vector<uint32_t>{NoteOn(60)});
       EXPECT_EQ(d.Player().Phase(), PlayerPhase::kReferenceWait);  // waited out on the timer
       EXPECT_TRUE(d.fake.timerSet);
       EXPECT_EQ(d.Player().StepIndex(), 1);
     }},
    {"Continue", IDC_CONTINUE, nullptr,
     [](TestDlg& d) {
       EXPECT_TRUE(d.fake.timerSet);
       EXPECT_EQ(d.Player().TimerRunning(), 1);
       EXPECT_EQ(d.Player().Mode(), PracticeMode);
       EXPECT_EQ(d.Player().Timeline().count, 9);  // the first phrase, as laid out at start
     }},
    {"Pause", IDC_PAUSE, [](TestDlg& d) { d.Click(IDC_PLAY_ALL); },
     [](TestDlg& d) {
       EXPECT_FALSE(d.fake.timerSet);
       EXPECT_EQ(d.Player().TimerRunning(), 0);
       EXPECT_EQ(d.Player().Mode(), PlayAllMode);
     }},
    {"Teaching", IDC_TEACHING, nullptr,
     [](TestDlg& d) {
       EXPECT_EQ(d.Player().Mode(), TeachingMode);
       EXPECT_EQ(d.Player().PhraseIndex(), 0);
       EXPECT_EQ(d.fake.Script(), std::vector<std::string>({"volume", "timer", "pass"}))
           << "no cue before the first pass";
       EXPECT_TRUE(d.fake.timerSet);
     }},
    {"PlayAll", IDC_PLAY_ALL, nullptr,
     [](TestDlg& d) {
       EXPECT_EQ(d.Player().Mode(), PlayAllMode);
       EXPECT_EQ(d.Player().Timeline().count, 8 + 5 + 9 + 13 + 4);
       EXPECT_TRUE(d.fake.timerSet);
     }},
    {"Repeat", IDC_REPEAT, nullptr,
     [](TestDlg& d) {
       EXPECT_EQ(d.Player().Mode(), RepeatMode);
       EXPECT_TRUE(d.fake.timerSet);
     }},
    {"Restore", IDC_RESTORE,
     [](TestDlg& d) {
       d.SetEditText(QStringLiteral("1,1"));
       d.Click(IDC_LOAD);
     },
     [](TestDlg& d) {
       EXPECT_EQ(d.Player().LoadedScore().phraseCount, 4);
       EXPECT_EQ(d.Player().Mode(), PlayAllMode);
       EXPECT_EQ(d.ScoreEdit()->toPlainText(), QStringLiteral("1,1"));  // box untouched
     }},
    {"Load", IDC_LOAD, [](TestDlg& d) { d.SetEditText(QStringLiteral("1,1,1,2\n|1,3")); },
     [](TestDlg& d) {
       EXPECT_EQ(d.scoreText, "1,1,1,2\r\n|1,3");
       EXPECT_EQ(d.Player().LoadedScore().phraseCount, 2);
       EXPECT_EQ(d.Player().Mode(), PlayAllMode);
       EXPECT_TRUE(d.fake.timerSet);
     }},
    {"Clear", IDC_CLEAR, [](TestDlg& d) { d.SetEditText(QStringLiteral("1,1")); },
     [](TestDlg& d) {
       EXPECT_TRUE(d.ScoreEdit()->toPlainText().isEmpty());
       EXPECT_TRUE(d.scoreText.empty());
       EXPECT_EQ(d.Player().LoadedScore().phraseCount, 4);  // nothing loaded
     }},
    {"SaveText", IDC_SAVE_TEXT, nullptr,
     [](TestDlg& d) {
       ASSERT_EQ(d.fileDialogs.size(), 1u);
       EXPECT_TRUE(d.fileDialogs[0].save);
       EXPECT_EQ(d.fileDialogs[0].filter, QStringLiteral("文本文件(*.txt)"));
       EXPECT_EQ(d.fileDialogs[0].suffix, QStringLiteral("txt"));
     }},
    {"ReadText", IDC_READ_TEXT, nullptr,
     [](TestDlg& d) {
       ASSERT_EQ(d.fileDialogs.size(), 1u);
       EXPECT_FALSE(d.fileDialogs[0].save);
       // Score texts and songs of other formats together first, then each kind alone.
       EXPECT_TRUE(d.fileDialogs[0].filter.startsWith(QStringLiteral("乐谱和歌曲(*.txt *.abc")));
       EXPECT_TRUE(d.fileDialogs[0].filter.contains(QStringLiteral(";;文本文件(*.txt);;")));
       EXPECT_EQ(d.fileDialogs[0].suffix, QStringLiteral("txt"));
     }},
    {"SaveMidi", IDC_SAVE_MIDI, [](TestDlg& d) { d.SetEditText(QStringLiteral("1,5")); },
     [](TestDlg& d) {
       ASSERT_EQ(d.fileDialogs.size(), 1u);
       EXPECT_TRUE(d.fileDialogs[0].save);
       EXPECT_EQ(d.fileDialogs[0].filter, QStringLiteral("mid文件(*.mid)"));
       EXPECT_EQ(d.fileDialogs[0].suffix, QStringLiteral("mid"));
       EXPECT_EQ(d.Player().LoadedScore().phraseCount, 1);
       EXPECT_FALSE(d.fake.timerSet);  // loaded without playing
     }},
};

INSTANTIATE_TEST_SUITE_P(Buttons, RouteTest, ::testing::ValuesIn(kRoutes),
                         [](const ::testing::TestParamInfo<RouteCase>& info) {
                           return info.param.name;
                         });

TEST_F(DialogTest, EnterPressesTheFocusedButtonOnly) {
  Start();
  dlg->Button(IDC_PLAY_ALL)->setFocus();
  QTest::keyClick(dlg->Button(IDC_PLAY_ALL), Qt::Key_Return);
  EXPECT_EQ(dlg->Player().Mode(), PlayAllMode);
  EXPECT_TRUE(dlg->isVisible());

  // In the edit box Enter breaks the line and presses nothing.
  dlg->Click(IDC_PAUSE);
  dlg->ScoreEdit()->setFocus();
  QTest::keyClick(dlg->ScoreEdit(), Qt::Key_Return);
  EXPECT_EQ(dlg->ScoreEdit()->toPlainText(), QStringLiteral("\n"));
  EXPECT_FALSE(dlg->fake.timerSet);
  EXPECT_TRUE(dlg->isVisible());
}

TEST_F(DialogTest, ContinuePlaysTheBuiltInFirstPhraseOnTheClock) {
  Start();
  dlg->Click(IDC_CONTINUE);
  dlg->Player().OnTimer(1);
  EXPECT_EQ(dlg->fake.SentSince(), std::vector<uint32_t>{NoteOn(60)});
  dlg->fake.nowMs += 300;
  dlg->Player().OnTimer(1);
  EXPECT_EQ(dlg->fake.SentSince(), (std::vector<uint32_t>{NoteOn(60), NoteOn(62)}));
}

TEST_F(DialogTest, BadTextShowsTheParserMessageAndLeavesPlaybackAlone) {
  Start();
  dlg->Click(IDC_PLAY_ALL);
  dlg->fake.nowMs += 1000;
  dlg->Player().OnTimer(1);
  const int32_t cursor = dlg->Player().Timeline().cursor;
  const int32_t count = dlg->Player().Timeline().count;

  dlg->SetEditText(QStringLiteral("1,1|2,1"));
  dlg->Click(IDC_LOAD);

  ASSERT_EQ(dlg->boxes.size(), 1u);
  EXPECT_EQ(dlg->boxes[0].text, QStringLiteral("error timeing001!"));
  EXPECT_EQ(dlg->boxes[0].caption, QStringLiteral("Tunwick"));
  EXPECT_EQ(dlg->boxes[0].icon, QMessageBox::NoIcon);
  EXPECT_TRUE(dlg->fake.timerSet);
  EXPECT_EQ(dlg->Player().TimerRunning(), 1);
  EXPECT_EQ(dlg->Player().Mode(), PlayAllMode);
  EXPECT_EQ(dlg->Player().Timeline().cursor, cursor);
  EXPECT_EQ(dlg->Player().Timeline().count, count);
  EXPECT_EQ(dlg->Player().LoadedScore().phraseCount, 4);
}

TEST_F(DialogTest, EmptyBoxLoadSaysSoAndDoesNothing) {
  Start();
  const size_t calls = dlg->fake.calls.size();
  // Empty, or comments and spaces alone: no phrase to load.
  for (const QString& text : {QString(), QStringLiteral(" /*小星星*/ \n")}) {
    dlg->boxes.clear();
    dlg->SetEditText(text);
    dlg->Click(IDC_LOAD);
    ASSERT_EQ(dlg->boxes.size(), 1u) << text.toStdString();
    EXPECT_EQ(dlg->boxes[0].text, QStringLiteral("乐谱里没有乐句。乐谱没有装入。"));
    EXPECT_EQ(dlg->boxes[0].caption, QStringLiteral("Tunwick"));
  }
  EXPECT_EQ(dlg->fake.calls.size(), calls);
  EXPECT_EQ(dlg->Player().Mode(), PracticeMode);
  EXPECT_EQ(dlg->Player().Timeline().count, 9);
  EXPECT_EQ(dlg->Player().LoadedScore().phraseCount, 4);
}

TEST_F(DialogTest, LoadedChineseCommentsReachTheParserAsText) {
  Start();
  dlg->SetEditText(QStringLiteral("/*小星星*/1,1,1,1,1,5"));
  dlg->Click(IDC_LOAD);
  EXPECT_TRUE(dlg->boxes.empty());
  EXPECT_EQ(dlg->Player().LoadedScore().phraseCount, 1);
  EXPECT_EQ(dlg->Player().LoadedScore().phrases[0].noteCount, 3);
}

}  // namespace

namespace {

TEST_F(DialogTest, PracticeReturnsAtOnceAndTheWindowAnswersDuringTheWait) {
  // The real window platform: the two-second wait runs on the window's own timer.
  dlg = std::make_unique<TestDlg>(TestDlg::kRealPlatform);
  Start();
  dlg->Click(IDC_PRACTICE);
  // The command came back with the wait still ahead: nothing of it was spent inside.
  EXPECT_EQ(dlg->Player().Phase(), PlayerPhase::kReferenceWait);
  EXPECT_TRUE(dlg->WindowPlatform()->Timer1().isActive());

  // A key typed now reaches the box while the wait runs.
  dlg->ScoreEdit()->setFocus();
  QTest::keyClicks(dlg->ScoreEdit(), QStringLiteral("1,5"));
  QCoreApplication::processEvents();
  EXPECT_EQ(dlg->ScoreEdit()->toPlainText(), QStringLiteral("1,5"));
  EXPECT_EQ(dlg->Player().Phase(), PlayerPhase::kReferenceWait) << "typed before the wait ends";

  // Pause answers at once too, in the middle of the wait.
  dlg->Click(IDC_PAUSE);
  EXPECT_FALSE(dlg->WindowPlatform()->Timer1().isActive());
  EXPECT_FALSE(dlg->Player().Playing());
}

TEST_F(DialogTest, TheFakeClockRunsTheWaitTickByTick) {
  Start();
  dlg->Click(IDC_PRACTICE);
  const int32_t began = dlg->fake.nowMs;
  while (dlg->Player().Phase() == PlayerPhase::kReferenceWait) dlg->Tick();
  EXPECT_EQ(dlg->Player().StartTick(), began + 2000);
  EXPECT_EQ(dlg->fake.SentSince(), (std::vector<uint32_t>{NoteOn(60), NoteOn(60)}))
      << "the reference note, then the pass's first note at the wait's end";
}

}  // namespace
