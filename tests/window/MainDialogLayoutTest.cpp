// The main dialog's layout: every control where the dialog-unit table puts it, with its
// text, in tab order, in a font that has the Chinese glyphs, nothing cut off.

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <iterator>

#include "TestDialog.h"
#include "window/DialogLayout.h"

namespace {

QString NameOf(int index) {
  const ControlTemplate& control = kMainDialogControls[index];
  return control.id > 0 ? QStringLiteral("control%1").arg(control.id)
                        : QStringLiteral("static%1").arg(index);
}

}  // namespace

TEST(DialogUnits, MapLikeWindows) {
  // x and width by cx/4, y and height by cy/8, rounding halves up.
  const DialogBaseUnits units{6, 12};
  EXPECT_EQ(MapDialogRect(QRect(19, 7, 50, 14), units), QRect(29, 11, 75, 21));
  EXPECT_EQ(MapDialogRect(QRect(0, 0, 581, 416), units), QRect(0, 0, 872, 624));
  EXPECT_EQ(MapDialogRect(QRect(7, 275, 567, 134), DialogBaseUnits{7, 14}),
            QRect(12, 481, 992, 235));
}

TEST(DialogUnits, StaticTextShowsAccessMarks) {
  EXPECT_EQ(StaticDisplayText("a && b"), QStringLiteral("a & b"));
  EXPECT_EQ(StaticDisplayText("关于 Tunwick(&A)..."), QStringLiteral("关于 Tunwick(A)..."));
  EXPECT_EQ(StaticDisplayText("&&&&"), QStringLiteral("&&"));
  EXPECT_EQ(StaticDisplayText("plain"), QStringLiteral("plain"));
}

TEST_F(DialogTest, FontRendersChinese) {
  const QFont font = dlg->font();
  EXPECT_EQ(font.pointSize(), 9);
  // The resolved font itself holds the glyphs (not only a per-character fallback).
  const QFontMetrics metrics(font);
  for (char32_t c : {U'练', U'音', U'模', U'式', U'“', U'，'})
    EXPECT_TRUE(metrics.inFontUcs4(c)) << "missing glyph U+" << std::hex << uint32_t(c) << " in "
                                       << QFontInfo(font).family().toStdString();
  const DialogBaseUnits units = BaseUnitsOf(font);
  EXPECT_GT(units.cx, 3);
  EXPECT_GT(units.cy, 8);
}

TEST_F(DialogTest, EveryControlAtItsDialogUnits) {
  // Template 102 in dialog units, written out: a control moved in the table shows here.
  struct Placed {
    const char* name;
    QRect du;
  };
  const Placed controls[] = {
      {"control1000", {19, 7, 50, 14}},    {"control1001", {77, 7, 50, 14}},
      {"control1002", {136, 7, 50, 14}},   {"control1003", {19, 25, 50, 14}},
      {"control1004", {77, 25, 50, 14}},   {"control1011", {136, 25, 50, 14}},
      {"control1006", {7, 255, 50, 14}},   {"control1007", {78, 255, 50, 14}},
      {"control1008", {149, 255, 50, 14}}, {"control1009", {220, 255, 50, 14}},
      {"control1005", {7, 275, 567, 134}}, {"static11", {7, 43, 567, 12}},
      {"static12", {7, 57, 567, 12}},      {"static13", {7, 71, 567, 12}},
      {"static14", {7, 135, 488, 12}},     {"static15", {7, 101, 567, 12}},
      {"static16", {7, 118, 474, 12}},     {"static17", {9, 153, 511, 12}},
      {"static18", {9, 172, 565, 12}},     {"static19", {9, 192, 504, 12}},
      {"static20", {7, 227, 541, 12}},     {"static21", {7, 86, 567, 15}},
      {"static22", {9, 209, 506, 16}},     {"control1012", {195, 7, 50, 14}},
      {"control1013", {297, 255, 50, 14}}, {"control1014", {195, 25, 50, 14}},
  };
  Start();
  const DialogBaseUnits units = BaseUnitsOf(dlg->font());
  EXPECT_EQ(dlg->size(), MapDialogRect(QRect(0, 0, 581, 416), units).size());
  EXPECT_EQ(std::size(controls), static_cast<size_t>(kMainDialogControlCount));
  for (const Placed& control : controls) {
    QWidget* widget = dlg->findChild<QWidget*>(QString::fromLatin1(control.name));
    ASSERT_NE(widget, nullptr) << control.name;
    EXPECT_EQ(widget->geometry(), MapDialogRect(control.du, units)) << control.name;
    // Inside the dialog's client area.
    EXPECT_TRUE(dlg->rect().contains(widget->geometry())) << control.name;
  }
}

TEST_F(DialogTest, TextsLetterForLetterAndNotCut) {
  Start();
  int labels = 0;
  for (int i = 0; i < kMainDialogControlCount; ++i) {
    const ControlTemplate& control = kMainDialogControls[i];
    const QString expected = StaticDisplayText(control.text);
    if (control.kind == ControlKind::kButton) {
      auto* button = dlg->findChild<QPushButton*>(NameOf(i));
      ASSERT_NE(button, nullptr);
      EXPECT_EQ(button->text(), QString::fromUtf8(control.text));
      EXPECT_FALSE(button->isDefault());
      EXPECT_FALSE(button->autoDefault());
      EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 2, button->width())
          << button->text().toStdString();
    } else if (control.kind == ControlKind::kLabel) {
      auto* label = dlg->findChild<QLabel*>(NameOf(i));
      ASSERT_NE(label, nullptr);
      EXPECT_EQ(label->text(), expected);
      EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
      EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
          << label->text().toStdString();
      EXPECT_LE(label->fontMetrics().height(), label->height());
      ++labels;
    }
  }
  EXPECT_EQ(labels, 12);
  // Help text 11 writes "&&" so that one "&" shows.
  auto* voices = dlg->findChild<QLabel*>(QStringLiteral("static22"));
  ASSERT_NE(voices, nullptr);
  EXPECT_TRUE(voices->text().contains(QStringLiteral("用字符 & 隔开")));
  EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Tunwick"));
}

TEST_F(DialogTest, TabOrderFollowsTheTemplate) {
  Start();
  const int expected[] = {1000, 1001, 1002, 1003, 1004, 1011, 1006,
                          1007, 1008, 1009, 1005, 1012, 1013, 1014};
  std::vector<QString> order;
  QWidget* first = dlg->Button(IDC_PRACTICE);
  QWidget* widget = first;
  do {
    if (widget->focusPolicy() & Qt::TabFocus) order.push_back(widget->objectName());
    widget = widget->nextInFocusChain();
  } while (widget != first && order.size() < 40);
  std::vector<QString> wanted;
  for (int id : expected) wanted.push_back(QStringLiteral("control%1").arg(id));
  // The chain may pass through the edit box's inner widgets; only the controls count.
  std::vector<QString> controls;
  for (const QString& name : order)
    if (name.startsWith(QStringLiteral("control"))) controls.push_back(name);
  EXPECT_EQ(controls, wanted);
}

TEST_F(DialogTest, EditBoxIsAMultiLineScrollingEditor) {
  Start();
  QPlainTextEdit* edit = dlg->ScoreEdit();
  EXPECT_EQ(edit->objectName(), QStringLiteral("control1005"));
  EXPECT_EQ(edit->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_EQ(edit->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(edit->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_TRUE(edit->tabChangesFocus());
  EXPECT_FALSE(edit->isReadOnly());
}

TEST_F(DialogTest, SingBackButtonTakesTheFreeFourthPlaceOfTheSecondRow) {
  Start();
  QPushButton* singBack = dlg->Button(IDC_SING_BACK);
  ASSERT_NE(singBack, nullptr);
  EXPECT_EQ(singBack->text(), QStringLiteral("跟唱模式"));
  // Under 反复演奏, in the row of 教歌模式, the size of both.
  EXPECT_EQ(singBack->x(), dlg->Button(IDC_REPEAT)->x());
  EXPECT_EQ(singBack->y(), dlg->Button(IDC_TEACHING)->y());
  EXPECT_EQ(singBack->size(), dlg->Button(IDC_REPEAT)->size());
  // It covers no other control.
  for (int i = 0; i < kMainDialogControlCount; ++i) {
    QWidget* other = dlg->findChild<QWidget*>(NameOf(i));
    ASSERT_NE(other, nullptr);
    if (other == singBack) continue;
    EXPECT_FALSE(other->geometry().intersects(singBack->geometry())) << NameOf(i).toStdString();
  }
}
