#pragma once

#include <cstdio>
#include <string>

#include "cli/CommandLine.h"

// Standard output and error of an in-process command, captured in temporary files.
class CapturedStreams {
 public:
  CapturedStreams() : out_(std::tmpfile()), err_(std::tmpfile()) {}
  ~CapturedStreams() {
    std::fclose(out_);
    std::fclose(err_);
  }
  CapturedStreams(const CapturedStreams&) = delete;
  CapturedStreams& operator=(const CapturedStreams&) = delete;

  CommandLineStreams streams() const { return {stdin, out_, err_}; }
  std::string out() const { return Read(out_); }
  std::string err() const { return Read(err_); }

 private:
  static std::string Read(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    return text;
  }

  std::FILE* out_;
  std::FILE* err_;
};

// What an in-process command did: its exit status and what it wrote to each stream.
struct CommandRun {
  int status = -1;
  std::string out, err;
};

// Calls `command` with captured streams (it returns the exit status) and keeps what it wrote.
template <typename Command>
CommandRun RunCaptured(Command&& command) {
  CapturedStreams captured;
  CommandRun run;
  run.status = command(captured.streams());
  run.out = captured.out();
  run.err = captured.err();
  return run;
}
