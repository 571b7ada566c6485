#pragma once

#include <cstddef>
#include <vector>

#include "listening/Pitch.h"
#include "listening/TakeJudge.h"
#include "playback/PlayerNotification.h"

// The player's ear as the window sees it: besides starting and judging takes, it hands the
// pitch it hears to the sing-back panel.
class ListeningEar : public PlayerEar {
 public:
  // Appends the frames of the take running (or of the one judged last) from index `from` on,
  // timed from the take's start. Safe to call while another thread feeds the ear.
  virtual void TakeFramesFrom(size_t from, std::vector<listening::PitchFrame>& out) const = 0;
  // The take judged last.
  virtual const listening::TakeJudgement& LastJudgement() const = 0;
};
