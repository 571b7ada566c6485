#include "panel/HistoryChart.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "history/PracticeTime.h"
#include "history/WallClock.h"
#include "listening/Pitch.h"
#include "listening/TakeJudge.h"
#include "panel/SingBackStyle.h"

CHistoryChart::CHistoryChart(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("historyChart"));
}

void CHistoryChart::SetView(HistoryView view) {
  view_ = std::move(view);
  update();
}

QRectF CHistoryChart::ChartArea() const {
  // The strip's left part, below a line of caption and above a line of dates.
  const double top = 24.0;
  const double width =
      std::max(1.0, (this->width() - kSingBackLeftMargin - kSingBackRightMargin) * 0.5);
  return QRectF(kSingBackLeftMargin, top, width, std::max(1.0, kHeight - 24.0 - 28.0));
}

std::vector<QPointF> CHistoryChart::Points() const {
  const std::vector<history::TryPoint>& tries = view_.progress.tries;
  const QRectF area = ChartArea();
  std::vector<QPointF> points;
  points.reserve(tries.size());
  for (size_t i = 0; i < tries.size(); ++i) {
    // Tries evenly across, in order; a single try in the middle.
    const double x = tries.size() == 1
                         ? area.center().x()
                         : area.left() + area.width() * static_cast<double>(i) / (tries.size() - 1);
    const double share = listening::HitShare(tries[i].hits, tries[i].notes);
    points.emplace_back(x, area.bottom() - area.height() * share);
  }
  return points;
}

std::vector<std::pair<double, QString>> CHistoryChart::Dates() const {
  // A date under the first try of each day, skipped where it would run into the one before.
  constexpr double kLabelWidth = 34.0;
  const std::vector<history::TryPoint>& tries = view_.progress.tries;
  const std::vector<QPointF> points = Points();
  std::vector<std::pair<double, QString>> dates;
  int64_t lastDay = 0;
  for (size_t i = 0; i < tries.size(); ++i) {
    const int64_t day = history::LocalDay(tries[i].when);
    if (i > 0 && day == lastDay) continue;
    lastDay = day;
    if (!dates.empty() && points[i].x() - dates.back().first < kLabelWidth) continue;
    dates.emplace_back(points[i].x(), QStringLiteral("%1/%2")
                                          .arg(history::LocalMonth(tries[i].when))
                                          .arg(history::LocalDayOfMonth(tries[i].when)));
  }
  return dates;
}

void CHistoryChart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF area = ChartArea();
  painter.setPen(QColor(200, 200, 210));
  painter.drawLine(QPointF(8, 0), QPointF(width() - 8, 0));
  if (!view_.notice.isEmpty()) {
    // The history could not be used: why, in place of the chart's caption.
    painter.setPen(kMissedColour);
    painter.drawText(QRectF(8, 2, width() - 16, 20), Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(view_.notice, Qt::ElideMiddle, width() - 16));
  } else {
    painter.setPen(Qt::black);
    painter.drawText(
        QRectF(kSingBackLeftMargin, 2, area.width(), 20), Qt::AlignLeft | Qt::AlignVCenter,
        view_.progress.tries.empty()
            ? QStringLiteral("这一句还没有练习记录")
            : QStringLiteral("这一句的 %1 次练习：唱准的比例").arg(view_.progress.tries.size()));
  }
  PaintChart(painter, area);
  PaintMissedNotes(painter, area);
}

void CHistoryChart::PaintChart(QPainter& painter, const QRectF& area) {
  // 0 to 100 % up, the judge's pass line, a point per try (green passed, red not).
  painter.setPen(QColor(170, 170, 180));
  painter.drawRect(area);
  for (const int percent : {0, 50, 100}) {
    const double y = area.bottom() - area.height() * percent / 100.0;
    painter.setPen(Qt::darkGray);
    painter.drawText(QRectF(0, y - 8, kSingBackLeftMargin - 4, 16),
                     Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("%1%").arg(percent));
  }
  const double passY = area.bottom() - area.height() * listening::JudgeSettings{}.passShare;
  painter.setPen(QPen(kHitColour, 1.0, Qt::DashLine));
  painter.drawLine(QPointF(area.left(), passY), QPointF(area.right(), passY));
  const std::vector<QPointF> points = Points();
  if (points.size() > 1) {
    painter.setPen(QPen(QColor(30, 60, 200, 120), 1.0));
    QPainterPath path;
    path.moveTo(points[0]);
    for (size_t i = 1; i < points.size(); ++i) path.lineTo(points[i]);
    painter.drawPath(path);
  }
  const double radius = points.size() > 60 ? 1.5 : 3.0;
  for (size_t i = 0; i < points.size(); ++i) {
    const QColor colour = view_.progress.tries[i].passed ? kHitColour : kMissedColour;
    painter.setPen(colour.darker(130));
    painter.setBrush(colour);
    painter.drawEllipse(points[i], radius, radius);
  }
  painter.setBrush(Qt::NoBrush);
  painter.setPen(Qt::darkGray);
  for (const auto& [x, label] : Dates())
    painter.drawText(QRectF(x - 20, area.bottom() + 3, 40, 16), Qt::AlignHCenter | Qt::AlignTop,
                     label);
}

void CHistoryChart::PaintMissedNotes(QPainter& painter, const QRectF& area) {
  // Beside the chart: the notes that miss most, and the last 7 days' practice.
  const double textLeft = area.right() + 16;
  QRectF line(textLeft, 2 + (view_.notice.isEmpty() ? 0 : 20),
              std::max(1.0, width() - textLeft - kSingBackRightMargin), 20);
  painter.setPen(Qt::black);
  painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("最常唱错的音"));
  const std::vector<history::MissedNote>& missed = view_.progress.mostMissed;
  painter.setPen(Qt::darkGray);
  if (missed.empty()) {
    line.translate(0, 20);
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("（还没有）"));
  }
  for (size_t i = 0; i < missed.size() && i < 3; ++i) {
    const history::MissedNote& note = missed[i];
    line.translate(0, 20);
    QString text = QStringLiteral("第%1音 %2：错 %3/%4")
                       .arg(note.index + 1)
                       .arg(QString::fromStdString(listening::NoteName(note.writtenPitch)))
                       .arg(note.misses)
                       .arg(note.tries);
    if (note.sung > 0) {
      const long cents = std::lround(note.meanCents);
      text += QStringLiteral("，平均%1音分")
                  .arg(cents > 0 ? QStringLiteral("+%1").arg(cents) : QString::number(cents));
    }
    painter.setPen(kMissedColour.darker(120));
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, text);
  }
  line.moveTop(area.bottom() - 20);
  painter.setPen(Qt::black);
  painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, PracticeLine());
}

QString CHistoryChart::PracticeLine() const {
  return QStringLiteral("最近 7 天练习：") +
         QString::fromStdString(history::PracticeTimeText(view_.weekPracticeMs));
}
