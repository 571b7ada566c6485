#include "panel/LevelMeter.h"

#include <QColor>
#include <QPainter>
#include <algorithm>

namespace {

constexpr double kYellowDb = -18.0;
constexpr double kRedDb = -6.0;
constexpr double kClipMarkWidth = 8.0;
constexpr double kGap = 2.0;

}  // namespace

double LevelMeterShare(double db) {
  return std::clamp((db - kLevelMeterFloorDb) / -kLevelMeterFloorDb, 0.0, 1.0);
}

void PaintLevelMeter(QPainter& painter, const QRectF& area, double db, bool clipped) {
  const QRectF bar(area.left(), area.top(), std::max(1.0, area.width() - kClipMarkWidth - kGap),
                   area.height());
  const QRectF clip(bar.right() + kGap, area.top(), kClipMarkWidth, area.height());
  painter.save();
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(235, 235, 240));
  painter.drawRect(bar);
  // The bar is filled in its three zones, each up to the level.
  const struct {
    double fromDb, toDb;
    QColor colour;
  } zones[] = {{kLevelMeterFloorDb, kYellowDb, QColor(60, 170, 80)},
               {kYellowDb, kRedDb, QColor(220, 180, 40)},
               {kRedDb, 0.0, QColor(210, 50, 40)}};
  for (const auto& zone : zones) {
    const double from = LevelMeterShare(zone.fromDb),
                 to = std::min(LevelMeterShare(zone.toDb), LevelMeterShare(db));
    if (to <= from) continue;
    painter.setBrush(zone.colour);
    painter.drawRect(QRectF(bar.left() + bar.width() * from, bar.top(), bar.width() * (to - from),
                            bar.height()));
  }
  painter.setBrush(clipped ? QColor(210, 50, 40) : QColor(235, 235, 240));
  painter.drawRect(clip);
  painter.setPen(QColor(170, 170, 180));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(bar);
  painter.drawRect(clip);
  painter.restore();
}
