#include "cli/RangeOption.h"

#include "listening/VoiceRangeText.h"

bool ParseRangeOption(const ParsedArguments& parsed, std::optional<VoiceRange>& range,
                      std::string& problem) {
  if (!parsed.Has("--range")) return true;
  range = listening::ParseVoiceRange(parsed.Option("--range", ""), problem);
  if (!range) problem = "--range: " + problem;
  return range.has_value();
}
