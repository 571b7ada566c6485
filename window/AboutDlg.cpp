#include "window/AboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "window/AppIcon.h"
#include "window/DialogLayout.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromUtf8(kAboutDialogTitle));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFont(DialogFont());
  const DialogBaseUnits units = BaseUnitsOf(font());
  setFixedSize(MapDialogRect(QRect(0, 0, kAboutDialogWidthDu, kAboutDialogHeightDu), units).size());

  for (const ControlTemplate& control : kAboutDialogControls) {
    const QRect geometry =
        MapDialogRect(QRect(control.x, control.y, control.width, control.height), units);
    switch (control.kind) {
      case ControlKind::kDefaultButton:
      case ControlKind::kButton: {
        auto* ok = new QPushButton(QString::fromUtf8(control.text), this);
        ok->setGeometry(geometry);
        ok->setDefault(control.kind == ControlKind::kDefaultButton);
        ok->setObjectName(QStringLiteral("control%1").arg(control.id));
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        break;
      }
      case ControlKind::kIcon: {
        // A static icon takes the size of its 32-pixel picture at its top-left corner.
        auto* icon = new QLabel(this);
        icon->setPixmap(TunwickIcon().pixmap(32, 32));
        icon->setGeometry(QRect(geometry.topLeft(), QSize(32, 32)));
        icon->setObjectName(QStringLiteral("icon"));
        break;
      }
      case ControlKind::kLabel:
      case ControlKind::kEdit: {
        auto* label = new QLabel(StaticDisplayText(control.text), this);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setGeometry(geometry);
        break;
      }
    }
  }
}
