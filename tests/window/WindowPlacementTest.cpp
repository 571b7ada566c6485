// Where the sing-back panel and the score view open: beside the dialog, clear of each other,
// and on the screen.
#include <gtest/gtest.h>

#include <vector>

#include "window/WindowPlacement.h"

namespace {

TEST(WindowPlacementTest, BesideTheDialogAndOnTheScreen) {
  const QSize panel(560, 300);
  const struct {
    const char* name;
    QRect dialog;
    QRect screen;
    QPoint expected;
  } cases[] = {
      {"room on the right", QRect(100, 50, 870, 730), QRect(0, 0, 1920, 1080), QPoint(978, 50)},
      {"room on the left only", QRect(700, 50, 870, 730), QRect(0, 0, 1920, 1080), QPoint(132, 50)},
      {"no room beside it: at the screen's right edge", QRect(248, 20, 870, 730),
       QRect(0, 0, 1366, 768), QPoint(806, 20)},
      {"low on the screen: moved up", QRect(0, 900, 870, 730), QRect(0, 0, 1920, 1080),
       QPoint(878, 780)},
      {"a second screen to the right", QRect(2000, 0, 870, 730), QRect(1920, 0, 1920, 1080),
       QPoint(2878, 0)},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PlaceBeside(c.dialog, panel, c.screen), c.expected) << c.name;
}

// The sing-back panel and the score view open clear of the dialog and of each other, on the
// side of the screen that has room.
TEST(WindowPlacementTest, ApartFromTheDialogAndTheWindowAlreadyOpen) {
  const QSize panel(560, 540);
  const QSize view(488, 650);
  const struct {
    const char* name;
    QRect dialog;
    std::vector<QRect> open;
    QSize size;
    QRect screen;
    QPoint expected;
  } cases[] = {
      {"nothing open: right of the dialog",
       QRect(100, 50, 880, 650),
       {},
       panel,
       QRect(0, 0, 2560, 1440),
       QPoint(988, 50)},
      {"the view on the right: the panel right of it",
       QRect(100, 50, 880, 650),
       {QRect(QPoint(988, 50), view)},
       panel,
       QRect(0, 0, 2560, 1440),
       QPoint(1484, 50)},
      {"the panel on the right: the view right of it",
       QRect(100, 50, 880, 650),
       {QRect(QPoint(988, 50), panel)},
       view,
       QRect(0, 0, 2560, 1440),
       QPoint(1556, 50)},
      {"the dialog on the right, the view left of it: the panel left of that",
       QRect(1600, 50, 880, 650),
       {QRect(QPoint(1104, 50), view)},
       panel,
       QRect(0, 0, 2560, 1440),
       QPoint(536, 50)},
      {"no room beside: below the dialog",
       QRect(0, 0, 880, 650),
       {QRect(QPoint(888, 0), view)},
       panel,
       QRect(0, 0, 1920, 1440),
       QPoint(0, 658)},
      {"a second screen to the right",
       QRect(2000, 0, 880, 650),
       {QRect(QPoint(2888, 0), view)},
       panel,
       QRect(1920, 0, 1920, 1200),
       QPoint(2000, 658)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QPoint at = PlaceApart(c.dialog, c.open, c.size, c.screen);
    EXPECT_EQ(at, c.expected);
    const QRect placed(at, c.size);
    EXPECT_TRUE(c.screen.contains(placed));
    EXPECT_FALSE(placed.intersects(c.dialog));
    for (const QRect& open : c.open) EXPECT_FALSE(placed.intersects(open));
  }

  // No room anywhere: on the screen, over as little as can be.
  const QRect small(0, 0, 1366, 768);
  const QPoint at = PlaceApart(QRect(0, 0, 880, 650), {QRect(QPoint(888, 0), view)}, panel, small);
  EXPECT_TRUE(small.contains(QRect(at, panel)));
}

}  // namespace
