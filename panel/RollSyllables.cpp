#include "panel/RollSyllables.h"

#include <algorithm>

namespace {

// Closing punctuation a syllable carries, Chinese and Latin, and a hyphen to the next syllable.
bool Trailing(QChar c) {
  return c.isPunct() && c != QChar(0x2026);  // never the ellipsis itself
}

}  // namespace

FittedSyllable FitSyllable(const QString& syllable, const QFontMetricsF& metrics, double centre,
                           double left, double right, double top) {
  const double room = std::max(0.0, right - left);
  QString text = syllable;
  if (metrics.horizontalAdvance(text) > room) {
    while (!text.isEmpty() && Trailing(text.back())) text.chop(1);
    if (text.isEmpty()) text = syllable;  // punctuation only: shortened as it is
  }
  if (metrics.horizontalAdvance(text) > room) {
    text = metrics.elidedText(text, Qt::ElideRight, room);
    // The ellipsis alone says nothing of the syllable; a single character too wide for the
    // room comes back whole, and would overlap its neighbour.
    if (text == QString(QChar(0x2026)) || metrics.horizontalAdvance(text) > room) text.clear();
  }
  if (text.isEmpty()) return {};
  const double width = std::min(room, metrics.horizontalAdvance(text));
  const double x = std::clamp(centre - width / 2, left, right - width);
  return {text, QRectF(x, top, width, metrics.height())};
}
