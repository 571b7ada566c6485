// The About entry: a context menu on the dialog's background offers string 101; choosing
// it (by its access key) routes command 0x10 to the About box.

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <functional>

#include "TestDialog.h"
#include "window/AboutDlg.h"
#include "window/DialogLayout.h"

namespace {

// Runs `step` once the widget `find` looks for has appeared (polled from the event loop,
// so that it also runs inside a nested modal loop).
void WhenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> step) {
  auto* poll = new QTimer;
  poll->setInterval(5);
  QObject::connect(poll, &QTimer::timeout, [poll, find, step] {
    if (QWidget* widget = find()) {
      poll->stop();
      poll->deleteLater();
      step(widget);
    }
  });
  poll->start();
}

TEST_F(DialogTest, ContextMenuOpensTheAboutBox) {
  dlg->realAboutBox = true;
  Start();

  QStringList menuTexts;
  QString aboutTitle;
  QStringList aboutTexts;
  bool okWasDefault = false;

  WhenShown([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); },
            [&](QWidget* menu) {
              for (QAction* action : menu->actions())
                if (!action->isSeparator()) menuTexts << action->text();
              WhenShown([] { return qobject_cast<CAboutDlg*>(QApplication::activeModalWidget()); },
                        [&](QWidget* about) {
                          aboutTitle = about->windowTitle();
                          for (QLabel* label : about->findChildren<QLabel*>())
                            if (!label->text().isEmpty()) aboutTexts << label->text();
                          auto* ok = about->findChild<QPushButton*>(QStringLiteral("control1"));
                          okWasDefault =
                              ok && ok->isDefault() && ok->text() == QStringLiteral("确定");
                          if (ok) ok->click();
                        });
              QTest::keyClick(menu, Qt::Key_A);  // the access key of "关于 Tunwick(&A)..."
            });

  // Should the menu or the box never come up, close whatever is open so the test fails
  // instead of waiting forever.
  QTimer failsafe;
  failsafe.setSingleShot(true);
  QObject::connect(&failsafe, &QTimer::timeout, [] {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  failsafe.start(10000);

  const QPoint inside(5, 5);  // the dialog's background, above the first button
  QContextMenuEvent event(QContextMenuEvent::Mouse, inside, dlg->mapToGlobal(inside));
  QApplication::sendEvent(dlg.get(), &event);

  ASSERT_FALSE(menuTexts.isEmpty());
  EXPECT_EQ(menuTexts.first(), QStringLiteral("关于 Tunwick(&A)..."));
  EXPECT_EQ(dlg->aboutBoxes, 1);
  EXPECT_EQ(aboutTitle, QStringLiteral("关于 Tunwick"));
  EXPECT_TRUE(aboutTexts.contains(QString::fromUtf8("Tunwick " TUNWICK_SHORT_VERSION " 版")));
  EXPECT_EQ(aboutTexts.size(), 2);
  EXPECT_TRUE(okWasDefault);
  EXPECT_TRUE(dlg->isVisible());
}

TEST(AboutBox, LaidOutByDialogUnits) {
  CAboutDlg about;
  const DialogBaseUnits units = BaseUnitsOf(about.font());
  EXPECT_EQ(about.size(),
            MapDialogRect(QRect(0, 0, kAboutDialogWidthDu, kAboutDialogHeightDu), units).size());
  auto* ok = about.findChild<QPushButton*>(QStringLiteral("control1"));
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->geometry(), MapDialogRect(QRect(267, 7, 50, 16), units));
  auto* icon = about.findChild<QLabel*>(QStringLiteral("icon"));
  ASSERT_NE(icon, nullptr);
  EXPECT_FALSE(icon->pixmap().isNull());
  for (QLabel* label : about.findChildren<QLabel*>())
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
        << label->text().toStdString();
}

}  // namespace
