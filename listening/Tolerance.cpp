#include "listening/Tolerance.h"

namespace listening {

namespace {

struct Level {
  Tolerance tolerance;
  const char* name;
  double cents;
};

constexpr Level kLevels[] = {
    {Tolerance::kStrict, "strict", 25.0},
    {Tolerance::kNormal, "normal", 50.0},
    {Tolerance::kEasy, "easy", 100.0},
};

const Level& LevelOf(Tolerance tolerance) {
  for (const Level& level : kLevels)
    if (level.tolerance == tolerance) return level;
  return kLevels[1];
}

}  // namespace

double ToleranceCents(Tolerance tolerance) { return LevelOf(tolerance).cents; }

const char* ToleranceName(Tolerance tolerance) { return LevelOf(tolerance).name; }

bool ParseTolerance(const std::string& name, Tolerance& tolerance) {
  for (const Level& level : kLevels)
    if (name == level.name) {
      tolerance = level.tolerance;
      return true;
    }
  return false;
}

}  // namespace listening
