#include "panel/CourseStrip.h"

#include <QPainter>

namespace {

constexpr course::PhraseState kStates[] = {
    course::PhraseState::kNew, course::PhraseState::kLearning, course::PhraseState::kKnown};
constexpr int kSwatch = 10;

}  // namespace

CCourseStrip::CCourseStrip(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("courseStrip"));
  setFixedHeight(kHeight);
  setToolTip(QStringLiteral("每一句的进度：灰色 新句，橙色 在学，绿色 已会"));
}

QColor CCourseStrip::ColourOf(course::PhraseState state) {
  switch (state) {
    case course::PhraseState::kLearning:
      return QColor(240, 165, 40);
    case course::PhraseState::kKnown:
      return QColor(50, 160, 80);
    case course::PhraseState::kNew:
    default:
      return QColor(205, 205, 212);
  }
}

QString CCourseStrip::NameOf(course::PhraseState state) {
  switch (state) {
    case course::PhraseState::kLearning:
      return QStringLiteral("在学");
    case course::PhraseState::kKnown:
      return QStringLiteral("已会");
    case course::PhraseState::kNew:
    default:
      return QStringLiteral("新句");
  }
}

void CCourseStrip::SetStates(std::vector<course::PhraseState> states) {
  states_ = std::move(states);
  update();
}

void CCourseStrip::SetCurrent(int32_t first, int32_t last) {
  first_ = first;
  last_ = last;
  update();
}

void CCourseStrip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QFontMetrics metrics = painter.fontMetrics();
  // The legend first, from the right end: a swatch and its name for each state.
  int legendLeft = width();
  for (auto it = std::rbegin(kStates); it != std::rend(kStates); ++it) {
    const QString name = NameOf(*it);
    legendLeft -= metrics.horizontalAdvance(name) + kSwatch + 10;
    const QRect swatch(legendLeft, (height() - kSwatch) / 2, kSwatch, kSwatch);
    painter.fillRect(swatch, ColourOf(*it));
    painter.setPen(Qt::darkGray);
    painter.drawText(QRect(swatch.right() + 4, 0, width(), height()),
                     Qt::AlignLeft | Qt::AlignVCenter, name);
  }
  if (states_.empty()) return;
  // The phrases across the rest, each a cell with its number.
  const double across = std::max(1, legendLeft - 12);
  const double cell = across / static_cast<double>(states_.size());
  for (size_t i = 0; i < states_.size(); ++i) {
    const QRectF box(i * cell + 1, 2, std::max(1.0, cell - 2), height() - 4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ColourOf(states_[i]));
    painter.drawRoundedRect(box, 2, 2);
    painter.setPen(states_[i] == course::PhraseState::kNew ? Qt::black : Qt::white);
    if (cell > metrics.horizontalAdvance(QStringLiteral("88")))
      painter.drawText(box, Qt::AlignCenter, QString::number(i + 1));
    const auto row = static_cast<int32_t>(i);
    if (row >= first_ && row <= last_) {
      painter.setBrush(Qt::NoBrush);
      painter.setPen(QPen(QColor(30, 60, 200), 2.0));
      painter.drawRoundedRect(box.adjusted(-0.5, -1, 0.5, 1), 2, 2);
    }
  }
}
