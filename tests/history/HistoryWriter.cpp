// Records tries into a practice history database in a loop, as a learner's Tunwick would, and
// prints the count after each one is committed: the tests run two at once, or kill one
// mid-write. Usage: tunwick_history_writer DB COUNT (0: until killed) [SCORE-HASH]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "history/PracticeStore.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s DB COUNT [SCORE-HASH]\n", argv[0]);
    return 2;
  }
  const long count = std::strtol(argv[2], nullptr, 10);
  const std::string hash = argc > 3 ? argv[3] : "00000000000000aa";
  try {
    history::CPracticeStore store(argv[1]);
    for (long n = 1; count == 0 || n <= count; ++n) {
      history::TryRecord record;
      record.when = {1700000000000 + n * 1000, 0};
      record.scoreHash = hash;
      record.phrase = static_cast<int32_t>(n % 4);
      record.phraseText = "1,1,1,2,1,3,1,4,1,5,1,6,1,7,1,1";
      record.takeMs = 4300;
      record.source = "listen";
      // Eight notes, the last n % 3 of them missed.
      for (int32_t i = 0; i < 8; ++i) {
        listening::NoteJudgement note;
        note.target = {i, 60 + i, i * 500, i * 500 + 500};
        note.verdict = i >= 8 - n % 3 ? listening::Verdict::kMissed : listening::Verdict::kHit;
        note.cents = note.verdict == listening::Verdict::kHit ? 5.0 : 80.0;
        note.sungMidiCents = 100.0 * note.target.pitch + note.cents;
        note.voicedShare = 1.0;
        record.judgement.hits += note.verdict == listening::Verdict::kHit ? 1 : 0;
        record.judgement.notes.push_back(note);
      }
      record.judgement.nothingHeard = false;
      record.passed = listening::PassesPhrase(record.judgement);
      store.Record(record);
      std::printf("%ld\n", n);
      std::fflush(stdout);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tunwick_history_writer: %s\n", error.what());
    return 1;
  }
  return 0;
}
