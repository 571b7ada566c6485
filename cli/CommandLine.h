#pragma once

#include "cli/CommandSupport.h"

// The tunwick command line: `tunwick COMMAND ARGS...` runs one command without a window.
// Commands live in one table (name, arguments, summary, handler), which also writes --help.

// Runs the command named by argv[1] (argc must be at least 2) and returns the exit status.
int RunCommandLine(int argc, char** argv, const CommandLineStreams& streams = {});
