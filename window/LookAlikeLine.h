#pragma once

#include <QLabel>
#include <QString>
#include <QStringList>
#include <QTimer>

class QPlainTextEdit;

// The look-alike characters of the score box (a full-width ＝ or ｜, "#4", "-1", ...), which the
// parser ignores or reads otherwise than meant, on one line of the dialog: the first with its
// line and column and what was probably meant, and how many more; every one in full in the
// line's tooltip. Read again once typing pauses, as the score view is; empty when there are none.
class CLookAlikeLine : public QLabel {
  Q_OBJECT

 public:
  CLookAlikeLine(QPlainTextEdit& edit, QWidget* parent);

  // Reads the box now (the typing pause's timer calls it).
  void Refresh();
  bool RefreshPending() const { return typingPause_.isActive(); }
  // Each warning as the tooltip gives it, in text order.
  const QStringList& Warnings() const { return warnings_; }

 private:
  QPlainTextEdit& edit_;
  QTimer typingPause_;
  QStringList warnings_;
};
