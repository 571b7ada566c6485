#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/JudgementReport.h"
#include "cli/RangeOption.h"
#include "cli/TempoOption.h"
#include "history/PracticeHistory.h"
#include "listening/PhraseTargets.h"
#include "playback/Player.h"
#include "singback/CaptureEar.h"

const char kListenArguments[] =
    "FILE [--phrase N] [--range LOW-HIGH] [--tolerance strict|normal|easy] [--tempo PERCENT]";

namespace {

// How often the live pitch line is redrawn.
constexpr int64_t kLiveEveryMs = 50;

// Tells the learner what the exercise does as it does it, and shows each judged try.
class CListenDisplay : public PlayerObserver {
 public:
  CListenDisplay(const CPlayer& player, const CCaptureEar& ear, const std::string& path,
                 listening::Tolerance tolerance, std::FILE* out)
      : player_(player), ear_(ear), path_(path), tolerance_(tolerance), out_(out) {}

  void OnPlayerNotification(const PlayerNotification& n) override {
    const PlayerPosition at = player_.Position();
    switch (n.kind) {
      case PlayerNotification::kPassBegins:
        EndLive();
        std::fprintf(out_, "Phrase %d of %d, try %d of %d: listen\n", at.phrase + 1, at.phraseCount,
                     at.pass, at.passCount);
        break;
      case PlayerNotification::kListeningBegins:
        EndLive();
        std::fprintf(out_, "Sing it back now (%.1f s)\n", n.lengthMs / 1000.0);
        listening_ = true;
        takeSeconds_ = n.lengthMs / 1000.0;
        break;
      case PlayerNotification::kListeningEnds: {
        EndLive();
        listening_ = false;
        TakeReportHeading heading;
        heading.score = path_;
        heading.take = "the default input";
        heading.phrase = n.row + 1;
        heading.phrases = at.phraseCount;
        heading.transpose = player_.PhraseShift(n.row);
        heading.takeSeconds = takeSeconds_;
        heading.tolerance = tolerance_;
        WriteJudgementTable(out_, heading, judgement_);
        break;
      }
      case PlayerNotification::kStopped:
        EndLive();
        listening_ = false;
        break;
      default:
        break;
    }
    std::fflush(out_);
  }

  void TakeJudged(const listening::TakeJudgement& judgement) { judgement_ = judgement; }

  // The newest pitch heard against the note due then, on one line redrawn in place.
  void ShowLive() {
    listening::PitchFrame frame;
    if (!listening_ || !ear_.LatestFrame(frame)) return;
    std::string line = "  heard: ";
    if (!frame.voiced) {
      line += "-";
    } else {
      const int32_t nearest = static_cast<int32_t>(std::lround(frame.midiCents / 100.0));
      line += listening::NoteName(nearest);
      const std::vector<listening::TargetNote> targets = ear_.TargetsOf(player_.PhraseIndex());
      for (const listening::TargetNote& target : targets) {
        if (frame.timeMs < target.startMs || frame.timeMs >= target.endMs) continue;
        const double cents = listening::FoldToNearestOctave(frame.midiCents - 100.0 * target.pitch);
        char text[64];
        std::snprintf(text, sizeof text, "  (%s %+.0f cents)",
                      listening::NoteName(target.pitch).c_str(), cents);
        line += text;
        break;
      }
    }
    line.resize(std::max<size_t>(line.size(), 40), ' ');
    std::fprintf(out_, "\r%s", line.c_str());
    std::fflush(out_);
    liveShown_ = true;
  }

  void EndLive() {
    if (!liveShown_) return;
    std::fprintf(out_, "\n");
    liveShown_ = false;
  }

 private:
  const CPlayer& player_;
  const CCaptureEar& ear_;
  std::string path_;
  listening::Tolerance tolerance_;
  std::FILE* out_;
  bool listening_ = false;
  bool liveShown_ = false;
  double takeSeconds_ = 0.0;            // the length of the take running or judged last
  listening::TakeJudgement judgement_;  // of the take judged last
};

}  // namespace

int RunListenCommand(const Arguments& arguments, const CommandLineStreams& streams,
                     const ListenMachine& machine) {
  ParsedArguments parsed;
  if (!ParseArguments(arguments, {"--phrase", "--range", "--tolerance", "--tempo"}, streams,
                      parsed) ||
      parsed.positional.size() != 1)
    return Usage(streams, "listen", kListenArguments);
  long phraseNumber = 0;
  std::string problem;
  if (!ParsePhraseOption(parsed, phraseNumber, problem))
    return Usage(streams, "listen", kListenArguments, problem);
  std::optional<VoiceRange> range;
  if (!ParseRangeOption(parsed, range, problem))
    return Usage(streams, "listen", kListenArguments, problem);
  listening::Tolerance tolerance = listening::Tolerance::kNormal;
  if (!ParseToleranceOption(parsed, tolerance, problem))
    return Usage(streams, "listen", kListenArguments, problem);
  int32_t tempoPercent = 100;
  if (!ParseTempoOption(parsed, tempoPercent, problem))
    return Usage(streams, "listen", kListenArguments, problem);

  const std::string& path = parsed.positional[0];
  std::string text;
  if (!ReadScore(path, streams, text)) return kExitFailure;
  CHeadlessSession session(machine);
  CPlayer& player = session.Player();
  player.SetTempoPercent(tempoPercent);
  if (!session.Load(path, text, streams)) return kExitFailure;
  player.SetRange(range);
  problem = PhraseBeyondScore(path, phraseNumber, player.LoadedScore().phraseCount);
  if (!problem.empty()) return Usage(streams, "listen", kListenArguments, problem);

  session.WatchInterrupts();
  // The input opens first: without one nothing is played.
  std::unique_ptr<CCaptureEar> ear;
  try {
    ear = CCaptureEar::Listen(
        player, machine.makeInput ? machine.makeInput() : std::make_unique<CDefaultInput>());
  } catch (const std::exception& error) {
    std::fprintf(streams.err, "%s: cannot listen: %s\n", kProgram, error.what());
    return kExitFailure;
  }
  ear->SetTolerance(tolerance);
  player.SetEar(ear.get());
  if (!session.OpenDevice(-1, streams)) return kExitFailure;

  std::fprintf(streams.out, "Sing-back of %s. Press Ctrl-C to stop.\n", ShownPath(path).c_str());
  CListenDisplay display(player, *ear, ShownPath(path), tolerance, streams.out);
  player.AddObserver(&display);
  // Every try is shown and kept in the practice history; a try that cannot be kept is said
  // and the exercise goes on.
  history::CPracticeHistory practice(history::DefaultHistoryPath(), history::SystemWallClock(),
                                     [&streams](const std::string& notice) {
                                       std::fprintf(streams.err, "%s: %s\n", kProgram,
                                                    notice.c_str());
                                     });
  history::TakeContext context;
  context.scoreText = text;
  context.scoreFile = AbsoluteScorePath(path);
  context.range = range;
  context.source = "listen";
  context.tempoPercent = tempoPercent;
  ear->SetJudgementSink([&](int32_t row, const listening::TakeJudgement& judgement) {
    display.TakeJudged(judgement);
    // A take too quiet to judge gives no try to keep: the table says what to do.
    context.takeMs = player.TakeLengthMs();
    context.transpose = player.PhraseShift(row);
    if (const std::optional<history::TryRecord> tried =
            history::TryRecordOf(player.LoadedScore(), row, judgement, context))
      practice.Record(*tried);
  });
  PlayClock& clock = session.Clock();
  int64_t nextLiveMs = clock.NowMs();
  session.Run([&] { player.OnSingBack(static_cast<int32_t>(phraseNumber) - 1); },
              [&] {
                if (clock.NowMs() < nextLiveMs) return;
                nextLiveMs = clock.NowMs() + kLiveEveryMs;
                display.ShowLive();
              });
  ear->StopInput();
  ear->SetJudgementSink({});
  display.EndLive();
  player.RemoveObserver(&display);
  const int status = session.Outcome(streams);
  if (status != kExitOk) return status;

  // The summary: how each phrase of the exercise went.
  std::fprintf(streams.out, "Summary:\n");
  const std::vector<SingBackResult>& results = player.SingBackResults();
  for (size_t row = 0; row < results.size(); ++row) {
    const SingBackResult& result = results[row];
    if (result.tries == 0) continue;
    std::fprintf(streams.out, "  phrase %zu: %s after %d tr%s, %d of %d notes hit\n", row + 1,
                 result.passed ? "passed" : "not passed", result.tries,
                 result.tries == 1 ? "y" : "ies", result.hits, result.judged);
  }
  return kExitOk;
}
