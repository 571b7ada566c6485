#include "listening/PhraseTargets.h"

#include <stdexcept>

#include "notation/BeatTime.h"
#include "notation/Phrase.h"

namespace listening {

namespace {

int32_t TimeMs(double beats, int32_t msPerBeat) {
  const std::optional<int32_t> ms = BeatsToMs(beats, msPerBeat);
  if (!ms) throw std::out_of_range("The phrase lasts more than 2147483647 milliseconds.");
  return *ms;
}

}  // namespace

std::vector<TargetNote> PhraseTargets(const Phrase& phrase, int32_t transpose) {
  std::vector<TargetNote> targets;
  if (phrase.noteCount <= 0 || !phrase.startTimes) return targets;
  const int32_t msPerBeat = MsPerBeat(phrase);
  // A singer follows one line: the first voice.
  const int32_t notes = FirstVoiceNoteCount(phrase);
  for (int32_t i = 0; i < notes; ++i) {
    const int64_t pitch = static_cast<int64_t>(phrase.pitches[i]) + transpose;
    if (pitch < 1 || pitch > 127) continue;
    const int32_t startMs = TimeMs(phrase.startTimes[i], msPerBeat);
    const int32_t endMs = TimeMs(phrase.startTimes[i] + phrase.durations[i], msPerBeat);
    if (endMs - startMs < 1) continue;
    targets.push_back({i, static_cast<int32_t>(pitch), startMs, endMs});
  }
  return targets;
}

int32_t PhraseLengthMs(const Phrase& phrase) {
  if (phrase.noteCount <= 0 || !phrase.startTimes) return 0;
  return TimeMs(phrase.startTimes[phrase.noteCount], MsPerBeat(phrase));
}

}  // namespace listening
