#include "cli/TempoOption.h"

#include "playback/PracticeTempo.h"

bool ParseTempoOption(const ParsedArguments& parsed, int32_t& percent, std::string& problem) {
  if (!parsed.Has("--tempo")) return true;
  std::string value = parsed.Option("--tempo", "");
  if (!value.empty() && value.back() == '%') value.pop_back();
  long parsedPercent = 0;
  if (!ParseWholeNumber(value, kSlowestTempoPercent, kFastestTempoPercent, parsedPercent)) {
    problem = "--tempo takes a share of the written tempo from " +
              std::to_string(kSlowestTempoPercent) + " to " + std::to_string(kFastestTempoPercent) +
              " (percent), not '" + parsed.Option("--tempo", "") + "'";
    return false;
  }
  percent = static_cast<int32_t>(parsedPercent);
  return true;
}
