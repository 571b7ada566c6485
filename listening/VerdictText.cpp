#include "listening/VerdictText.h"

namespace listening {

namespace {

struct Named {
  Verdict verdict;
  const char* name;
};

constexpr Named kVerdicts[] = {
    {Verdict::kHit, "hit"},
    {Verdict::kMissed, "missed"},
    {Verdict::kNotSung, "not sung"},
};

}  // namespace

const char* VerdictName(Verdict verdict) {
  for (const Named& named : kVerdicts)
    if (named.verdict == verdict) return named.name;
  return "not sung";
}

bool ParseVerdict(const std::string& name, Verdict& verdict) {
  for (const Named& named : kVerdicts)
    if (name == named.name) {
      verdict = named.verdict;
      return true;
    }
  return false;
}

const char* LevelVerdictName(LevelVerdict verdict) {
  switch (verdict) {
    case LevelVerdict::kGood:
      return "good";
    case LevelVerdict::kTooQuiet:
      return "too quiet";
    case LevelVerdict::kOverloaded:
      return "overloaded";
    case LevelVerdict::kSilent:
      return "silent";
    case LevelVerdict::kUnmeasured:
      break;
  }
  return "unmeasured";
}

}  // namespace listening
