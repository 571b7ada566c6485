#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/JudgementReport.h"
#include "cli/LearnSession.h"
#include "cli/RangeOption.h"
#include "cli/TempoOption.h"
#include "course/CourseHistory.h"
#include "history/PracticeHistory.h"
#include "history/ScoreIdentity.h"
#include "playback/Player.h"
#include "playback/SilentPlatform.h"

const char kLearnArguments[] =
    "FILE [--plan [--json] [--today YYYY-MM-DD]] [--range LOW-HIGH] "
    "[--tolerance strict|normal|easy] [--tempo PERCENT]";

namespace {

using course::CoursePlan;
using course::CourseStep;
using course::PhraseStanding;

// "phrase 3", "phrases 2-3".
std::string PhrasesText(const std::vector<int32_t>& phrases) {
  if (phrases.size() == 1) return "phrase " + std::to_string(phrases[0] + 1);
  return "phrases " + std::to_string(phrases.front() + 1) + "-" +
         std::to_string(phrases.back() + 1);
}

void WritePlanJson(std::FILE* out, const CoursePlan& plan, int64_t today) {
  std::fprintf(out, "{\"today\": %s, \"phrases\": [", JsonString(course::DayText(today)).c_str());
  const char* separator = "";
  for (size_t i = 0; i < plan.phrases.size(); ++i) {
    const PhraseStanding& standing = plan.phrases[i];
    const std::string review =
        standing.nextReview ? JsonString(course::DayText(*standing.nextReview)) : "null";
    std::fprintf(out, "%s\n {\"phrase\": %zu, \"state\": \"%s\", \"nextReview\": %s}", separator,
                 i + 1, course::PhraseStateName(standing.state), review.c_str());
    separator = ",";
  }
  std::fprintf(out, "],\n \"steps\": [");
  separator = "";
  for (const CourseStep& step : plan.steps) {
    std::string phrases;
    for (int32_t phrase : step.phrases)
      phrases += (phrases.empty() ? "" : ", ") + std::to_string(phrase + 1);
    std::fprintf(out, "%s\n {\"kind\": \"%s\", \"phrases\": [%s], \"tempoPercent\": %d}", separator,
                 course::StepKindName(step.kind), phrases.c_str(), step.tempoPercent);
    separator = ",";
  }
  std::fprintf(out, "]}\n");
}

void WritePlanText(std::FILE* out, const std::string& shown, const CoursePlan& plan,
                   int64_t today) {
  std::fprintf(out, "Course of %s on %s:\n", shown.c_str(), course::DayText(today).c_str());
  for (size_t i = 0; i < plan.phrases.size(); ++i) {
    const PhraseStanding& standing = plan.phrases[i];
    std::fprintf(out, "  phrase %zu: %s", i + 1, course::PhraseStateName(standing.state));
    if (standing.nextReview)
      std::fprintf(out, ", next review %s", course::DayText(*standing.nextReview).c_str());
    if (standing.state == course::PhraseState::kLearning && standing.tempoPercent != 100)
      std::fprintf(out, ", taught at %d %%", standing.tempoPercent);
    std::fprintf(out, "\n");
  }
  if (plan.steps.empty()) {
    std::fprintf(out, "Nothing to do today.\n");
    return;
  }
  std::fprintf(out, "Today:\n");
  for (size_t i = 0; i < plan.steps.size(); ++i)
    std::fprintf(out, "  %zu. %s\n", i + 1, DescribeStep(plan.steps[i]).c_str());
}

}  // namespace

std::string DescribeStep(const CourseStep& step) {
  std::string text;
  switch (step.kind) {
    case course::StepKind::kReview:
      text = "review " + PhrasesText(step.phrases);
      break;
    case course::StepKind::kLearn:
      text = "learn " + PhrasesText(step.phrases);
      break;
    case course::StepKind::kChain:
      text = "chain " + PhrasesText(step.phrases);
      break;
    case course::StepKind::kWhole:
      text = "the whole song (" + PhrasesText(step.phrases) + ")";
      break;
  }
  if (step.tempoPercent != 100) text += " at " + std::to_string(step.tempoPercent) + " %";
  return text;
}

int RunLearnCommand(const Arguments& arguments, const CommandLineStreams& streams,
                    const LearnMachine& machine) {
  Arguments rest = arguments;
  const bool planOnly = TakeSwitch(rest, "--plan");
  const bool json = TakeSwitch(rest, "--json");
  ParsedArguments parsed;
  if (!ParseArguments(rest, {"--today", "--range", "--tolerance", "--tempo"}, streams, parsed) ||
      parsed.positional.size() != 1)
    return Usage(streams, "learn", kLearnArguments);
  if (!planOnly && (json || parsed.Has("--today")))
    return Usage(streams, "learn", kLearnArguments, "--json and --today go with --plan");
  std::string problem;
  LearnOptions options;
  if (!ParseRangeOption(parsed, options.range, problem) ||
      !ParseToleranceOption(parsed, options.tolerance, problem) ||
      !ParseTempoOption(parsed, options.tempoPercent, problem))
    return Usage(streams, "learn", kLearnArguments, problem);
  const WallClockNow now = machine.clock ? machine.clock : history::SystemWallClock();
  int64_t today = history::LocalDay(now());
  if (parsed.Has("--today") && !course::ParseDay(parsed.Option("--today", ""), today))
    return Usage(streams, "learn", kLearnArguments,
                 "--today takes a date as YYYY-MM-DD, not '" + parsed.Option("--today", "") + "'");

  const std::string& path = parsed.positional[0];
  std::string text;
  if (!ReadScore(path, streams, text)) return kExitFailure;
  CSilentPlatform platform;
  CPlayer player(platform);
  if (!LoadScore(path, text, player, platform.messages, streams)) return kExitFailure;
  const int32_t phraseCount = player.LoadedScore().phraseCount;
  const std::string hash = history::ScoreHash(text);

  history::CPracticeHistory practice(
      history::DefaultHistoryPath(), now, [&streams](const std::string& notice) {
        std::fprintf(streams.err, "%s: %s\n", kProgram, notice.c_str());
      });
  CoursePlan plan;
  try {
    plan = practice.With([&](history::CPracticeStore& store) {
      return course::PlanFromHistory(store, hash, phraseCount, today);
    });
  } catch (const history::PracticeStoreError& error) {
    std::fprintf(streams.err, "%s: the practice history %s: %s\n", kProgram,
                 practice.Path().c_str(), error.what());
    return kExitFailure;
  }
  if (planOnly) {
    if (json) {
      WritePlanJson(streams.out, plan, today);
    } else {
      WritePlanText(streams.out, ShownPath(path), plan, today);
    }
    return kExitOk;
  }
  LearnRun run{path, text, options, plan, today};
  return RunLearnSession(run, practice, streams, machine);
}
