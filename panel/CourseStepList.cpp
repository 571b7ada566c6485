#include "panel/CourseStepList.h"

namespace {

QString PhrasesText(const std::vector<int32_t>& phrases) {
  if (phrases.empty()) return {};
  if (phrases.size() == 1) return QStringLiteral("第 %1 句").arg(phrases.front() + 1);
  return QStringLiteral("第 %1–%2 句").arg(phrases.front() + 1).arg(phrases.back() + 1);
}

}  // namespace

CCourseStepList::CCourseStepList(QWidget* parent) : QListWidget(parent) {
  setObjectName(QStringLiteral("courseSteps"));
  setSelectionMode(QAbstractItemView::NoSelection);
  setFocusPolicy(Qt::NoFocus);
}

QString CCourseStepList::StepText(const course::CourseStep& step) {
  QString text;
  switch (step.kind) {
    case course::StepKind::kReview:
      text = QStringLiteral("复习 ") + PhrasesText(step.phrases);
      break;
    case course::StepKind::kLearn:
      text = QStringLiteral("学 ") + PhrasesText(step.phrases);
      break;
    case course::StepKind::kChain:
      text = QStringLiteral("连唱 ") + PhrasesText(step.phrases);
      break;
    case course::StepKind::kWhole:
      text = QStringLiteral("唱全曲");
      break;
  }
  if (step.tempoPercent != 100) text += QStringLiteral("（%1 %）").arg(step.tempoPercent);
  return text;
}

void CCourseStepList::SetSteps(const std::vector<course::CourseStep>& steps) {
  texts_.clear();
  for (const course::CourseStep& step : steps) texts_.push_back(StepText(step));
  marks_.assign(texts_.size(), QString());
  clear();
  for (const QString& text : texts_) addItem(QStringLiteral("   ") + text);
}

void CCourseStepList::SetProgress(size_t done, bool running) {
  for (size_t i = 0; i < texts_.size(); ++i) {
    marks_[i] = i < done               ? QStringLiteral("✓")
                : i == done && running ? QStringLiteral("▶")
                                       : QString();
    QListWidgetItem* line = item(static_cast<int>(i));
    line->setText((marks_[i].isEmpty() ? QStringLiteral("   ") : marks_[i] + QStringLiteral("  ")) +
                  texts_[i]);
    QFont font = line->font();
    font.setBold(i == done && running);
    line->setFont(font);
    line->setForeground(i < done ? QBrush(Qt::darkGray) : QBrush(Qt::black));
  }
  if (running && done < texts_.size()) scrollToItem(item(static_cast<int>(done)));
}

QString CCourseStepList::MarkOf(int index) const {
  return index >= 0 && index < static_cast<int>(marks_.size()) ? marks_[static_cast<size_t>(index)]
                                                               : QString();
}
