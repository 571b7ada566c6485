#pragma once

#include <cstdio>
#include <string>

#include "listening/TakeJudge.h"
#include "listening/Tolerance.h"

// How a judged try is shown in a terminal: a table of the notes and a total, or the same as
// JSON for other programs.

// What the report says about where the take came from.
struct TakeReportHeading {
  std::string score;   // the score file as shown in messages
  std::string take;    // the take's file
  int32_t phrase = 1;  // counted from 1
  int32_t phrases = 1;
  int32_t transpose = 0;
  double takeSeconds = 0.0;
  listening::Tolerance tolerance = listening::Tolerance::kNormal;
};

// A JSON string: quotes, backslashes and control characters escaped; other bytes as they are.
std::string JsonString(const std::string& text);

// A line about the take, a line per note (number in the phrase, target, sung note, cents,
// voiced share, verdict) and the total, with whether the try passes; the tolerance when it
// is not the normal one. A take too quiet to judge gets what to do in place of the notes; an
// overloaded one, what to do after them.
void WriteJudgementTable(std::FILE* out, const TakeReportHeading& heading,
                         const listening::TakeJudgement& judgement);

// The same as one JSON object; pitches not sung are null.
void WriteJudgementJson(std::FILE* out, const TakeReportHeading& heading,
                        const listening::TakeJudgement& judgement);
