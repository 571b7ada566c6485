#pragma once

#include <cstdint>

constexpr int32_t kSideTextCapacity = 60000;

// The side texts of one parse: the first voice ("f1.txt") and the further voices ("f2.txt")
// of every phrase, in text order. Plain bytes, no terminator, each at most kSideTextCapacity
// bytes, reserved up front.
struct SideTexts {
  char sideText1[kSideTextCapacity];
  int32_t sideText1Length = 0;
  char sideText2[kSideTextCapacity];
  int32_t sideText2Length = 0;
};

// Takes the side texts at the end of every successful parse into a Score that has one; the
// program writes them to "f1.txt" and "f2.txt". A ScoreParseError it throws ("open fail!")
// leaves ParseScore as the parse's own message.
class SideTextSink {
 public:
  virtual ~SideTextSink() = default;
  virtual void WriteSideFiles(const SideTexts& texts) = 0;
};
