#pragma once

#include <cstdint>
#include <string>

#include "cli/CommandSupport.h"

// --tempo PERCENT (25 to 200), the share of the written tempo that play, render, listen, score
// and learn play and judge the phrases at. `percent` keeps its value without the option;
// false, with the problem to report, when the option is no such share.
bool ParseTempoOption(const ParsedArguments& parsed, int32_t& percent, std::string& problem);
