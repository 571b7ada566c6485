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
