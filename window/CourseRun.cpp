#include "window/CourseRun.h"

#include <QObject>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <cstring>

#include "course/CourseHistory.h"
#include "course/JoinedTake.h"
#include "history/ScoreIdentity.h"
#include "listening/PhraseTargets.h"
#include "notation/Score.h"
#include "panel/CoursePane.h"
#include "panel/CourseStepList.h"
#include "panel/CourseStrip.h"
#include "panel/SingBackPanel.h"
#include "playback/ChainedTake.h"
#include "playback/Player.h"
#include "playback/PracticeTempo.h"
#include "playback/QuietLoad.h"
#include "window/SingBackSession.h"

namespace {

using course::CourseStep;
using course::StepKind;

bool SingleStep(const CourseStep& step) {
  return step.kind == StepKind::kReview || step.kind == StepKind::kLearn;
}

}  // namespace

QString CourseSummary(const std::vector<course::PhraseStanding>& standings, int64_t today) {
  const course::CourseCounts counts = course::CountStandings(standings, today);
  const std::optional<int64_t> next = course::NextDueDay(standings, today);
  const QString day = !next                ? QStringLiteral("-")
                      : *next == today + 1 ? QStringLiteral("tomorrow")
                                           : QString::fromStdString(course::DayText(*next));
  return QStringLiteral("known %1 of %2 phrases; next review: %3")
      .arg(counts.known)
      .arg(counts.phrases)
      .arg(day);
}

CCourseRun::CCourseRun(CPlayer& player, CSingBackSession& session, CSingBackPanel& panel,
                       QObject& context)
    : player_(player), session_(session), panel_(panel), context_(context) {
  player_.AddObserver(this);
}

CCourseRun::~CCourseRun() {
  player_.RemoveObserver(this);
  if (running_) session_.SetTakeKeeper({});
}

bool CCourseRun::Start() {
  if (running_) return true;
  CCoursePane& pane = panel_.Course();
  const std::string& text = session_.ScoreText();
  written_ = std::make_unique<Score>();
  ParseScore(text.c_str(), static_cast<int32_t>(std::strlen(text.c_str())), *written_);
  today_ = session_.Today();
  if (!Replan()) return false;
  steps_ = plan_.steps;
  pane.Steps().SetSteps(steps_);
  if (steps_.empty()) {
    pane.SetStatus(QStringLiteral("今天没有要练的。") + CourseSummary(plan_.phrases, today_));
    return false;
  }
  // The microphone opens once there is something to sing.
  if (!session_.OpenEar()) return false;
  take_ = {};
  take_.scoreText = text;
  take_.scoreFile = session_.ScoreFile();
  take_.range = player_.Range();
  take_.source = "window";
  chosenTempo_ = pane.TempoPercent();
  step_ = 0;
  chained_ = false;
  running_ = true;
  pane.LearnButton().setEnabled(false);
  pane.TempoBox().setEnabled(false);
  session_.SetTakeKeeper(
      [this](int32_t row, const listening::TakeJudgement& judgement) { KeepTake(row, judgement); });
  panel_.Reset();
  return StartStep();
}

bool CCourseRun::StartStep() {
  if (step_ >= steps_.size()) {
    Finish();
    return true;
  }
  // The microphone is let go whenever playback stops, between steps too.
  if (!session_.OpenEar()) {
    Stop();
    return false;
  }
  const CourseStep& step = steps_[step_];
  const int32_t tempo = CombinedTempoPercent(step.tempoPercent, chosenTempo_);
  take_.tempoPercent = tempo;
  partIndex_ = 0;
  parts_.clear();
  lengths_.clear();
  ShowProgress();
  // A chain or the whole song is one phrase of its own, sung as one take; where its phrases
  // cannot be one, they are sung in turn.
  const std::string chain =
      SingleStep(step) ? std::string()
                       : ChainedPhraseText(*written_, step.phrases.front(), step.phrases.back());
  if (!chain.empty()) {
    player_.SetTempoPercent(tempo);
    if (!LoadQuietly(player_, chain)) {
      Stop();
      return false;
    }
    chained_ = true;
    // The song's words belong to its own phrases, not to the chain's one.
    panel_.SetSong(nullptr);
    panel_.SetPhraseSpan(step.phrases.front(), step.phrases.back());
    player_.OnSingBack(0);
    return true;
  }
  if (chained_ || tempo != player_.TempoPercent()) {
    player_.SetTempoPercent(tempo);
    LoadQuietly(player_, session_.ScoreText());
    panel_.SetSong(session_.LoadedSong());
    panel_.SetPhraseSpan(0, -1);
    chained_ = false;
  }
  player_.OnSingBack(step.phrases.front());
  return true;
}

void CCourseRun::OnPlayerNotification(const PlayerNotification& n) {
  if (!running_) return;
  if (n.kind == PlayerNotification::kPassBegins && player_.Position().mode != SingBackMode) {
    // Another mode took the player over: the course ends there, its tries kept.
    EndRun();
    panel_.Course().SetStatus(QStringLiteral("课程已停止"));
    return;
  }
  // A step's sing-back is over (not paused): the next once the player has finished telling.
  if (n.kind == PlayerNotification::kStopped && player_.SingBackOver() && !afterTakeQueued_) {
    afterTakeQueued_ = true;
    QTimer::singleShot(0, &context_, [this] {
      afterTakeQueued_ = false;
      if (running_) AfterTake();
    });
  }
}

void CCourseRun::AfterTake() {
  const CourseStep& step = steps_[step_];
  if (!SingleStep(step) && !chained_ && ++partIndex_ < step.phrases.size()) {
    if (!session_.OpenEar()) {
      Stop();
      return;
    }
    player_.OnSingBack(step.phrases[partIndex_]);
    return;
  }
  EndStep();
  ++step_;
  StartStep();
}

void CCourseRun::EndStep() {
  const CourseStep& step = steps_[step_];
  if (SingleStep(step) || chained_ || parts_.size() != step.phrases.size()) return;
  take_.lastPhrase = step.phrases.back();
  take_.transpose = player_.PhraseShift(step.phrases.front());
  take_.takeMs = 0;
  for (int32_t length : lengths_) take_.takeMs += length;
  Keep(step.phrases.front(), course::JoinedJudgement(parts_, lengths_));
}

void CCourseRun::KeepTake(int32_t row, const listening::TakeJudgement& judgement) {
  if (!running_ || judgement.TooQuiet()) return;
  const CourseStep& step = steps_[step_];
  take_.takeMs = player_.TakeLengthMs();
  take_.transpose = player_.PhraseShift(row);
  if (chained_) {
    take_.lastPhrase = step.phrases.back();
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
    lengths_.push_back(listening::PhraseLengthMs(player_.LoadedScore().phrases[row]));
    return;
  }
  take_.lastPhrase.reset();
  Keep(row, judgement);
}

void CCourseRun::Keep(int32_t row, const listening::TakeJudgement& judgement) {
  if (const std::optional<history::TryRecord> tried =
          history::TryRecordOf(*written_, row, judgement, take_))
    session_.Practice().Record(*tried);
  Replan();
}

bool CCourseRun::Replan() {
  const std::string hash = history::ScoreHash(session_.ScoreText());
  try {
    plan_ = session_.Practice().With([&](history::CPracticeStore& store) {
      return course::PlanFromHistory(store, hash, written_->phraseCount, today_);
    });
  } catch (const history::PracticeStoreError& error) {
    panel_.Course().SetStatus(QStringLiteral("练习记录无法读取：") +
                              QString::fromLocal8Bit(error.what()));
    return false;
  }
  std::vector<course::PhraseState> states;
  for (const course::PhraseStanding& standing : plan_.phrases) states.push_back(standing.state);
  panel_.Course().Strip().SetStates(std::move(states));
  return true;
}

void CCourseRun::ShowProgress() {
  CCoursePane& pane = panel_.Course();
  pane.Steps().SetProgress(step_, running_);
  if (running_ && step_ < steps_.size()) {
    const CourseStep& step = steps_[step_];
    pane.Strip().SetCurrent(step.phrases.front(), step.phrases.back());
    // A phrase being learnt is heard first: the learner listens, then sings.
    pane.SetStatus(
        QStringLiteral("第 %1/%2 步：%3%4")
            .arg(step_ + 1)
            .arg(steps_.size())
            .arg(CCourseStepList::StepText(step))
            .arg(step.kind == StepKind::kLearn ? QStringLiteral("，先听再唱") : QString()));
  } else {
    pane.Strip().SetCurrent(0, -1);
  }
}

void CCourseRun::RestoreSong() {
  player_.SetTempoPercent(chosenTempo_);
  LoadQuietly(player_, session_.ScoreText());
  chained_ = false;
  panel_.SetSong(session_.LoadedSong());
  panel_.SetPhraseSpan(0, -1);
}

void CCourseRun::EndRun() {
  running_ = false;
  session_.SetTakeKeeper({});
  player_.SetTempoPercent(chosenTempo_);
  CCoursePane& pane = panel_.Course();
  pane.LearnButton().setEnabled(true);
  pane.TempoBox().setEnabled(true);
  ShowProgress();
}

void CCourseRun::Stop() {
  if (!running_) return;
  player_.OnPause();
  EndRun();
  RestoreSong();
  panel_.Course().SetStatus(QStringLiteral("课程已停止"));
}

void CCourseRun::Finish() {
  EndRun();
  RestoreSong();
  Replan();
  panel_.Course().SetStatus(CourseSummary(plan_.phrases, today_));
}
