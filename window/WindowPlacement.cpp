#include "window/WindowPlacement.h"

#include <algorithm>

QPoint PlaceBeside(const QRect& beside, const QSize& size, const QRect& screen) {
  constexpr int kGap = 8;
  int x = beside.right() + 1 + kGap;
  if (x + size.width() - 1 > screen.right()) {
    const int left = beside.left() - kGap - size.width();
    x = left >= screen.left() ? left : std::max(screen.left(), screen.right() + 1 - size.width());
  }
  const int y = std::max(screen.top(), std::min(beside.top(), screen.bottom() + 1 - size.height()));
  return {x, y};
}
