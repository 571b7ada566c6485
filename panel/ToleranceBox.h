#pragma once

#include <QComboBox>

#include "listening/Tolerance.h"

// The sing-back panel's choice of how strictly notes are judged: strict, normal or easy, with
// their cents.
class CToleranceBox : public QComboBox {
  Q_OBJECT

 public:
  explicit CToleranceBox(QWidget* parent = nullptr);

  // The tolerance shown; setting it tells no one.
  listening::Tolerance Tolerance() const { return tolerance_; }
  void SetTolerance(listening::Tolerance tolerance);

 signals:
  // The learner chose how strictly to judge.
  void ToleranceChosen(listening::Tolerance tolerance);

 private:
  listening::Tolerance tolerance_ = listening::Tolerance::kNormal;
};
