#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "listening/PhraseTargets.h"
#include "listening/Pitch.h"
#include "listening/TakeJudge.h"
#include "listening/TakeLevel.h"
#include "listening/Tolerance.h"
#include "playback/PlayerNotification.h"

// Takes each take of phrase `row` as the judge judged it, with its per-note detail: on the
// player's thread, as the take ends, before the player tells its observers.
using JudgementSink = std::function<void(int32_t row, const listening::TakeJudgement& judgement)>;

// The input's level as a meter shows it, in dB below full scale.
struct InputLevel {
  double peakDb = listening::kSilentDb;  // the highest sample since the last look
  double rmsDb = listening::kSilentDb;   // the RMS of the latest block
  bool clipped = false;                  // a sample reached full scale since the last look
};

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
  // How strictly the takes that end from now on are judged.
  virtual void SetTolerance(listening::Tolerance tolerance) = 0;
  // The input's level since the last look, from the moment the input opens: safe to call
  // while another thread feeds the ear, and never holds that thread up.
  virtual InputLevel ReadInputLevel() = 0;
};
