#pragma once

#include <QColor>

// The sing-back panel's look, shared by its piano roll and its history chart: the colours of a
// verdict, and the side margins they both keep (key names and percentages on the left).
inline const QColor kHitColour(40, 160, 60);
inline const QColor kMissedColour(210, 50, 40);
inline const QColor kWaitingColour(120, 140, 170);  // a note not yet judged

constexpr double kSingBackLeftMargin = 44.0;
constexpr double kSingBackRightMargin = 10.0;
