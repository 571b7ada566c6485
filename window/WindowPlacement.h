#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <vector>

// Where a window of `size` (its frame) goes beside a window framed by `beside` on `screen`:
// to its right with a small gap, else to its left, else at the screen's right edge; never
// beyond the screen where it fits.
QPoint PlaceBeside(const QRect& beside, const QSize& size, const QRect& screen);

// Where a window of `size` (its frame) goes so that it covers neither the dialog nor the
// windows already open beside it (`open`, their frames): right of the dialog, else left of it,
// else right or left of an open window, else below or above the dialog or an open window,
// whichever first lies wholly on `screen` and clear of them all. Where none does, the place on
// the screen that covers the least of them. The sing-back panel and the score view open so.
QPoint PlaceApart(const QRect& dialog, const std::vector<QRect>& open, const QSize& size,
                  const QRect& screen);
