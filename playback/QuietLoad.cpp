#include "playback/QuietLoad.h"

#include <cstring>

#include "playback/Player.h"
#include "playback/ScoreLoader.h"

bool LoadQuietly(CPlayer& player, const std::string& text) {
  const size_t length = std::strlen(text.c_str());
  if (length >= static_cast<size_t>(kTextBufferSize)) return false;
  const int32_t loadsBefore = player.LoadCount();
  SideTextSink* sink = player.SideTextSinkInUse();
  player.SetSideTextSink(nullptr);
  std::memcpy(player.TextBuffer(), text.c_str(), length + 1);
  {
    CPlayer::CBuildOnlyScope quietly(player);
    player.LoadAndPlay(player.TextBuffer());
  }
  player.SetSideTextSink(sink);
  return player.LoadCount() > loadsBefore;
}
