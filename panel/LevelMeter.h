#pragma once

#include <QRectF>

class QPainter;

// The input level meter of the sing-back panel: a bar from -60 to 0 dBFS (green, yellow from
// -18, red from -6) and a clip mark at its right end, lit once a sample reached full scale.
constexpr double kLevelMeterFloorDb = -60.0;

// How much of the bar `db` fills, 0 to 1.
double LevelMeterShare(double db);

void PaintLevelMeter(QPainter& painter, const QRectF& area, double db, bool clipped);
