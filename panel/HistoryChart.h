#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <utility>
#include <vector>

#include "history/PracticeStore.h"

// What the practice history says about a phrase: its tries, its most missed notes and the
// time practised over the last 7 days; `notice` when the history could not be used.
struct HistoryView {
  bool shown = false;  // there is a history to show
  history::PhraseProgress progress;
  int64_t weekPracticeMs = 0;
  QString notice;
};

// The practice history strip along the bottom of the sing-back panel: the share of notes hit
// in every try of the phrase on a chart with its dates and the judge's pass line; beside it
// the notes that miss most with their average error, and the last 7 days' practice.
class CHistoryChart : public QWidget {
 public:
  // The strip's height.
  static constexpr int kHeight = 150;

  explicit CHistoryChart(QWidget* parent = nullptr);

  void SetView(HistoryView view);
  const HistoryView& View() const { return view_; }

  // The chart's points (one per try, in time order) at the strip's present size, and the
  // labels of its date axis with their x.
  std::vector<QPointF> Points() const;
  std::vector<std::pair<double, QString>> Dates() const;
  // The last 7 days' practice as the strip shows it.
  QString PracticeLine() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRectF ChartArea() const;
  void PaintChart(QPainter& painter, const QRectF& area);
  void PaintMissedNotes(QPainter& painter, const QRectF& area);

  HistoryView view_;
};
