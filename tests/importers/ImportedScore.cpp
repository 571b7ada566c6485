#include "tests/importers/ImportedScore.h"

#include <memory>
#include <stdexcept>

#include "importers/AbcReader.h"
#include "importers/ScoreWriter.h"
#include "notation/Score.h"

namespace importtest {

namespace {

// The index of the voice each note of a phrase belongs to: a note that starts before the one
// ahead of it has ended begins the next voice.
std::vector<int> VoiceOfNotes(const Phrase& phrase) {
  std::vector<int> voices;
  int voice = 0;
  for (int32_t i = 0; i < phrase.noteCount; ++i) {
    if (i > 0 && phrase.startTimes[i] < phrase.startTimes[i - 1] + phrase.durations[i - 1] - 1e-9)
      ++voice;
    voices.push_back(voice);
  }
  return voices;
}

std::unique_ptr<Score> Parsed(const std::string& text) {
  auto score = std::make_unique<Score>();
  ParseScore(text.data(), static_cast<int32_t>(text.size()), *score);
  return score;
}

}  // namespace

std::string TextOfAbc(const std::string& abc, const importers::ImportOptions& options) {
  return importers::WriteScoreText(importers::ImportAbc(abc, options), options).text;
}

std::vector<HeardNote> VoiceNotes(const std::string& text, int voice) {
  const std::unique_ptr<Score> score = Parsed(text);
  std::vector<HeardNote> notes;
  double offset = 0.0;
  for (int32_t p = 0; p < score->phraseCount; ++p) {
    const Phrase& phrase = score->phrases[p];
    const std::vector<int> voices = VoiceOfNotes(phrase);
    for (int32_t i = 0; i < phrase.noteCount; ++i) {
      if (voices[i] != voice || phrase.pitches[i] == kRestPitch || phrase.durations[i] <= 0.0)
        continue;
      notes.push_back({offset + phrase.startTimes[i], phrase.durations[i], phrase.pitches[i]});
    }
    const int32_t last = FirstVoiceNoteCount(phrase) - 1;
    offset += phrase.startTimes[last] + phrase.durations[last];
  }
  return notes;
}

int VoiceCount(const std::string& text) {
  const std::unique_ptr<Score> score = Parsed(text);
  if (score->phraseCount == 0) return 0;
  const std::vector<int> voices = VoiceOfNotes(score->phrases[0]);
  return voices.empty() ? 0 : voices.back() + 1;
}

}  // namespace importtest
