#include <limits.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/JudgementReport.h"
#include "course/CourseHistory.h"
#include "files/ScoreTextFile.h"
#include "history/PracticeHistory.h"
#include "history/ScoreIdentity.h"
#include "listening/Pitch.h"
#include "listening/TakeJudge.h"
#include "listening/VerdictText.h"
#include "notation/Score.h"
#include "notation/ScoreParseError.h"

const char kProgressArguments[] = "[FILE] [--json] | --forget FILE";

namespace {

using history::CPracticeHistory;
using history::CPracticeStore;

std::string Share(int32_t hits, int32_t notes) {
  return std::to_string(hits) + "/" + std::to_string(notes) + " " +
         std::to_string(listening::HitPercent(hits, notes)) + "%";
}

std::string Plural(int64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// How a score is named: its file, or its hash when it was typed or built in.
std::string ScoreName(const history::ScoreSummary& score) {
  return score.file.empty() ? "score " + score.hash + " (typed or built in)"
                            : score.file + " (score " + score.hash + ")";
}

// How many phrases the song has: its file's, while the file still holds the text practised,
// else as many as its tries reached.
int32_t PhraseCountOf(const history::ScoreSummary& score,
                      const std::vector<course::CourseTry>& tries) {
  if (!score.file.empty()) {
    const ScoreTextReadResult read = ReadScoreTextFile(score.file);
    if (read.status == ScoreTextReadResult::kOk && history::ScoreHash(read.text) == score.hash) {
      auto parsed = std::make_unique<Score>();
      try {
        ParseScore(read.text.c_str(), static_cast<int32_t>(read.text.size()), *parsed);
        if (parsed->phraseCount > 0) return parsed->phraseCount;
      } catch (const ScoreParseError&) {
        // Counted from the tries below.
      }
    }
  }
  int32_t count = 0;
  for (const course::CourseTry& take : tries) count = std::max(count, take.lastPhrase + 1);
  return count;
}

// Where the song's course stands today.
course::CourseCounts CourseOf(const CPracticeStore& store, const history::ScoreSummary& score,
                              int64_t today) {
  const std::vector<course::CourseTry> tries = course::CourseTriesOf(store.TriesOf(score.hash));
  const int32_t count = PhraseCountOf(score, tries);
  return course::CountStandings(course::StandingsOf(count, tries), today);
}

void WriteScoresTable(std::FILE* out, const std::string& database,
                      const std::vector<history::ScoreSummary>& scores,
                      const std::vector<course::CourseCounts>& courses) {
  if (scores.empty()) {
    std::fprintf(out, "No tries stored yet in %s.\n", database.c_str());
    return;
  }
  std::fprintf(out, "Practice history in %s:\n", database.c_str());
  for (size_t i = 0; i < scores.size(); ++i) {
    const history::ScoreSummary& score = scores[i];
    std::fprintf(out, "\n%s\n  %s on %s, last %s\n", ScoreName(score).c_str(),
                 Plural(score.tally.tries, "try", "tries").c_str(),
                 Plural(score.tally.days, "day", "days").c_str(),
                 history::ShortTime(score.tally.last).c_str());
    const course::CourseCounts& c = courses[i];
    std::fprintf(out, "  Course: %d of %d phrases known, %d learning, %d due for review\n", c.known,
                 c.phrases, c.learning, c.due);
    std::fprintf(out, "  Phrase  Tries  Passed  Best         Last         Days  Text\n");
    for (const history::PhraseSummary& phrase : score.phrases) {
      const history::TryTally& t = phrase.tally;
      std::fprintf(out, "  %6d  %5lld  %6lld  %-11s  %-11s  %4d  %s\n", phrase.phrase + 1,
                   static_cast<long long>(t.tries), static_cast<long long>(t.passed),
                   Share(t.bestHits, t.bestNotes).c_str(), Share(t.lastHits, t.lastNotes).c_str(),
                   t.days, phrase.text.c_str());
    }
  }
}

void WriteScoresJson(std::FILE* out, const std::string& database,
                     const std::vector<history::ScoreSummary>& scores,
                     const std::vector<course::CourseCounts>& courses) {
  std::fprintf(out, "{\"database\": %s, \"scores\": [", JsonString(database).c_str());
  const char* separator = "";
  for (size_t i = 0; i < scores.size(); ++i) {
    const history::ScoreSummary& score = scores[i];
    const course::CourseCounts& c = courses[i];
    const history::TryTally& whole = score.tally;
    std::fprintf(out,
                 "%s\n {\"score\": %s, \"file\": %s, \"tries\": %lld, \"passed\": %lld,"
                 " \"days\": %d, \"first\": %s, \"last\": %s,"
                 " \"course\": {\"phrases\": %d, \"known\": %d, \"learning\": %d, \"due\": %d},"
                 " \"phrases\": [",
                 separator, JsonString(score.hash).c_str(),
                 score.file.empty() ? "null" : JsonString(score.file).c_str(),
                 static_cast<long long>(whole.tries), static_cast<long long>(whole.passed),
                 whole.days, JsonString(history::IsoTime(whole.first)).c_str(),
                 JsonString(history::IsoTime(whole.last)).c_str(), c.phrases, c.known, c.learning,
                 c.due);
    const char* phraseSeparator = "";
    for (const history::PhraseSummary& phrase : score.phrases) {
      const history::TryTally& t = phrase.tally;
      std::fprintf(out,
                   "%s\n  {\"phrase\": %d, \"text\": %s, \"tries\": %lld, \"passed\": %lld,"
                   " \"days\": %d, \"best\": {\"hits\": %d, \"notes\": %d},"
                   " \"last\": {\"when\": %s, \"hits\": %d, \"notes\": %d, \"passed\": %s}}",
                   phraseSeparator, phrase.phrase + 1, JsonString(phrase.text).c_str(),
                   static_cast<long long>(t.tries), static_cast<long long>(t.passed), t.days,
                   t.bestHits, t.bestNotes, JsonString(history::IsoTime(t.last)).c_str(),
                   t.lastHits, t.lastNotes, t.lastPassed ? "true" : "false");
      phraseSeparator = ",";
    }
    std::fprintf(out, "]}");
    separator = ",";
  }
  std::fprintf(out, "]}\n");
}

void WriteTriesTable(std::FILE* out, const std::string& shown,
                     const std::vector<history::TryRecord>& tries) {
  if (tries.empty()) {
    std::fprintf(out, "No tries of %s stored yet.\n", shown.c_str());
    return;
  }
  std::fprintf(out, "%s: %s\n", shown.c_str(),
               Plural(static_cast<int64_t>(tries.size()), "try", "tries").c_str());
  std::fprintf(out, "     #  When              Phrase  Hits       Result      Missed\n");
  for (size_t i = 0; i < tries.size(); ++i) {
    const history::TryRecord& t = tries[i];
    std::string missed;
    for (const listening::NoteJudgement& note : t.judgement.notes) {
      if (note.verdict == listening::Verdict::kHit) continue;
      if (!missed.empty()) missed += ", ";
      missed +=
          std::to_string(note.target.index + 1) + " " + listening::NoteName(note.target.pitch);
    }
    // A take of several phrases shows them all: "1-2".
    std::string phrases = std::to_string(t.phrase + 1);
    if (t.lastPhrase) phrases += "-" + std::to_string(*t.lastPhrase + 1);
    std::fprintf(out, "  %4zu  %s  %6s  %-9s  %-10s  %s\n", i + 1,
                 history::ShortTime(t.when).c_str(), phrases.c_str(),
                 Share(t.judgement.hits, t.judgement.Judged()).c_str(),
                 t.passed ? "passed" : "not passed", missed.c_str());
  }
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

void WriteTriesJson(std::FILE* out, const std::vector<history::TryRecord>& tries) {
  std::fprintf(out, "[");
  const char* separator = "";
  for (const history::TryRecord& t : tries) {
    const std::string range = t.rangeLow && t.rangeHigh
                                  ? "{\"low\": " + std::to_string(*t.rangeLow) +
                                        ", \"high\": " + std::to_string(*t.rangeHigh) + "}"
                                  : "null";
    std::fprintf(out,
                 "%s\n {\"when\": %s, \"phrase\": %d, \"hits\": %d, \"notes\": %d, \"passed\": %s,"
                 " \"phraseText\": %s, \"transpose\": %d, \"range\": %s, \"toleranceCents\": %s,"
                 " \"takeMs\": %d, \"offsetMs\": %d, \"source\": %s, \"file\": %s,"
                 " \"tempoPercent\": %d, \"lastPhrase\": %s,\n  \"detail\": [",
                 separator, JsonString(history::IsoTime(t.when)).c_str(), t.phrase + 1,
                 t.judgement.hits, t.judgement.Judged(), t.passed ? "true" : "false",
                 JsonString(t.phraseText).c_str(), t.transpose, range.c_str(),
                 Number(t.toleranceCents).c_str(), t.takeMs, t.judgement.offsetMs,
                 JsonString(t.source).c_str(),
                 t.scoreFile.empty() ? "null" : JsonString(t.scoreFile).c_str(), t.tempoPercent,
                 t.lastPhrase ? std::to_string(*t.lastPhrase + 1).c_str() : "null");
    const char* noteSeparator = "";
    for (const listening::NoteJudgement& note : t.judgement.notes) {
      const bool sung = note.verdict != listening::Verdict::kNotSung;
      const std::string sungName = JsonString(
          listening::NoteName(static_cast<int32_t>(std::lround(note.sungMidiCents / 100.0))));
      std::fprintf(out,
                   "%s\n   {\"note\": %d, \"target\": %s, \"targetKey\": %d, \"sung\": %s,"
                   " \"sungMidiCents\": %s, \"cents\": %s, \"verdict\": %s}",
                   noteSeparator, note.target.index + 1,
                   JsonString(listening::NoteName(note.target.pitch)).c_str(), note.target.pitch,
                   sung ? sungName.c_str() : "null",
                   sung ? Number(note.sungMidiCents).c_str() : "null",
                   sung ? Number(note.cents).c_str() : "null",
                   JsonString(listening::VerdictName(note.verdict)).c_str());
      noteSeparator = ",";
    }
    std::fprintf(out, "]}");
    separator = ",";
  }
  std::fprintf(out, "]\n");
}

}  // namespace

std::string AbsoluteScorePath(const std::string& path) {
  if (path == "-") return {};
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

int RunProgressCommand(const Arguments& arguments, const CommandLineStreams& streams) {
  Arguments positional = arguments;
  const bool json = TakeSwitch(positional, "--json");
  const bool forget = TakeSwitch(positional, "--forget");
  for (const std::string& word : positional)
    if (word.size() > 2 && word.compare(0, 2, "--") == 0)
      return Usage(streams, "progress", kProgressArguments, "unknown option '" + word + "'");
  if (positional.size() > 1 || (forget && (positional.size() != 1 || json)))
    return Usage(streams, "progress", kProgressArguments);

  CPracticeHistory practice(history::DefaultHistoryPath(), history::SystemWallClock(),
                            [&streams](const std::string& notice) {
                              std::fprintf(streams.err, "%s: %s\n", kProgram, notice.c_str());
                            });
  try {
    if (positional.empty()) {
      const std::vector<history::ScoreSummary> scores =
          practice.With([](CPracticeStore& store) { return store.Scores(); });
      const int64_t today = history::LocalDay(practice.Now());
      std::vector<course::CourseCounts> courses;
      for (const history::ScoreSummary& score : scores)
        courses.push_back(
            practice.With([&](CPracticeStore& store) { return CourseOf(store, score, today); }));
      if (json) {
        WriteScoresJson(streams.out, practice.Path(), scores, courses);
      } else {
        WriteScoresTable(streams.out, practice.Path(), scores, courses);
      }
      return kExitOk;
    }

    const std::string& path = positional[0];
    const std::string file = AbsoluteScorePath(path);
    if (forget) {
      // The score the file holds now, and the texts it held when earlier tries were sung.
      std::vector<std::string> hashes =
          practice.With([&file](CPracticeStore& store) { return store.HashesOfFile(file); });
      // A file gone or unreadable is forgotten by its name alone; a file never practised
      // must be read to be known.
      std::string text;
      bool read = false;
      if (path != "-") {
        const ScoreTextReadResult result = ReadScoreTextFile(path);
        read = result.status == ScoreTextReadResult::kOk;
        if (read) text = result.text;
      }
      if (!read && hashes.empty()) {
        if (!ReadScore(path, streams, text)) return kExitFailure;
        read = true;
      }
      if (read) {
        const std::string hash = history::ScoreHash(text);
        bool listed = false;
        for (const std::string& known : hashes) listed = listed || known == hash;
        if (!listed) hashes.push_back(hash);
      }
      int64_t going = 0;
      for (const std::string& hash : hashes)
        going += practice.With([&hash](CPracticeStore& store) { return store.CountTries(hash); });
      std::fprintf(streams.out, "Forgetting %s of %s.\n", Plural(going, "try", "tries").c_str(),
                   ShownPath(path).c_str());
      std::fflush(streams.out);
      int64_t gone = 0;
      for (const std::string& hash : hashes)
        gone += practice.With([&hash](CPracticeStore& store) { return store.Forget(hash); });
      std::fprintf(streams.out, "Forgot %s.\n", Plural(gone, "try", "tries").c_str());
      return kExitOk;
    }

    std::string text;
    if (!ReadScore(path, streams, text)) return kExitFailure;
    const std::string hash = history::ScoreHash(text);
    const std::vector<history::TryRecord> tries =
        practice.With([&hash](CPracticeStore& store) { return store.TriesOf(hash); });
    if (json) {
      WriteTriesJson(streams.out, tries);
    } else {
      WriteTriesTable(streams.out, ShownPath(path), tries);
    }
    return kExitOk;
  } catch (const history::PracticeStoreError& error) {
    std::fprintf(streams.err, "%s: the practice history %s: %s\n", kProgram,
                 practice.Path().c_str(), error.what());
    return kExitFailure;
  }
}
