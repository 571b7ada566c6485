#pragma once

#include <cstddef>
#include <vector>

#include "listening/Pitch.h"

// What the range exercise hears the learner through: the pitch of everything sung since it
// started, frame by frame. Safe to ask while another thread feeds it.
class PitchListener {
 public:
  virtual ~PitchListener() = default;
  // Appends the frames from index `from` on, timed from the start.
  virtual void FramesFrom(size_t from, std::vector<listening::PitchFrame>& out) const = 0;
  // The time between two frames.
  virtual double HopMs() const = 0;
};
