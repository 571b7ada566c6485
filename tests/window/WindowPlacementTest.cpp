// Where the sing-back panel and the score view open: beside the dialog and on the screen.
#include <gtest/gtest.h>

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

}  // namespace
