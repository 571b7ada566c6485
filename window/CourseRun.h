#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "course/CoursePlan.h"
#include "history/PracticeHistory.h"
#include "listening/TakeJudge.h"
#include "playback/PlayerNotification.h"

class CPlayer;
class CSingBackPanel;
class CSingBackSession;
class QObject;
struct Score;

// The line said when a course ends: "known 5 of 8 phrases; next review: tomorrow" (the date
// when the next day due is later; "-" when nothing has been sung yet).
QString CourseSummary(const std::vector<course::PhraseStanding>& standings, int64_t today);

// 学唱整首 in the window: today's course of the loaded song run through sing-back, step after
// step, as `tunwick learn` runs it. A review or learn step sings its phrase back (heard
// first, then up to the exercise's tries until it passes); a chain or the whole song is one
// take of its phrases played as one (ChainedPhraseText), or where they cannot be one, its
// phrases in turn kept together as one try. Each step at its tempo share of the tempo chosen
// in the panel. After each take the plan is read again from the history and the panel's strip
// shows where each phrase stands; the step list marks the steps done and the one sung; at the
// end the panel says CourseSummary. Pause and Continue are the sing-back's own: a step goes on
// where it stood.
class CCourseRun : public PlayerObserver {
 public:
  // `context` (the dialog) carries the queued calls.
  CCourseRun(CPlayer& player, CSingBackSession& session, CSingBackPanel& panel, QObject& context);
  ~CCourseRun() override;
  CCourseRun(const CCourseRun&) = delete;
  CCourseRun& operator=(const CCourseRun&) = delete;

  // Plans today from the history and starts the first step; false when the microphone cannot
  // open, the history cannot be read or today holds nothing (the panel says which).
  bool Start();
  // Stops the course where it stands; the song is loaded again as the learner left it.
  void Stop();
  bool Running() const { return running_; }
  // The step being sung (from 0), or the count of steps once they are all done.
  size_t StepIndex() const { return step_; }
  const course::CoursePlan& Plan() const { return plan_; }

  void OnPlayerNotification(const PlayerNotification& notification) override;

 private:
  bool StartStep();
  void AfterTake();
  void EndStep();
  void Finish();
  void KeepTake(int32_t row, const listening::TakeJudgement& judgement);
  void Keep(int32_t row, const listening::TakeJudgement& judgement);
  // The plan read again from the history, and its standings shown; false when it cannot be.
  bool Replan();
  // The song itself back in the player at the tempo chosen in the panel.
  void RestoreSong();
  void ShowProgress();
  void EndRun();

  CPlayer& player_;
  CSingBackSession& session_;
  CSingBackPanel& panel_;
  QObject& context_;
  std::unique_ptr<Score> written_;  // the song as written, whose tries are kept
  course::CoursePlan plan_;
  std::vector<course::CourseStep> steps_;  // today's steps, as planned at the start
  history::TakeContext take_;
  int64_t today_ = 0;
  int32_t chosenTempo_ = 100;
  size_t step_ = 0;
  size_t partIndex_ = 0;
  std::vector<listening::TakeJudgement> parts_;
  std::vector<int32_t> lengths_;
  bool running_ = false;
  bool chained_ = false;  // the step's phrases are loaded as one
  bool afterTakeQueued_ = false;
};
