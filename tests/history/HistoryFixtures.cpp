#include "tests/history/HistoryFixtures.h"

#include <ctime>

namespace historytest {

history::TryRecord MakeTry(const std::string& hash, int32_t phrase, int64_t unixMs,
                           const std::string& verdicts, double cents, int32_t utcOffsetMinutes) {
  history::TryRecord record;
  record.when = {unixMs, utcOffsetMinutes};
  record.scoreHash = hash;
  record.phrase = phrase;
  record.phraseText = "1,1,1,2,1,3";
  record.takeMs = static_cast<int32_t>(verdicts.size()) * 500 + 300;
  record.source = "listen";
  listening::TakeJudgement& judged = record.judgement;
  for (size_t i = 0; i < verdicts.size(); ++i) {
    listening::NoteJudgement note;
    note.target = {static_cast<int32_t>(i), 60 + static_cast<int32_t>(i),
                   static_cast<int32_t>(i) * 500, static_cast<int32_t>(i + 1) * 500};
    note.verdict = verdicts[i] == 'H'   ? listening::Verdict::kHit
                   : verdicts[i] == 'M' ? listening::Verdict::kMissed
                                        : listening::Verdict::kNotSung;
    if (note.verdict != listening::Verdict::kNotSung) {
      note.cents = cents;
      note.sungMidiCents = 100.0 * note.target.pitch + cents;
      note.voicedShare = 0.9;
      judged.nothingHeard = false;
    }
    if (note.verdict == listening::Verdict::kHit) ++judged.hits;
    judged.notes.push_back(note);
  }
  record.passed = listening::PassesPhrase(judged);
  return record;
}

int64_t UtcMs(int year, int month, int day, int hour, int minute) {
  std::tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  return static_cast<int64_t>(timegm(&fields)) * 1000;
}

}  // namespace historytest
