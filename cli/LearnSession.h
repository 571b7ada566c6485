#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/CommandSupport.h"
#include "cli/HeadlessSession.h"
#include "course/CoursePlan.h"
#include "history/PracticeHistory.h"
#include "listening/Tolerance.h"
#include "notation/VoiceRange.h"
#include "singback/SoundInput.h"

// What `tunwick learn` runs today's course with, besides the plan.
struct LearnOptions {
  std::optional<VoiceRange> range;
  listening::Tolerance tolerance = listening::Tolerance::kNormal;
  int32_t tempoPercent = 100;  // every step's tempo scaled by this share
};

using WallClockNow = history::WallClock;

// The machine `learn` runs on: the device and clock of a real-time command, the input (empty:
// the desktop's default) and the wall clock the tries are dated by (empty: the system's).
struct LearnMachine : HeadlessMachine {
  std::function<std::unique_ptr<SoundInput>()> makeInput;
  WallClockNow clock;
};

struct LearnRun {
  std::string path;
  std::string text;
  LearnOptions options;
  course::CoursePlan plan;
  int64_t today = 0;
};

// A step as the learner reads it: "learn phrase 3 at 80 %", "chain phrases 2-3".
std::string DescribeStep(const course::CourseStep& step);

// Runs the plan's steps through the microphone: each step said before it starts; a review or
// learn step plays its phrase with the cue and listens, up to kSingBackTries tries until it
// passes. A chain or whole step is sung the same way as one take of its phrases played as one
// (ChainedPhraseText), judged against their targets in order and kept as one try spanning them;
// phrases that cannot be one (a key or tempo change, a second voice) are sung in turn instead,
// and their last takes kept together as that one try. Each judged take is shown and kept as it
// ends; Ctrl-C stops with every finished try kept. Ends with a summary: phrases known, reviews
// done and the next day something is due.
int RunLearnSession(const LearnRun& run, history::CPracticeHistory& practice,
                    const CommandLineStreams& streams, const LearnMachine& machine);
