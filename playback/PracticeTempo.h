#pragma once

#include <cstdint>

struct Score;

// The share of the written tempo a score is practised at: 25 % (four times as slow) to
// 200 % (twice as fast), 100 % as written.
constexpr int32_t kSlowestTempoPercent = 25;
constexpr int32_t kFastestTempoPercent = 200;
constexpr int32_t kWrittenTempoPercent = 100;

// Sets every phrase of a freshly parsed `score` to `percent` of its written tempo (a phrase
// without one counts as 120), rounded to whole beats per minute and at least 1. Everything
// timed from a phrase's tempo (the timeline, the sing-back targets, a take's length) follows;
// the text, and so the side files and the score's identity, stay as written.
void ScaleTempo(Score& score, int32_t percent);

// `tempo` beats per minute at `percent`, as ScaleTempo sets it.
int32_t ScaledTempo(int32_t tempo, int32_t percent);

// A share of the tempo taken at another share (a course step's 80 % of a chosen 90 %), kept
// within kSlowestTempoPercent to kFastestTempoPercent.
int32_t CombinedTempoPercent(int32_t percent, int32_t ofPercent);
