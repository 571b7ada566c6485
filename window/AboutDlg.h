#pragma once

#include <QDialog>

// The About box, dialog 100: version line, notice line, icon and the OK button.
class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};
