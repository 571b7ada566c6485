// Help where a learner gets stuck: what each button does in its tooltip, a parse error's hint
// under its message, the box's look-alike characters beside the file buttons, the built-in
// score in the score view while it is the score that plays, a caption that says when playback
// is paused, and Qt's own dialogs in Chinese.
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLibraryInfo>
#include <QTest>
#include <QTextCursor>
#include <QTranslator>
#include <memory>
#include <set>

#include "TestDialog.h"
#include "playback/Player.h"
#include "window/DialogLayout.h"
#include "window/LookAlikeLine.h"
#include "window/ScoreView.h"
#include "window/TunwickApp.h"
#include "window/UserSettings.h"

namespace {

class LearnerHelpTest : public DialogTest {
 protected:
  void TearDown() override {
    // The settings folder is shared by the whole test program.
    OpenUserSettings()->remove(QStringLiteral("scoreView"));
    DialogTest::TearDown();
  }
  // Heard on the fake clock, then the caption and the lighting as they are shown.
  void Run(int ms) {
    for (int i = 0; i < ms && dlg->fake.timerSet; ++i) {
      dlg->fake.nowMs += 1;
      dlg->Player().OnTimer(1);
    }
    QCoreApplication::processEvents();
  }
  // Typed as the learner types, then the typing pause run out.
  void Type(const QString& text) {
    dlg->ScoreEdit()->selectAll();
    dlg->ScoreEdit()->insertPlainText(text);
    ASSERT_TRUE(dlg->LookAlikeLine().RefreshPending());
    dlg->LookAlikeLine().Refresh();
  }
};

TEST_F(LearnerHelpTest, EveryButtonSaysWhatItDoesTheBuiltInScoreIncluded) {
  Start();
  std::set<QString> tips;
  int buttons = 0;
  for (const ControlTemplate& control : kMainDialogControls) {
    if (control.kind != ControlKind::kButton) continue;
    ++buttons;
    const QString tip = dlg->Button(control.id)->toolTip();
    EXPECT_FALSE(tip.isEmpty()) << control.text;
    tips.insert(tip);
  }
  EXPECT_EQ(buttons, 13)
      << "the eight play buttons (跟唱模式 among them) and the five file buttons";
  EXPECT_EQ(tips.size(), static_cast<size_t>(buttons)) << "each says its own";
  // The button that brings the built-in score back, and the one that replaces it, say so.
  EXPECT_TRUE(dlg->Button(IDC_RESTORE)->toolTip().contains(QStringLiteral("内置乐谱")));
  EXPECT_TRUE(dlg->Button(IDC_LOAD)->toolTip().contains(QStringLiteral("内置乐谱")));
}

TEST_F(LearnerHelpTest, AParseErrorKeepsItsMessageWithAHintInChineseUnderIt) {
  Start();
  dlg->SetEditText(QStringLiteral("1,1\n|1,3,2,1|1,5"));  // a length of 2 beats written "2"
  dlg->Click(IDC_LOAD);
  ASSERT_EQ(dlg->boxes.size(), 1u);
  EXPECT_EQ(dlg->boxes[0].text, QStringLiteral("error timeing001!"));
  EXPECT_EQ(dlg->boxes[0].caption, QStringLiteral("Tunwick"));
  EXPECT_TRUE(dlg->boxes[0].hint.startsWith(QStringLiteral("时值写错了")))
      << dlg->boxes[0].hint.toStdString();
  // The number at fault is selected in the box, as before.
  EXPECT_TRUE(dlg->ScoreEdit()->textCursor().hasSelection());

  // A message that is no parse error gets no hint.
  TestDlg silent;
  silent.OnInitDialog();
  ASSERT_EQ(silent.boxes.size(), 1u);
  EXPECT_EQ(silent.boxes[0].text, QStringLiteral("No MIDI output devices available."));
  EXPECT_TRUE(silent.boxes[0].hint.isEmpty());
}

TEST_F(LearnerHelpTest, LookAlikesAreNamedWithTheirPlaceOnceTypingPauses) {
  Start();
  const CLookAlikeLine& line = dlg->LookAlikeLine();
  EXPECT_TRUE(line.text().isEmpty());
  const struct {
    const char* typed;
    const char* shown;
    int warnings;
  } cases[] = {
      {"do＝F#,1,1,1,2", "第 1 行第 1 列：“do＝F#”应写作 do=F#", 1},
      {"1,1,1,2\n1,#4,1,5", "第 2 行第 3 列：“#4”应写作 4.5", 1},
      {"do＝F,1,1｜1,#4", "第 1 行第 1 列：“do＝F”应写作 do=F（另有 2 处）", 3},
      {"1,1,1,2|1,3", "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    Type(QString::fromUtf8(c.typed));
    EXPECT_EQ(line.text(), QString::fromUtf8(c.shown));
    ASSERT_EQ(line.Warnings().size(), c.warnings);
    // Every warning in full in the tooltip: the parser's reading and what was meant.
    EXPECT_EQ(line.toolTip(), line.Warnings().join(QLatin1Char('\n')));
  }
  // The score still loads as the parser reads it.
  Type(QStringLiteral("do＝F#,1,1,1,2"));
  dlg->Click(IDC_LOAD);
  EXPECT_TRUE(dlg->boxes.empty());

  // Beside the file buttons: on the dialog, over none of its controls.
  EXPECT_TRUE(dlg->rect().contains(line.geometry()));
  for (QWidget* control : dlg->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (control == &line || !control->objectName().startsWith(QStringLiteral("control"))) continue;
    EXPECT_FALSE(control->geometry().intersects(line.geometry()))
        << control->objectName().toStdString();
  }
}

TEST_F(LearnerHelpTest, TheCaptionSaysPausedAndNeverPassZeroOrZeroSemitones) {
  Start();
  const int32_t phrases = dlg->Player().LoadedScore().phraseCount;
  const QString firstPhrase = QStringLiteral("Tunwick — 练音模式 · 第 1/%1 句").arg(phrases);
  // Continue before anything has played: the built-in score's first phrase, no pass yet.
  dlg->Click(IDC_CONTINUE);
  Run(300);
  EXPECT_EQ(dlg->windowTitle(), firstPhrase);

  dlg->Click(IDC_PAUSE);
  QCoreApplication::processEvents();
  EXPECT_EQ(dlg->windowTitle(), firstPhrase + QStringLiteral(" · 已暂停（按继续演奏接着放）"));
  // Pausing again changes nothing; continuing drops the word.
  dlg->Click(IDC_PAUSE);
  QCoreApplication::processEvents();
  EXPECT_TRUE(dlg->windowTitle().endsWith(QStringLiteral("已暂停（按继续演奏接着放）")));
  dlg->Click(IDC_CONTINUE);
  Run(100);
  EXPECT_EQ(dlg->windowTitle(), firstPhrase);

  // Practice's first pass is at the written pitch: no "升 0 半音".
  dlg->Click(IDC_PRACTICE);
  Run(100);
  EXPECT_EQ(dlg->windowTitle(),
            QStringLiteral("Tunwick — 练音模式 · 第 2/%1 句 · 第 1/24 遍").arg(phrases));
  // Stopped otherwise than by the pause button (a range chosen in the panel): plain.
  dlg->Player().OnPause();
  QCoreApplication::processEvents();
  EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Tunwick"));
}

TEST_F(LearnerHelpTest, TheScoreViewShowsTheBuiltInScoreWhileItIsTheOneLoaded) {
  // Text left in the box does not make the view show it: the built-in score is what plays.
  dlg->scoreText = "1,1,1,2";
  Start();
  CScoreView& view = dlg->ScoreView();
  dlg->OnToggleScoreView();
  ASSERT_TRUE(view.isVisible());
  const int32_t builtInPhrases = dlg->Player().LoadedScore().phraseCount;
  auto shows = [&](const char* title, int32_t phrases) {
    QCoreApplication::processEvents();
    if (view.RefreshPending()) view.Refresh();
    EXPECT_EQ(view.windowTitle(), QString::fromUtf8(title));
    ASSERT_TRUE(view.Sheet().score);
    EXPECT_EQ(view.Sheet().score->phraseCount, phrases);
  };
  {
    SCOPED_TRACE("at start");
    shows(CScoreView::kBuiltInTitle, builtInPhrases);
    EXPECT_TRUE(view.ShowsBuiltIn());
  }
  // Practising it lights its phrase in the view.
  dlg->Click(IDC_PRACTICE);
  Run(100);
  ASSERT_TRUE(dlg->Player().Playing());
  EXPECT_EQ(view.Lighting().phrase, dlg->Player().Position().phrase);

  dlg->SetEditText(QStringLiteral("1,1,1,2|1,3"));
  dlg->Click(IDC_LOAD);
  {
    SCOPED_TRACE("after 装入 of another text");
    shows(CScoreView::kTitle, 2);
    EXPECT_FALSE(view.ShowsBuiltIn());
  }
  dlg->Click(IDC_RESTORE);
  {
    SCOPED_TRACE("after 恢复系统");
    shows(CScoreView::kBuiltInTitle, builtInPhrases);
  }
  // Typing in the box brings the box back into view.
  dlg->ScoreEdit()->moveCursor(QTextCursor::End);
  QTest::keyClicks(dlg->ScoreEdit(), QStringLiteral(",1,5"));
  shows(CScoreView::kTitle, 2);
}

TEST(QtTranslationTest, QtsOwnButtonsAreChineseWhereQtsTranslationIsInstalled) {
  testsupport::TempFolder empty;
  EXPECT_EQ(InstallQtTranslation(QString::fromStdString(empty.path())), nullptr)
      << "absent: nothing installed, no complaint";
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("OK"));

  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!QFile::exists(folder + QStringLiteral("/qtbase_zh_CN.qm")))
    GTEST_SKIP() << "Qt's translations are not installed (qt6-translations-l10n) in "
                 << folder.toStdString();
  std::unique_ptr<QTranslator> translator = InstallQtTranslation();
  ASSERT_NE(translator, nullptr);
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("确定"));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
  translator.reset();
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("OK"));
}

}  // namespace
