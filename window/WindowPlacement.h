#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Where a window of `size` (its frame) goes beside a window framed by `beside` on `screen`:
// to its right with a small gap, else to its left, else at the screen's right edge; never
// beyond the screen where it fits. The sing-back panel and the score view open so.
QPoint PlaceBeside(const QRect& beside, const QSize& size, const QRect& screen);
