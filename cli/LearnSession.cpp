#include "cli/LearnSession.h"

#include <cstdio>
#include <vector>

#include "cli/Commands.h"
#include "cli/JudgementReport.h"
#include "course/CourseHistory.h"
#include "course/JoinedTake.h"
#include "history/ScoreIdentity.h"
#include "listening/PhraseTargets.h"
#include "notation/Score.h"
#include "playback/ChainedTake.h"
#include "playback/Player.h"
#include "playback/PracticeTempo.h"
#include "playback/QuietLoad.h"
#include "singback/CaptureEar.h"

namespace {

using course::CourseStep;
using course::StepKind;

bool SingleStep(const CourseStep& step) {
  return step.kind == StepKind::kReview || step.kind == StepKind::kLearn;
}

// Drives the steps one after another on one run of the player: each starts once the one
// before has ended. Says what the learner is to do as the player does it.
class CLearnDriver : public PlayerObserver {
 public:
  CLearnDriver(const LearnRun& run, CHeadlessSession& session, history::CPracticeHistory& practice,
               const CommandLineStreams& streams)
      : run_(run),
        session_(session),
        practice_(practice),
        streams_(streams),
        written_(std::make_unique<Score>()) {
    // The song as written: the phrases' texts kept with each try and a chain's phrase built.
    ParseScore(run.text.c_str(), static_cast<int32_t>(run.text.size()), *written_);
    context_.scoreText = run.text;
    context_.scoreFile = AbsoluteScorePath(run.path);
    context_.range = run.options.range;
    context_.source = "learn";
  }

  void OnPlayerNotification(const PlayerNotification& n) override {
    if (n.kind == PlayerNotification::kPassBegins) {
      const PlayerPosition at = session_.Player().Position();
      const std::vector<int32_t>& phrases = run_.plan.steps[step_].phrases;
      const std::string what = chained_ ? "Phrases " + std::to_string(phrases.front() + 1) + "-" +
                                              std::to_string(phrases.back() + 1)
                                        : "Phrase " + std::to_string(at.phrase + 1);
      std::fprintf(streams_.out, "%s, try %d of %d: listen\n", what.c_str(), at.pass, at.passCount);
    } else if (n.kind == PlayerNotification::kListeningBegins) {
      std::fprintf(streams_.out, "Sing it back now (%.1f s)\n", n.lengthMs / 1000.0);
    }
    std::fflush(streams_.out);
  }

  // Starts the first step; false when there is none.
  bool Start() { return NextStep(); }

  // After each tick: once the step's sing-back is over, the next phrase or step.
  void AfterTick() {
    CPlayer& player = session_.Player();
    if (!player.SingBackOver() || finished_) return;
    const CourseStep& step = run_.plan.steps[step_];
    if (!SingleStep(step) && !chained_ && ++partIndex_ < step.phrases.size()) {
      player.OnSingBack(step.phrases[partIndex_]);
      return;
    }
    EndStep();
    if (!NextStep()) finished_ = true;
  }

  // A judged take: shown, and kept (phrase by phrase, a chain once all its phrases are sung).
  void Judged(int32_t row, const listening::TakeJudgement& judgement) {
    CPlayer& player = session_.Player();
    const CourseStep& step = run_.plan.steps[step_];
    TakeReportHeading heading;
    heading.score = ShownPath(run_.path);
    heading.take = "the default input";
    heading.phrase = (chained_ ? step.phrases.front() : row) + 1;
    heading.phrases = written_->phraseCount;
    heading.transpose = player.PhraseShift(row);
    heading.takeSeconds = player.TakeLengthMs() / 1000.0;
    heading.tolerance = run_.options.tolerance;
    WriteJudgementTable(streams_.out, heading, judgement);
    std::fflush(streams_.out);
    if (judgement.TooQuiet()) return;
    context_.takeMs = player.TakeLengthMs();
    context_.transpose = player.PhraseShift(row);
    if (chained_) {
      context_.lastPhrase = step.phrases.back();
      Keep(step.phrases.front(), judgement);
      return;
    }
    if (!SingleStep(step)) {
      // A phrase sung again after a failed take: its last take counts.
      if (parts_.size() > partIndex_) {
        parts_.resize(partIndex_);
        lengths_.resize(partIndex_);
      }
      parts_.push_back(judgement);
      lengths_.push_back(listening::PhraseLengthMs(player.LoadedScore().phrases[row]));
      return;
    }
    context_.lastPhrase.reset();
    Keep(row, judgement);
  }

  int32_t ReviewsDone() const { return reviewsDone_; }
  int32_t StepsDone() const { return stepsDone_; }

 private:
  bool NextStep() {
    if (started_) ++step_;
    started_ = true;
    if (step_ >= run_.plan.steps.size()) return false;
    const CourseStep& step = run_.plan.steps[step_];
    const int32_t tempo = CombinedTempoPercent(step.tempoPercent, run_.options.tempoPercent);
    std::fprintf(streams_.out, "\nStep %zu of %zu: %s\n", step_ + 1, run_.plan.steps.size(),
                 DescribeStep(step).c_str());
    if (step.kind == StepKind::kLearn)
      std::fprintf(streams_.out, "Listen to the phrase and the cue, then sing it back.\n");
    std::fflush(streams_.out);
    CPlayer& player = session_.Player();
    context_.tempoPercent = tempo;
    partIndex_ = 0;
    parts_.clear();
    lengths_.clear();
    // A chain or the whole song is one phrase of its own, sung as one take; where its phrases
    // cannot be one, they are sung in turn.
    const std::string chain =
        SingleStep(step) ? std::string()
                         : ChainedPhraseText(*written_, step.phrases.front(), step.phrases.back());
    if (!chain.empty()) {
      player.SetTempoPercent(tempo);
      if (!LoadQuietly(player, chain)) return false;
      chained_ = true;
      player.OnSingBack(0);
      return true;
    }
    if (chained_ || tempo != player.TempoPercent()) {
      player.SetTempoPercent(tempo);
      if (!session_.Load(run_.path, run_.text, streams_)) return false;
      player.SetRange(run_.options.range);
      chained_ = false;
    }
    player.OnSingBack(step.phrases.front());
    return true;
  }

  void EndStep() {
    const CourseStep& step = run_.plan.steps[step_];
    ++stepsDone_;
    if (step.kind == StepKind::kReview) ++reviewsDone_;
    if (SingleStep(step) || chained_ || parts_.size() != step.phrases.size()) return;
    const listening::TakeJudgement joined = course::JoinedJudgement(parts_, lengths_);
    context_.lastPhrase = step.phrases.back();
    context_.transpose = session_.Player().PhraseShift(step.phrases.front());
    context_.takeMs = 0;
    for (int32_t length : lengths_) context_.takeMs += length;
    std::fprintf(streams_.out, "%s together: %d of %d notes hit, %s\n", DescribeStep(step).c_str(),
                 joined.hits, joined.Judged(),
                 listening::PassesPhrase(joined) ? "passed" : "not passed");
    Keep(step.phrases.front(), joined);
  }

  void Keep(int32_t row, const listening::TakeJudgement& judgement) {
    if (const std::optional<history::TryRecord> tried =
            history::TryRecordOf(*written_, row, judgement, context_))
      practice_.Record(*tried);
  }

  const LearnRun& run_;
  CHeadlessSession& session_;
  history::CPracticeHistory& practice_;
  const CommandLineStreams& streams_;
  history::TakeContext context_;
  size_t step_ = 0;
  bool started_ = false;
  bool finished_ = false;
  size_t partIndex_ = 0;
  std::vector<listening::TakeJudgement> parts_;
  std::vector<int32_t> lengths_;
  int32_t reviewsDone_ = 0;
  int32_t stepsDone_ = 0;
  std::unique_ptr<Score> written_;
  bool chained_ = false;  // the step's phrases are loaded as one
};

void WriteSummary(const LearnRun& run, history::CPracticeHistory& practice, int32_t reviews,
                  std::FILE* out) {
  const std::string hash = history::ScoreHash(run.text);
  const int32_t count = static_cast<int32_t>(run.plan.phrases.size());
  const course::CoursePlan after = practice.With([&](history::CPracticeStore& store) {
    return course::PlanFromHistory(store, hash, count, run.today);
  });
  const course::CourseCounts counts = course::CountStandings(after.phrases, run.today);
  const std::optional<int64_t> next = course::NextDueDay(after.phrases, run.today);
  std::fprintf(out, "\nKnown %d of %d phrases; reviews done: %d; next due: %s\n", counts.known,
               count, reviews, next ? course::DayText(*next).c_str() : "-");
}

}  // namespace

int RunLearnSession(const LearnRun& run, history::CPracticeHistory& practice,
                    const CommandLineStreams& streams, const LearnMachine& machine) {
  if (run.plan.steps.empty()) {
    std::fprintf(streams.out, "Nothing to do today for %s.\n", ShownPath(run.path).c_str());
    return kExitOk;
  }
  CHeadlessSession session(machine);
  CPlayer& player = session.Player();
  player.SetTempoPercent(kWrittenTempoPercent);
  if (!session.Load(run.path, run.text, streams)) return kExitFailure;
  player.SetRange(run.options.range);
  session.WatchInterrupts();
  std::unique_ptr<CCaptureEar> ear;
  try {
    ear = CCaptureEar::Listen(
        player, machine.makeInput ? machine.makeInput() : std::make_unique<CDefaultInput>());
  } catch (const std::exception& error) {
    std::fprintf(streams.err, "%s: cannot listen: %s\n", kProgram, error.what());
    return kExitFailure;
  }
  ear->SetTolerance(run.options.tolerance);
  player.SetEar(ear.get());
  if (!session.OpenDevice(-1, streams)) return kExitFailure;

  std::fprintf(streams.out, "Today's course of %s: %zu steps. Press Ctrl-C to stop.\n",
               ShownPath(run.path).c_str(), run.plan.steps.size());
  CLearnDriver driver(run, session, practice, streams);
  player.AddObserver(&driver);
  ear->SetJudgementSink([&driver](int32_t row, const listening::TakeJudgement& judged) {
    driver.Judged(row, judged);
  });
  session.Run([&] { driver.Start(); }, [&] { driver.AfterTick(); });
  ear->StopInput();
  ear->SetJudgementSink({});
  player.RemoveObserver(&driver);
  const int status = session.Outcome(streams);
  try {
    WriteSummary(run, practice, driver.ReviewsDone(), streams.out);
  } catch (const history::PracticeStoreError& error) {
    std::fprintf(streams.err, "%s: the practice history %s: %s\n", kProgram,
                 practice.Path().c_str(), error.what());
  }
  return status;
}
