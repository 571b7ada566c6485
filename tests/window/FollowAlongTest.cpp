// Follow-along in the score box and the caption, on the fake platform: what is lit is what
// sounds, and nothing is lit once the box no longer holds what was loaded.
#include <QCoreApplication>
#include <QStringList>
#include <QTest>
#include <ostream>
#include <vector>

#include "TestDialog.h"
#include "jianpu/SheetPainter.h"
#include "playback/Player.h"
#include "tests/support/FileBytes.h"
#include "window/DialogLayout.h"
#include "window/FollowAlong.h"
#include "window/PlayCaption.h"
#include "window/ScoreView.h"

// Failure messages show texts, not their bytes.
inline void PrintTo(const QString& text, std::ostream* out) { *out << text.toStdString(); }

namespace {

class FollowAlongTest : public DialogTest {
 protected:
  // Moves the fake clock by `ms` one millisecond at a time, ticking each, so that notes a
  // few milliseconds apart are each seen; then lets the window update.
  void Run(int ms) {
    for (int i = 0; i < ms && dlg->fake.timerSet; ++i) {
      dlg->fake.nowMs += 1;
      dlg->Player().OnTimer(1);
      QCoreApplication::processEvents();
      Record();
    }
  }
  // The box text of each set of ranges lit for the notes, as it changes.
  void Record() {
    const CFollowAlong& follow = dlg->FollowAlong();
    QStringList now;
    std::vector<int> starts;
    for (const CFollowAlong::Range& r : follow.NoteRanges()) {
      now << Text(r);
      starts.push_back(r.start);
    }
    if (!now.isEmpty() && starts != lastStarts) lit << now.join(QLatin1Char('+'));
    lastStarts = starts;
  }
  QString Text(CFollowAlong::Range r) const {
    return dlg->ScoreEdit()->toPlainText().mid(r.start, r.end - r.start);
  }
  QString PhraseText() const { return Text(dlg->FollowAlong().PhraseRange()); }
  int SelectionCount() const { return dlg->ScoreEdit()->extraSelections().size(); }

  QStringList lit;
  std::vector<int> lastStarts;
};

// The note pairs of a one-voice score in the order they sound: "length,degree" each.
QStringList NotePairs(QString text) {
  text.remove(QStringLiteral("s=100,"));
  QStringList pairs;
  for (const QString& phrase : text.split(QLatin1Char('|'))) {
    const QStringList numbers = phrase.split(QLatin1Char(','));
    for (int i = 0; i + 1 < numbers.size(); i += 2) pairs << numbers[i] + "," + numbers[i + 1];
  }
  return pairs;
}

TEST_F(FollowAlongTest, EachNoteOfTheBuiltInScoreLightsItsOwnTwoNumbersAtItsTime) {
  Start();
  const QString text = QString::fromLatin1(kBuiltInScore);
  dlg->SetEditText(text);
  dlg->Click(IDC_LOAD);
  QCoreApplication::processEvents();
  ASSERT_TRUE(dlg->FollowAlong().HasSource());
  Run(20000);
  EXPECT_EQ(lit, NotePairs(text));
}

TEST_F(FollowAlongTest, LightsTheWholePhraseAndEveryNoteOfAChordAcrossLinesAndComments) {
  Start();
  // CR LF line breaks, a comment with Chinese text, a chord (length 0 joins the next note).
  dlg->SetEditText(QStringLiteral("/*小星星*/1,1\n|0,1,0,3,1,5\n|1,2"));
  dlg->Click(IDC_LOAD);
  Run(700);  // into the chord of the second phrase (500 ms a beat)
  EXPECT_EQ(PhraseText(), QStringLiteral("0,1,0,3,1,5\n"));
  EXPECT_EQ(lit.value(1), QStringLiteral("0,1+0,3+1,5"));
  EXPECT_EQ(lit.value(0), QStringLiteral("1,1"));
  EXPECT_EQ(SelectionCount(), 4) << "the phrase and its three notes";
}

TEST_F(FollowAlongTest, RestsAreLitToo) {
  Start();
  dlg->SetEditText(QStringLiteral("1,1,1,0,1,2"));
  dlg->Click(IDC_LOAD);
  Run(2000);
  EXPECT_EQ(lit, QStringList({"1,1", "1,0", "1,2"}));
}

TEST_F(FollowAlongTest, EditingTheBoxOrPlayingTheBuiltInScoreLightsNothing) {
  Start();
  dlg->SetEditText(QStringLiteral("1,1,1,2,1,3"));
  dlg->Click(IDC_LOAD);
  Run(100);
  EXPECT_EQ(SelectionCount(), 2);

  const QTextCursor caret = dlg->ScoreEdit()->textCursor();
  QTest::keyClick(dlg->ScoreEdit(), Qt::Key_End);
  QTest::keyClicks(dlg->ScoreEdit(), QStringLiteral(",1,4"));
  Run(700);  // the second note sounds, but the text no longer matches
  EXPECT_EQ(SelectionCount(), 0);
  EXPECT_FALSE(dlg->FollowAlong().HasSource());

  dlg->Click(IDC_LOAD);  // the edited text, loaded again, is followed again
  Run(100);
  EXPECT_EQ(SelectionCount(), 2);
  dlg->Click(IDC_RESTORE);
  Run(100);
  EXPECT_EQ(SelectionCount(), 0) << "the built-in score is not the box's text";
  (void)caret;
}

TEST_F(FollowAlongTest, HighlightNeverMovesTheCaretOrChangesTheText) {
  Start();
  const QString text = QStringLiteral("1,1,1,2|1,3,1,4");
  dlg->SetEditText(text);
  QTextCursor caret = dlg->ScoreEdit()->textCursor();
  caret.setPosition(3);
  dlg->ScoreEdit()->setTextCursor(caret);
  dlg->Click(IDC_LOAD);
  Run(3000);
  EXPECT_EQ(dlg->ScoreEdit()->textCursor().position(), 3);
  EXPECT_FALSE(dlg->ScoreEdit()->textCursor().hasSelection());
  EXPECT_EQ(dlg->ScoreEdit()->toPlainText(), text);
  EXPECT_TRUE(dlg->FollowAlong().HasSource());
}

TEST_F(FollowAlongTest, PracticeKeepsThePhraseLitThroughTheWaitAndTheCue) {
  Start();
  dlg->fake.cueLengthMs = 600;
  dlg->SetEditText(QStringLiteral("1,1,1,2|1,3"));
  dlg->Click(IDC_LOAD);
  dlg->Click(IDC_PRACTICE);
  Run(50);  // inside the reference wait
  EXPECT_EQ(PhraseText(), QStringLiteral("1,1,1,2"));
  EXPECT_TRUE(dlg->FollowAlong().NoteRanges().empty());
  Run(2000 + 1300);  // the pass, then the cue
  ASSERT_EQ(dlg->Player().Phase(), PlayerPhase::kCue);
  EXPECT_EQ(PhraseText(), QStringLiteral("1,1,1,2"));
}

TEST_F(FollowAlongTest, CaptionSaysModePhrasePassAndSemitonesAndIsPlainWhenIdle) {
  Start();
  EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Tunwick"));
  struct Case {
    int button;
    int ms;
    const char* caption;
  } const cases[] = {
      {IDC_PLAY_ALL, 3000, "Tunwick — 演奏全部 · 第 2/4 句"},
      {IDC_REPEAT, 100, "Tunwick — 反复演奏 · 第 1/4 句"},
      {IDC_TEACHING, 100, "Tunwick — 教歌模式 · 第 1/4 句 · 第 1/2 遍"},
      {IDC_PRACTICE, 100, "Tunwick — 练音模式 · 第 1/4 句 · 第 1/24 遍"},
  };
  for (const Case& c : cases) {
    dlg->Click(c.button);
    Run(c.ms);
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8(c.caption)) << c.button;
  }
  // Practice, later: the fifth pass is two semitones up, after a cue... of its second phrase.
  dlg->Click(IDC_PRACTICE);  // while practising: the next phrase
  Run(100);
  EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Tunwick — 练音模式 · 第 2/4 句 · 第 1/24 遍"));
  dlg->Click(IDC_PAUSE);
  QCoreApplication::processEvents();
  EXPECT_EQ(
      dlg->windowTitle(),
      QStringLiteral("Tunwick — 练音模式 · 第 2/4 句 · 第 1/24 遍 · 已暂停（按继续演奏接着放）"));
}

// While a phrase with words plays, the caption closes with them; a phrase without words, a
// paused or idle caption read as they always have.
TEST_F(FollowAlongTest, TheCaptionShowsThePhrasesWordsWhileItPlays) {
  Start();
  dlg->SetEditText(
      QStringLiteral("/*words: Twin-kle, twin-kle*/s=100,1,1,1,1,1,5,1,5|"
                     "/*词: 一闪一闪*/1,6,1,6,1,5,1,5|1,4,1,4"));
  dlg->Click(IDC_LOAD);
  ASSERT_TRUE(dlg->boxes.empty());
  dlg->Click(IDC_PLAY_ALL);
  Run(100);
  EXPECT_EQ(dlg->windowTitle(),
            QStringLiteral("Tunwick — 演奏全部 · 第 1/3 句 · 「Twinkle, twinkle」"));
  Run(2400);
  EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Tunwick — 演奏全部 · 第 2/3 句 · 「一闪一闪」"));
  dlg->Click(IDC_PAUSE);
  QCoreApplication::processEvents();
  EXPECT_EQ(dlg->windowTitle(),
            QStringLiteral("Tunwick — 演奏全部 · 第 2/3 句 · 已暂停（按继续演奏接着放）"));
  dlg->Click(IDC_CONTINUE);
  Run(2500);
  EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Tunwick — 演奏全部 · 第 3/3 句"));
  Run(3000);
  EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Tunwick"));
  // The built-in score again: its caption has no words.
  dlg->Click(IDC_RESTORE);
  dlg->Click(IDC_PLAY_ALL);
  Run(100);
  EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Tunwick — 演奏全部 · 第 1/4 句"));
}

// A score read from a file is followed whatever its line breaks: the box shows each as a
// line, the text keeps its bytes, and both the box and the score view light what sounds.
TEST_F(FollowAlongTest, AFileReadAndLoadedIsFollowedWhateverItsLineBreaks) {
  Start();
  const std::string lines[] = {"/*\xE8\x8C\x89\xE8\x8E\x89\xE8\x8A\xB1*/", "do=F,1,1,1,2|",
                               "1,3,1,5|", "1,1"};
  const struct {
    const char* name;
    std::string breaks[3];  // between the four lines, as the file holds them
  } cases[] = {
      {"CR LF", {"\r\n", "\r\n", "\r\n"}},
      {"LF", {"\n", "\n", "\n"}},
      {"CR CR LF (saved by the program)", {"\r\r\n", "\r\r\n", "\r\r\n"}},
      {"a bare CR", {"\r", "\r", "\r"}},
      {"mixed", {"\r\n", "\n", "\r"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string file = lines[0];
    for (int i = 0; i < 3; ++i) file += c.breaks[i] + lines[i + 1];
    ASSERT_TRUE(testsupport::WriteFileBytes(folder.File("song.txt"), file));
    dlg->fileAnswer = PathOf("song.txt");
    dlg->Click(IDC_READ_TEXT);
    ASSERT_EQ(dlg->ScoreEdit()->blockCount(), 4);
    dlg->Click(IDC_LOAD);
    ASSERT_TRUE(dlg->boxes.empty());
    ASSERT_EQ(dlg->Player().LoadedScore().phraseCount, 3);
    dlg->ScoreView().Refresh();
    lit.clear();
    lastStarts.clear();
    Run(1100);  // the first note of the second phrase
    EXPECT_TRUE(dlg->FollowAlong().HasSource());
    EXPECT_EQ(PhraseText(), QStringLiteral("\n1,3,1,5"));
    ASSERT_EQ(dlg->FollowAlong().NoteRanges().size(), 1u);
    EXPECT_EQ(Text(dlg->FollowAlong().NoteRanges()[0]), QStringLiteral("1,3"));
    const jianpu::SheetLighting view = dlg->ScoreView().Lighting();
    EXPECT_EQ(view.phrase, 1);
    EXPECT_EQ(view.notes.size(), 1u);
    Run(20000);
    EXPECT_EQ(lit, QStringList({"1,1", "1,2", "1,3", "1,5", "1,1"}));
  }
}

// Practice on a songbook song read from its file: the phrase lit in the box, and the score
// view shows the key each pass is raised to.
TEST_F(FollowAlongTest, PracticeOnASongbookFileShowsTheRaisedKey) {
  Start();
  dlg->fileAnswer = dlg->FileDialogFolder() + QStringLiteral("/jasmine-flower.txt");
  dlg->Click(IDC_READ_TEXT);
  ASSERT_TRUE(dlg->boxes.empty());
  ASSERT_GT(dlg->ScoreEdit()->blockCount(), 3);
  dlg->Click(IDC_LOAD);
  ASSERT_EQ(dlg->Player().LoadedScore().phraseCount, 4);
  dlg->ScoreView().Refresh();
  dlg->Click(IDC_PRACTICE);
  for (int i = 0; i < 60000 && dlg->Player().Position().semitones < 2; ++i) Run(1);
  ASSERT_EQ(dlg->Player().Position().semitones, 2);
  Run(2100);  // past the reference wait, into the pass
  // The first phrase: the comment line and the first line of notes.
  EXPECT_TRUE(PhraseText().startsWith(QStringLiteral("/* 茉莉花")));
  EXPECT_TRUE(PhraseText().endsWith(QStringLiteral(
      "\ndo=F,s=72,1,3,0.1,3,0.1,5,0.1,6,0.1,10,0.1,10,0.1,6,1,5,0.1,5,0.1,6,10,5")));
  EXPECT_FALSE(dlg->FollowAlong().NoteRanges().empty());
  const jianpu::SheetLighting view = dlg->ScoreView().Lighting();
  EXPECT_EQ(view.phrase, 0);
  EXPECT_FALSE(view.notes.empty());
  EXPECT_EQ(view.raisedKey, "1=G（升 2 半音）");
}

TEST(PlayCaptionTest, LaterInTheCycleAndTheLearnersTurn) {
  const struct {
    int32_t mode;
    PlayerPhase phase;
    int32_t semitones;  // practice's level; elsewhere the shift to the singer's range
    const char* caption;
  } cases[] = {
      {PracticeMode, PlayerPhase::kPass, 1,
       "Tunwick — 练音模式 · 第 2/4 句 · 第 3/24 遍 · 升 1 半音"},
      {PracticeMode, PlayerPhase::kPass, -14,
       "Tunwick — 练音模式 · 第 2/4 句 · 第 3/24 遍 · 降 14 半音"},
      {SingBackMode, PlayerPhase::kPass, 0, "Tunwick — 跟唱模式 · 第 2/4 句 · 第 3/3 次"},
      {SingBackMode, PlayerPhase::kListening, 0,
       "Tunwick — 跟唱模式 · 第 2/4 句 · 第 3/3 次 · 请唱"},
      {SingBackMode, PlayerPhase::kListening, -12,
       "Tunwick — 跟唱模式 · 第 2/4 句 · 第 3/3 次 · 请唱 · 降 12 半音"},
      {TeachingMode, PlayerPhase::kPass, 5,
       "Tunwick — 教歌模式 · 第 2/4 句 · 第 3/2 遍 · 升 5 半音"},
      {PlayAllMode, PlayerPhase::kPass, -12, "Tunwick — 演奏全部 · 第 2/4 句 · 降 12 半音"},
  };
  for (const auto& c : cases) {
    PlayerPosition at;
    at.playing = true;
    at.mode = c.mode;
    at.phase = c.phase;
    at.phrase = 1;
    at.phraseCount = 4;
    at.pass = 3;
    at.passCount = c.mode == SingBackMode ? 3 : c.mode == TeachingMode ? 2 : 24;
    at.semitones = c.semitones;
    EXPECT_EQ(PlayCaption(at), QString::fromUtf8(c.caption));
    // The phrase's words, when it has them, close the caption after all the rest.
    EXPECT_EQ(PlayCaption(at, false, QStringLiteral("长亭外")),
              QString::fromUtf8(c.caption) + QStringLiteral(" · 「长亭外」"));
  }
}

}  // namespace

namespace {

// A refused load shows where the fault is: the number selected (or the phrase, for a fault
// of the phrase as a whole), with the caret there, after the parser's own message.
TEST_F(FollowAlongTest, ARefusedLoadSelectsTheNumberOrThePhraseAtFault) {
  Start();
  struct Case {
    QString text;
    const char* message;
    QString selected;
  } const cases[] = {
      {QStringLiteral("/*小星星*/1,1\n|1,3,2,1|1,5"), "error timeing001!", QStringLiteral("2")},
      {QStringLiteral("1,1|\n1,1,1,9"), "error tune 1111!", QStringLiteral("9")},
      {QStringLiteral("1,1|1,2|1,1,1"), "error4", QStringLiteral("1,1,1")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    dlg->boxes.clear();
    dlg->SetEditText(c.text);
    dlg->Click(IDC_LOAD);
    ASSERT_EQ(dlg->boxes.size(), 1u);
    EXPECT_EQ(dlg->boxes[0].text, QString::fromLatin1(c.message));
    EXPECT_EQ(dlg->ScoreEdit()->textCursor().selectedText(), c.selected);
    EXPECT_EQ(dlg->ScoreEdit()->toPlainText(), c.text) << "the text is untouched";
  }
}

}  // namespace
