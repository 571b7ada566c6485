#pragma once

#include <cstdio>

// The tunwick command line: `tunwick COMMAND ARGS...` runs one command without a window.
// Commands live in one table (name, arguments, summary, handler).

struct CommandLineStreams {
  std::FILE* in = stdin;
  std::FILE* out = stdout;
  std::FILE* err = stderr;
};

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;        // bad score, unreadable input, unwritable output
constexpr int kExitUsage = 2;          // unknown command or wrong arguments
constexpr int kExitInterrupted = 130;  // stopped by Ctrl-C, as shells report SIGINT

// Runs the command named by argv[1] (argc must be at least 2) and returns the exit status.
int RunCommandLine(int argc, char** argv, const CommandLineStreams& streams = {});
