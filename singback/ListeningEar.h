#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "listening/PhraseTargets.h"
#include "listening/Pitch.h"
#include "listening/TakeJudge.h"
#include "playback/PlayerNotification.h"

// Takes each take of phrase `row` as the judge judged it, with its per-note detail: on the
// player's thread, as the take ends, before the player tells its observers.
using JudgementSink = std::function<void(int32_t row, const listening::TakeJudgement& judgement)>;

// The player's ear as the window and the terminal see it: besides starting and judging
// takes, it hands on the pitch it hears, the notes it judges against and its verdicts.
class ListeningEar : public PlayerEar {
 public:
  // The notes a take of phrase `row` is judged against.
  virtual std::vector<listening::TargetNote> TargetsOf(int32_t row) const = 0;
  // Appends the frames of the take running (or of the one judged last) from index `from` on,
  // timed from the take's start. Safe to call while another thread feeds the ear.
  virtual void TakeFramesFrom(size_t from, std::vector<listening::PitchFrame>& out) const = 0;
  // Where each judged take goes; empty: nowhere.
  virtual void SetJudgementSink(JudgementSink sink) = 0;
};
