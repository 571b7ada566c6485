#pragma once

#include <QColor>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "course/CourseState.h"

// The course's phrases as a strip over the song: one cell per phrase in song order, coloured
// by where it stands (new, learning, known), the phrases of the step being sung outlined, and
// a legend of the three colours at the strip's right end.
class CCourseStrip : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 20;

  explicit CCourseStrip(QWidget* parent = nullptr);

  // Each phrase's state, in song order; empty: no course shown.
  void SetStates(std::vector<course::PhraseState> states);
  const std::vector<course::PhraseState>& States() const { return states_; }
  // The phrases of the step being sung (from 0, inclusive); first > last for none.
  void SetCurrent(int32_t first, int32_t last);

  static QColor ColourOf(course::PhraseState state);
  static QString NameOf(course::PhraseState state);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<course::PhraseState> states_;
  int32_t first_ = 0;
  int32_t last_ = -1;
};
