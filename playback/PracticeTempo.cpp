#include "playback/PracticeTempo.h"

#include <algorithm>
#include <cmath>

#include "notation/Score.h"

int32_t ScaledTempo(int32_t tempo, int32_t percent) {
  const int32_t written = tempo > 0 ? tempo : 120;
  if (percent == kWrittenTempoPercent) return written;
  const long scaled = std::lround(static_cast<double>(written) * percent / 100.0);
  return static_cast<int32_t>(std::max(1L, scaled));
}

void ScaleTempo(Score& score, int32_t percent) {
  if (percent == kWrittenTempoPercent) return;
  for (int32_t i = 0; i < score.phraseCount; ++i)
    score.phrases[i].tempo = ScaledTempo(score.phrases[i].tempo, percent);
}

int32_t CombinedTempoPercent(int32_t percent, int32_t ofPercent) {
  return std::clamp(percent * ofPercent / 100, kSlowestTempoPercent, kFastestTempoPercent);
}
