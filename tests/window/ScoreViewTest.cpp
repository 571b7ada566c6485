// The score view: opened and closed by one action and remembered, drawing what the box holds
// once typing pauses (words and title included), marking a refused phrase, selecting a clicked
// note's numbers in the box, and lit with the box while the score plays (practice's raised key
// shown, the sounding note's syllable lit with it).
#include <QAction>
#include <QCoreApplication>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <QTextCursor>
#include <string>
#include <vector>

#include "TestDialog.h"
#include "playback/Player.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"
#include "window/DialogLayout.h"
#include "window/FollowAlong.h"
#include "window/ScoreView.h"
#include "window/UserSettings.h"
#include "window/WindowPlacement.h"

namespace {

using jianpu::ItemKind;
using jianpu::SheetItem;

class ScoreViewTest : public DialogTest {
 protected:
  void TearDown() override {
    // The settings folder is shared by the whole test program.
    OpenUserSettings()->remove(QStringLiteral("scoreView"));
    DialogTest::TearDown();
  }
  CScoreView& View() { return dlg->ScoreView(); }
  // Types into the box as the learner does, then lets the typing pause run out.
  void Type(const QString& text) {
    dlg->ScoreEdit()->selectAll();
    dlg->ScoreEdit()->insertPlainText(text);
    ASSERT_TRUE(View().RefreshPending());
    ASSERT_LE(View().RefreshDelayMs(), 100);
    View().Refresh();
  }
  std::vector<SheetItem> Items(ItemKind kind) {
    std::vector<SheetItem> found;
    for (const SheetItem& item : View().Page().items)
      if (item.kind == kind) found.push_back(item);
    return found;
  }
  std::string Digits() {
    std::string digits;
    for (const SheetItem& item : Items(ItemKind::kDigit)) digits += item.text;
    return digits;
  }
  QPoint CentreOf(const SheetItem& item) {
    return QPointF((item.x + item.width / 2 + CScoreView::kMargin) * CScoreView::kScale,
                   (item.y + item.height / 2 + CScoreView::kMargin) * CScoreView::kScale)
        .toPoint();
  }
  std::string Texts(ItemKind kind) {
    std::string text;
    for (const SheetItem& item : Items(kind)) text += item.text;
    return text;
  }
  // Pixels of the sounding note's colour inside an item's box on the canvas.
  int LitPixels(const QImage& drawn, const SheetItem& item) {
    const QRectF box((item.x + CScoreView::kMargin) * CScoreView::kScale,
                     (item.y + CScoreView::kMargin) * CScoreView::kScale,
                     item.width * CScoreView::kScale, item.height * CScoreView::kScale);
    int lit = 0;
    for (int y = static_cast<int>(box.top()); y < box.bottom(); ++y)
      for (int x = static_cast<int>(box.left()); x < box.right(); ++x)
        lit += drawn.valid(x, y) && drawn.pixel(x, y) == qRgb(255, 176, 64);
    return lit;
  }
  void Run(int ms) {
    for (int i = 0; i < ms && dlg->fake.timerSet; ++i) {
      dlg->fake.nowMs += 1;
      dlg->Player().OnTimer(1);
      QCoreApplication::processEvents();
    }
  }
};

TEST_F(ScoreViewTest, OneActionOpensAndClosesItBesideTheDialogAndItIsRemembered) {
  Start();
  const QRect dialogBefore = dlg->geometry();
  EXPECT_FALSE(View().isVisible());
  EXPECT_EQ(dlg->ScoreViewAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_J));
  dlg->ScoreViewAction()->trigger();
  ASSERT_TRUE(View().isVisible());
  EXPECT_TRUE(dlg->ScoreViewAction()->isChecked());
  EXPECT_EQ(dlg->geometry(), dialogBefore);  // no control of the dialog moves
  // Where the sing-back panel would go (its frame, measured once shown, may differ a little).
  const QPoint beside = PlaceBeside(dlg->frameGeometry(), View().frameGeometry().size(),
                                    dlg->screen()->availableGeometry());
  EXPECT_LE((View().pos() - beside).manhattanLength(), 8);
  EXPECT_TRUE(OpenUserSettings()->value(QStringLiteral("scoreView/open")).toBool());

  // The next start opens it again.
  auto next = std::make_unique<TestDlg>();
  next->deviceCount = 1;
  next->OnInitDialog();
  next->show();
  QCoreApplication::processEvents();
  EXPECT_TRUE(next->ScoreView().isVisible());
  next.reset();

  // Closed by the same action, or by its own window's close button.
  dlg->OnToggleScoreView();
  EXPECT_FALSE(View().isVisible());
  EXPECT_FALSE(OpenUserSettings()->value(QStringLiteral("scoreView/open")).toBool());
  dlg->OnToggleScoreView();
  View().close();
  EXPECT_FALSE(dlg->ScoreViewAction()->isChecked());
  EXPECT_FALSE(OpenUserSettings()->value(QStringLiteral("scoreView/open")).toBool());
}

TEST_F(ScoreViewTest, DrawsWhatTheBoxHoldsOnceTypingPauses) {
  Start();
  dlg->OnToggleScoreView();
  Type(QStringLiteral("do=F,s=100,0.1,5,0.1,10,1,3|1,1"));
  EXPECT_EQ(Digits(), "5131");
  const std::vector<SheetItem> headers = Items(ItemKind::kHeader);
  ASSERT_EQ(headers.size(), 1u);
  EXPECT_EQ(headers[0].text, "1=F  ♩=100");
  EXPECT_EQ(Items(ItemKind::kOctaveDot).size(), 1u);  // the high 1

  // Typing on redraws after the pause, not before.
  QTest::keyClicks(dlg->ScoreEdit(), QStringLiteral(",1,6"));
  EXPECT_EQ(Digits(), "5131");
  EXPECT_TRUE(View().RefreshPending());
  View().Refresh();
  EXPECT_EQ(Digits(), "51316");

  // The canvas shows ink.
  const QImage drawn = View().Canvas()->grab().toImage();
  int dark = 0;
  for (int y = 0; y < drawn.height(); ++y)
    for (int x = 0; x < drawn.width(); ++x) dark += qGray(drawn.pixel(x, y)) < 100 ? 1 : 0;
  EXPECT_GT(dark, 50);
}

TEST_F(ScoreViewTest, ARefusedPhraseIsMarkedWithTheParsersMessage) {
  Start();
  dlg->OnToggleScoreView();
  Type(QStringLiteral("1,1|1,8|1,3"));
  const std::vector<SheetItem> faults = Items(ItemKind::kFault);
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_EQ(faults[0].message, "error tune 1111!");
  EXPECT_EQ(Digits(), "13");
  // Clicking the mark selects the phrase.
  QTest::mouseClick(View().Canvas(), Qt::LeftButton, {}, CentreOf(faults[0]));
  EXPECT_EQ(dlg->ScoreEdit()->textCursor().selectedText(), QStringLiteral("1,8"));
}

TEST_F(ScoreViewTest, ClickingANoteSelectsItsTwoNumbersInTheBox) {
  Start();
  dlg->OnToggleScoreView();
  Type(QStringLiteral("/* 一 */1,1, 0.1,5\n|0,1,0.1,30"));
  for (const SheetItem& digit : Items(ItemKind::kDigit)) {
    QTest::mouseClick(View().Canvas(), Qt::LeftButton, {}, CentreOf(digit));
    const QString selected = dlg->ScoreEdit()->textCursor().selectedText();
    if (digit.text == "5") {
      EXPECT_EQ(selected, QStringLiteral("0.1,5"));
    }
    if (digit.text == "3") {
      EXPECT_EQ(selected, QStringLiteral("0.1,30"));
    }
  }
  // Each digit of the chord selects its own note.
  const std::vector<SheetItem> digits = Items(ItemKind::kDigit);
  ASSERT_EQ(digits.size(), 4u);
  QTest::mouseClick(View().Canvas(), Qt::LeftButton, {}, CentreOf(digits[2]));
  EXPECT_EQ(dlg->ScoreEdit()->textCursor().selectedText(), QStringLiteral("0,1"));
}

TEST_F(ScoreViewTest, TheSoundingNotesAndTheirPhraseAreLitAsInTheBox) {
  Start();
  dlg->OnToggleScoreView();
  Type(QStringLiteral("do=F,1,1,1,2|0,1,0,3,1,5"));
  dlg->Click(IDC_LOAD);
  Run(700);  // the second note of the first phrase
  jianpu::SheetLighting lit = View().Lighting();
  EXPECT_EQ(lit.phrase, 0);
  ASSERT_EQ(lit.notes.size(), 1u);
  EXPECT_EQ(dlg->ScoreEdit()->toPlainText().mid(lit.notes[0].start,
                                                lit.notes[0].end - lit.notes[0].start),
            QStringLiteral("1,2"));
  // Drawn: the sounding note on the box's strong colour.
  const QImage drawn = View().Canvas()->grab().toImage();
  int strong = 0;
  for (int y = 0; y < drawn.height(); ++y)
    for (int x = 0; x < drawn.width(); ++x) strong += drawn.pixel(x, y) == qRgb(255, 176, 64);
  EXPECT_GT(strong, 100);
  Run(400);  // the chord
  lit = View().Lighting();
  EXPECT_EQ(lit.phrase, 1);
  EXPECT_EQ(lit.notes.size(), 3u);
  EXPECT_EQ(lit.raisedKey, "");

  // Practice: the key each pass is raised to.
  dlg->Click(IDC_PRACTICE);
  for (int i = 0; i < 20000 && dlg->Player().Position().semitones < 2; ++i) Run(1);
  ASSERT_EQ(dlg->Player().Position().semitones, 2);
  Run(2100);
  lit = View().Lighting();
  ASSERT_GE(lit.phrase, 0);
  EXPECT_EQ(lit.raisedKey, "1=G（升 2 半音）");

  // Once the box is edited, nothing is lit.
  QTest::keyClick(dlg->ScoreEdit(), Qt::Key_End);
  QTest::keyClicks(dlg->ScoreEdit(), QStringLiteral(",1,1"));
  Run(10);
  EXPECT_EQ(View().Lighting().phrase, -1);
}

TEST_F(ScoreViewTest, WordsTypedInACommentAreRedrawnAndTheSoundingSyllableIsLit) {
  Start();
  dlg->OnToggleScoreView();
  Type(QStringLiteral("/*标题: 小星星*//*拍号: 2/4*/do=F,/*词: 一闪一闪*/1,1,1,1,1,5,1,5"));
  EXPECT_EQ(Texts(ItemKind::kTitle), "小星星");
  EXPECT_EQ(Texts(ItemKind::kHeader), "1=F  2/4  ♩=120");
  EXPECT_EQ(Texts(ItemKind::kSyllable), "一闪一闪");
  EXPECT_EQ(Items(ItemKind::kBarLine).size(), 2u);  // after the first measure and at the end

  // A word changed inside its comment redraws after the pause, as any typing does.
  QTextCursor cursor(dlg->ScoreEdit()->document());
  cursor.setPosition(dlg->ScoreEdit()->toPlainText().indexOf(QStringLiteral("一闪*/")) + 2);
  cursor.insertText(QStringLiteral("亮"));
  EXPECT_EQ(Texts(ItemKind::kSyllable), "一闪一闪");
  ASSERT_TRUE(View().RefreshPending());
  EXPECT_LE(View().RefreshDelayMs(), 100);
  View().Refresh();
  EXPECT_EQ(Texts(ItemKind::kSyllable), "一闪一闪");  // four notes: the fifth syllable waits
  cursor.setPosition(dlg->ScoreEdit()->toPlainText().indexOf(QStringLiteral("1,1,1,1")));
  cursor.insertText(QStringLiteral("1,1,"));
  View().Refresh();
  EXPECT_EQ(Texts(ItemKind::kSyllable), "一闪一闪亮");

  // A click on a syllable selects its note.
  QTest::mouseClick(View().Canvas(), Qt::LeftButton, {}, CentreOf(Items(ItemKind::kSyllable)[3]));
  EXPECT_EQ(dlg->ScoreEdit()->textCursor().selectedText(), QStringLiteral("1,5"));
  EXPECT_EQ(dlg->ScoreEdit()->textCursor().selectionStart(),
            dlg->ScoreEdit()->toPlainText().indexOf(QStringLiteral("1,5")));

  // Playing: the second note's syllable is lit with it, the first's not.
  dlg->Click(IDC_LOAD);
  Run(700);
  ASSERT_EQ(View().Lighting().notes.size(), 1u);
  const QImage drawn = View().Canvas()->grab().toImage();
  const std::vector<SheetItem> syllables = Items(ItemKind::kSyllable);
  ASSERT_EQ(syllables.size(), 5u);
  EXPECT_EQ(LitPixels(drawn, syllables[0]), 0);
  EXPECT_GT(LitPixels(drawn, syllables[1]), 20);
  EXPECT_EQ(LitPixels(drawn, syllables[2]), 0);
}

TEST_F(ScoreViewTest, ASongWithoutATitleIsTitledWithItsFilesName) {
  testsupport::TempFolder folder;
  const std::string path = folder.path() + "/jasmine.txt";
  testsupport::WriteFileBytes(path, "do=F,1,3,1,5");
  Start();
  dlg->OnToggleScoreView();
  EXPECT_EQ(Texts(ItemKind::kTitle), "");  // the built-in score: its window says so
  dlg->fileAnswer = QString::fromStdString(path);
  dlg->Click(IDC_READ_TEXT);
  View().Refresh();
  EXPECT_EQ(Texts(ItemKind::kTitle), "jasmine");
  Type(QStringLiteral("/*title: Jasmine Flower*/do=F,1,3,1,5"));
  EXPECT_EQ(Texts(ItemKind::kTitle), "Jasmine Flower");
}

}  // namespace
