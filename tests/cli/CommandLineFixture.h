#pragma once

// The built program run as a learner runs it from a shell, in a folder of its own.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

#ifndef TUNWICK_BINARY
#error "TUNWICK_BINARY must name the built program"
#endif

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class CommandLineTest : public ::testing::Test {
 protected:
  // Runs the program with `arguments` (shell words) and, if given, `input` on standard
  // input. No display: a program that tried to open a window would fail here.
  Outcome Tunwick(const std::string& arguments, const std::string* input = nullptr) {
    return Run(folder, "'" TUNWICK_BINARY "' " + arguments, input);
  }

  // Runs `command` (shell words: the program and its arguments, with any environment
  // settings before them) in the folder `where`.
  Outcome Run(const std::string& where, const std::string& command,
              const std::string* input = nullptr) {
    const std::string in = folder + "/stdin", out = folder + "/stdout", err = folder + "/stderr";
    testsupport::WriteFileBytes(in, input ? *input : "");
    const std::string line = "cd '" + where + "' && env -u DISPLAY -u WAYLAND_DISPLAY " +
                             "QT_QPA_PLATFORM=xcb " + command + " <'" + in + "' >'" + out +
                             "' 2>'" + err + "'";
    const int raw = std::system(line.c_str());
    Outcome run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = testsupport::ReadFileBytes(out);
    run.err = testsupport::ReadFileBytes(err);
    return run;
  }

  std::string ScoreFile(const char* name, const std::string& text) {
    const std::string path = folder + "/" + name;
    testsupport::WriteFileBytes(path, text);
    return path;
  }

  testsupport::TempFolder temp;
  const std::string& folder = temp.path();
};
