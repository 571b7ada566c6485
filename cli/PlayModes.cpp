#include "cli/PlayModes.h"

namespace {

struct ModeName {
  const char* name;
  PlayMode mode;
};
const ModeName kModeNames[] = {
    {"all", PlayAllMode},
    {"repeat", RepeatMode},
    {"teaching", TeachingMode},
    {"practice", PracticeMode},
};

}  // namespace

bool ParsePlayMode(const std::string& name, PlayMode& mode) {
  for (const ModeName& entry : kModeNames) {
    if (name == entry.name) {
      mode = entry.mode;
      return true;
    }
  }
  return false;
}

void StartPlayMode(CPlayer& player, PlayMode mode) {
  switch (mode) {
    case PlayAllMode:
      player.OnPlayAll();
      break;
    case RepeatMode:
      player.OnRepeat();
      break;
    case TeachingMode:
      player.OnTeaching();
      break;
    case PracticeMode:
      player.OnPractice();
      break;
    case SingBackMode:
      player.OnSingBack();
      break;
  }
}
