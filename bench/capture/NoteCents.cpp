// Each note's cents as the judge gives them, for the accuracy benchmark against a reference
// tracker (praat-accuracy.sh): the take tracked as `tunwick score` tracks it and judged on
// the spans NOTES.txt gives, without looking for an offset.
//
//   tunwick_note_cents TAKE.wav NOTES.txt
//       NOTES.txt: a line of column names, then "startMs endMs key ..." per note. Prints a
//       line per note: its cents from the key, or "nan" when it was not sung.

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "capture/TakeFile.h"
#include "listening/TakeJudge.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tunwick_note_cents TAKE.wav NOTES.txt\n");
    return 2;
  }
  std::ifstream notes(argv[2]);
  std::string line;
  std::getline(notes, line);  // the column names
  std::vector<listening::TargetNote> targets;
  while (std::getline(notes, line)) {
    std::istringstream fields(line);
    double startMs = 0.0, endMs = 0.0;
    int key = 0;
    if (!(fields >> startMs >> endMs >> key)) continue;
    const int32_t index = static_cast<int32_t>(targets.size());
    targets.push_back({index, key, static_cast<int32_t>(std::lround(startMs)),
                       static_cast<int32_t>(std::lround(endMs))});
  }
  const capture::TakeFileResult take = capture::TrackTakeFile(argv[1]);
  if (!take.ok) {
    std::fprintf(stderr, "tunwick_note_cents: %s: %s\n", argv[1], take.error.c_str());
    return 1;
  }
  listening::JudgeSettings settings;
  settings.maxOffsetMs = 0;
  const listening::TakeJudgement judged = listening::JudgeTake(targets, take.track, settings);
  for (const listening::NoteJudgement& note : judged.notes) {
    if (note.verdict == listening::Verdict::kNotSung) {
      std::printf("nan\n");
    } else {
      std::printf("%.3f\n", note.cents);
    }
  }
  return 0;
}
