#pragma once

#include <optional>
#include <string>

#include "cli/CommandSupport.h"
#include "notation/VoiceRange.h"

// --range LOW-HIGH (e.g. A2-E4), the singer's range that play, render, listen and score fit
// the phrases into. The command line takes it from the option alone, never from the window's
// settings, so that a script plays the same wherever it runs. `range` stays empty without the
// option; false, with the problem to report, when the option is no range.
bool ParseRangeOption(const ParsedArguments& parsed, std::optional<VoiceRange>& range,
                      std::string& problem);
