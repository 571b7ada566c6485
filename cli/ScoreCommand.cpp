#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "capture/TakeFile.h"
#include "cli/Commands.h"
#include "cli/JudgementReport.h"
#include "cli/RangeOption.h"
#include "cli/TempoOption.h"
#include "history/PracticeHistory.h"
#include "listening/PhraseTargets.h"
#include "listening/TakeJudge.h"
#include "playback/Player.h"
#include "playback/SilentPlatform.h"

const char kScoreArguments[] =
    "FILE TAKE.wav [--phrase N] [--transpose K] [--json] [--record] [--range LOW-HIGH] "
    "[--tolerance strict|normal|easy] [--tempo PERCENT]";

namespace {

// Four octaves either way: further would take every note out of a singer's range.
constexpr long kMostTranspose = 48;

// A whole number with an optional sign in [-limit, limit].
bool ParseSemitones(const std::string& text, long limit, long& value) {
  const size_t digits = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  long magnitude = 0;
  if (!ParseWholeNumber(text.substr(digits), 0, limit, magnitude)) return false;
  value = text[0] == '-' ? -magnitude : magnitude;
  return true;
}

}  // namespace

int RunScoreCommand(const Arguments& arguments, const CommandLineStreams& streams) {
  // --json and --record are switches; the other options take values.
  Arguments rest = arguments;
  const bool json = TakeSwitch(rest, "--json");
  const bool record = TakeSwitch(rest, "--record");
  ParsedArguments parsed;
  if (!ParseArguments(rest, {"--phrase", "--transpose", "--range", "--tolerance", "--tempo"},
                      streams, parsed) ||
      parsed.positional.size() != 2)
    return Usage(streams, "score", kScoreArguments);
  long phraseNumber = 1;
  std::string problem;
  if (!ParsePhraseOption(parsed, phraseNumber, problem))
    return Usage(streams, "score", kScoreArguments, problem);
  listening::Tolerance tolerance = listening::Tolerance::kNormal;
  if (!ParseToleranceOption(parsed, tolerance, problem))
    return Usage(streams, "score", kScoreArguments, problem);
  int32_t tempoPercent = 100;
  if (!ParseTempoOption(parsed, tempoPercent, problem))
    return Usage(streams, "score", kScoreArguments, problem);
  long transpose = 0;
  if (parsed.Has("--transpose") &&
      !ParseSemitones(parsed.Option("--transpose", ""), kMostTranspose, transpose))
    return Usage(streams, "score", kScoreArguments,
                 "--transpose takes semitones from -" + std::to_string(kMostTranspose) + " to " +
                     std::to_string(kMostTranspose));
  // A range gives the transposition: the one the player would sing the phrase at.
  std::optional<VoiceRange> range;
  if (!ParseRangeOption(parsed, range, problem))
    return Usage(streams, "score", kScoreArguments, problem);
  if (range && parsed.Has("--transpose"))
    return Usage(streams, "score", kScoreArguments,
                 "--range and --transpose do not go together: the range gives the transposition");

  const std::string& path = parsed.positional[0];
  const std::string& takePath = parsed.positional[1];
  std::string text;
  if (!ReadScore(path, streams, text)) return kExitFailure;
  CSilentPlatform platform;
  CPlayer player(platform);
  player.SetTempoPercent(tempoPercent);
  if (!LoadScore(path, text, player, platform.messages, streams)) return kExitFailure;
  const Score& score = player.LoadedScore();
  problem = PhraseBeyondScore(path, phraseNumber, score.phraseCount);
  if (!problem.empty()) return Usage(streams, "score", kScoreArguments, problem);

  const int32_t row = static_cast<int32_t>(phraseNumber - 1);
  if (range) {
    player.SetRange(range);
    transpose = player.PhraseShift(row);
  }
  std::vector<listening::TargetNote> targets;
  try {
    targets = listening::PhraseTargets(score.phrases[row], static_cast<int32_t>(transpose));
  } catch (const std::out_of_range& error) {
    std::fprintf(streams.err, "%s: %s: %s\n", kProgram, ShownPath(path).c_str(), error.what());
    return kExitFailure;
  }

  const capture::TakeFileResult take = capture::TrackTakeFile(takePath);
  if (!take.ok) {
    std::fprintf(streams.err, "%s: cannot read %s: %s\n", kProgram, takePath.c_str(),
                 take.error.c_str());
    return kExitFailure;
  }
  listening::JudgeSettings judging;
  judging.hitCents = listening::ToleranceCents(tolerance);
  const listening::TakeJudgement judgement = listening::JudgeTake(targets, take.track, judging);

  TakeReportHeading heading;
  heading.score = ShownPath(path);
  heading.take = takePath;
  heading.phrase = static_cast<int32_t>(phraseNumber);
  heading.phrases = score.phraseCount;
  heading.transpose = static_cast<int32_t>(transpose);
  heading.takeSeconds = take.seconds;
  heading.tolerance = tolerance;
  if (json) {
    WriteJudgementJson(streams.out, heading, judgement);
  } else {
    WriteJudgementTable(streams.out, heading, judgement);
  }
  if (!record) return kExitOk;
  history::TakeContext context;
  context.scoreText = text;
  context.scoreFile = AbsoluteScorePath(path);
  context.transpose = static_cast<int32_t>(transpose);
  context.takeMs = static_cast<int32_t>(std::lround(take.seconds * 1000.0));
  context.range = range;
  context.source = "score";
  context.tempoPercent = tempoPercent;
  const std::optional<history::TryRecord> tried =
      history::TryRecordOf(score, row, judgement, context);
  // A take too quiet to judge is no try of the learner's: nothing is kept.
  if (!tried) {
    std::fprintf(streams.err, "%s: the take is too quiet to judge: not kept in the history\n",
                 kProgram);
    return kExitOk;
  }

  // Asked for, the try is kept in the practice history; not kept is a failure.
  history::CPracticeHistory practice(history::DefaultHistoryPath(), history::SystemWallClock(),
                                     [&streams](const std::string& notice) {
                                       std::fprintf(streams.err, "%s: %s\n", kProgram,
                                                    notice.c_str());
                                     });
  return practice.Record(*tried) ? kExitOk : kExitFailure;
}
