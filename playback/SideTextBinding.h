#pragma once

#include "notation/SideTexts.h"
#include "playback/Player.h"

// While it lives, the side texts of every parse the player makes go to `sink`; the sink the
// player had before comes back when it ends.
class CSideTextBinding {
 public:
  CSideTextBinding(CPlayer& player, SideTextSink& sink)
      : player_(player), previous_(player.SideTextSinkInUse()) {
    player_.SetSideTextSink(&sink);
  }
  ~CSideTextBinding() { player_.SetSideTextSink(previous_); }
  CSideTextBinding(const CSideTextBinding&) = delete;
  CSideTextBinding& operator=(const CSideTextBinding&) = delete;

 private:
  CPlayer& player_;
  SideTextSink* previous_;
};
