#include "importers/SongBounds.h"

#include <algorithm>
#include <string>
#include <vector>

namespace importers {

void EndBeforeLongSilence(ImportedSong& song) {
  std::vector<const ImportedNote*> notes;
  for (const ImportedPart& part : song.parts)
    for (const ImportedVoice& voice : part.voices)
      for (const ImportedNote& note : voice.notes)
        if (note.key != kRestKey) notes.push_back(&note);
  std::sort(notes.begin(), notes.end(),
            [](const ImportedNote* a, const ImportedNote* b) { return a->start < b->start; });
  double sounding = 0.0;  // where every note so far has ended
  const ImportedNote* after = nullptr;
  for (const ImportedNote* note : notes) {
    if (note->start - sounding > kMaxSilenceBeats) {
      after = note;
      break;
    }
    sounding = std::max(sounding, note->start + note->length);
  }
  if (after == nullptr) return;
  const double end = after->start;
  song.losses.push_back({after->bar, "the notes after a silence of more than " +
                                         std::to_string(int(kMaxSilenceBeats)) +
                                         " beats left out"});
  for (ImportedPart& part : song.parts) {
    for (ImportedVoice& voice : part.voices)
      voice.notes.erase(std::remove_if(voice.notes.begin(), voice.notes.end(),
                                       [&](const ImportedNote& n) { return n.start >= end; }),
                        voice.notes.end());
    part.phraseStarts.erase(std::remove_if(part.phraseStarts.begin(), part.phraseStarts.end(),
                                           [&](double beat) { return beat >= sounding; }),
                            part.phraseStarts.end());
  }
  auto cut = [&](auto& marks) {
    marks.erase(std::remove_if(marks.begin(), marks.end(),
                               [&](const auto& mark) { return mark.beat > sounding; }),
                marks.end());
  };
  cut(song.bars);
  cut(song.keys);
  cut(song.tempos);
}

}  // namespace importers
