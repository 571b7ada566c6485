#pragma once

#include "cli/CommandLine.h"
#include "cli/CommandLineSupport.h"

// `tunwick score`: judges a recorded take against one phrase of a score, as the sing-back
// exercise judges a try.

extern const char kScoreArguments[];

int RunScoreCommand(const Arguments& arguments, const CommandLineStreams& streams);
