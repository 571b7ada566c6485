#include "panel/ToleranceBox.h"

#include <iterator>

namespace {

// The tolerances in the order the box lists them, with their names there.
struct ToleranceChoice {
  listening::Tolerance tolerance;
  const char* text;
};
const ToleranceChoice kToleranceChoices[] = {
    {listening::Tolerance::kStrict, "严格 ±25 音分"},
    {listening::Tolerance::kNormal, "普通 ±50 音分"},
    {listening::Tolerance::kEasy, "宽松 ±100 音分"},
};

}  // namespace

CToleranceBox::CToleranceBox(QWidget* parent) : QComboBox(parent) {
  setObjectName(QStringLiteral("toleranceBox"));
  setToolTip(QStringLiteral("唱得离音多近算唱准"));
  for (const ToleranceChoice& choice : kToleranceChoices) addItem(QString::fromUtf8(choice.text));
  SetTolerance(tolerance_);
  connect(this, &QComboBox::activated, this, [this](int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kToleranceChoices))) return;
    tolerance_ = kToleranceChoices[index].tolerance;
    emit ToleranceChosen(tolerance_);
  });
}

void CToleranceBox::SetTolerance(listening::Tolerance tolerance) {
  tolerance_ = tolerance;
  for (size_t i = 0; i < std::size(kToleranceChoices); ++i)
    if (kToleranceChoices[i].tolerance == tolerance) setCurrentIndex(static_cast<int>(i));
}
