#include "window/WindowPlacement.h"

#include <algorithm>

namespace {

constexpr int kGap = 8;

// `value` moved into [low, high] as far as it goes; `low` when the range is empty.
int Within(int value, int low, int high) { return std::max(low, std::min(value, high)); }

long long Area(const QRect& rect) {
  return rect.isEmpty() ? 0 : static_cast<long long>(rect.width()) * rect.height();
}

}  // namespace

QPoint PlaceBeside(const QRect& beside, const QSize& size, const QRect& screen) {
  int x = beside.right() + 1 + kGap;
  if (x + size.width() - 1 > screen.right()) {
    const int left = beside.left() - kGap - size.width();
    x = left >= screen.left() ? left : std::max(screen.left(), screen.right() + 1 - size.width());
  }
  const int y = std::max(screen.top(), std::min(beside.top(), screen.bottom() + 1 - size.height()));
  return {x, y};
}

QPoint PlaceApart(const QRect& dialog, const std::vector<QRect>& open, const QSize& size,
                  const QRect& screen) {
  std::vector<QRect> windows{dialog};
  windows.insert(windows.end(), open.begin(), open.end());
  const int lowestY = screen.bottom() + 1 - size.height();
  const int rightmostX = screen.right() + 1 - size.width();

  // Beside each window first (the dialog's sides before the others'), then under and over.
  std::vector<QPoint> candidates;
  for (const QRect& window : windows) {
    const int y = Within(window.top(), screen.top(), lowestY);
    candidates.emplace_back(window.right() + 1 + kGap, y);
    candidates.emplace_back(window.left() - kGap - size.width(), y);
  }
  for (const QRect& window : windows) {
    const int x = Within(window.left(), screen.left(), rightmostX);
    candidates.emplace_back(x, window.bottom() + 1 + kGap);
    candidates.emplace_back(x, window.top() - kGap - size.height());
  }

  long long leastCovered = -1;
  QPoint best = PlaceBeside(dialog, size, screen);
  for (const QPoint& candidate : candidates) {
    // Moved onto the screen where it reaches beyond it; then how much of the others it covers.
    const QPoint at(Within(candidate.x(), screen.left(), rightmostX),
                    Within(candidate.y(), screen.top(), lowestY));
    const QRect placed(at, size);
    long long covered = 0;
    for (const QRect& window : windows) covered += Area(placed.intersected(window));
    if (covered == 0 && at == candidate) return at;
    if (leastCovered < 0 || covered < leastCovered) {
      leastCovered = covered;
      best = at;
    }
  }
  return best;
}
