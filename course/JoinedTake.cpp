#include "course/JoinedTake.h"

namespace course {

listening::TakeJudgement JoinedJudgement(const std::vector<listening::TakeJudgement>& parts,
                                         const std::vector<int32_t>& lengthsMs) {
  if (parts.empty()) return {};
  listening::TakeJudgement joined = parts.front();
  joined.notes.clear();
  joined.hits = 0;
  joined.nothingHeard = true;
  int32_t startMs = 0;
  for (size_t i = 0; i < parts.size(); ++i) {
    for (listening::NoteJudgement note : parts[i].notes) {
      note.target.startMs += startMs;
      note.target.endMs += startMs;
      joined.notes.push_back(note);
    }
    joined.hits += parts[i].hits;
    joined.nothingHeard = joined.nothingHeard && parts[i].nothingHeard;
    if (!parts[i].TooQuiet()) joined.level = parts[i].level;
    if (i < lengthsMs.size()) startMs += lengthsMs[i];
  }
  return joined;
}

}  // namespace course
