#pragma once

#include <cstdint>
#include <cstdio>

// Progress of a long command on a terminal: one line redrawn in place, only when what it
// shows changes. On a stream that is no terminal it draws nothing.
class CProgressBar {
 public:
  // `total` is the amount that means done (milliseconds of audio, say).
  CProgressBar(std::FILE* stream, int64_t total);
  static bool IsTerminal(std::FILE* stream);

  void Update(int64_t done);
  // Draws the full bar and ends its line.
  void Finish();
  // Clears the line, for a message after a failure.
  void Clear();

 private:
  void Draw(int64_t done);

  std::FILE* stream_;
  int64_t total_;
  bool terminal_;
  int shownPermille_ = -1;
};
