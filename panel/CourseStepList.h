#pragma once

#include <QListWidget>
#include <QString>
#include <cstddef>
#include <vector>

#include "course/CoursePlan.h"

// Today's steps of the course, one line each, marked as the run goes: ✓ done, ▶ the step
// being sung, nothing for those still to come.
class CCourseStepList : public QListWidget {
  Q_OBJECT

 public:
  explicit CCourseStepList(QWidget* parent = nullptr);

  void SetSteps(const std::vector<course::CourseStep>& steps);
  // Steps before `done` are done; step `done` is sung now unless `running` is false.
  void SetProgress(size_t done, bool running);

  // A step as the learner reads it: "学 第 2 句（80 %）".
  static QString StepText(const course::CourseStep& step);
  // The mark shown before step `index`: "✓", "▶" or "".
  QString MarkOf(int index) const;

 private:
  std::vector<QString> texts_;
  std::vector<QString> marks_;
};
