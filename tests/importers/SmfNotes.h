#pragma once

#include <string>
#include <vector>

// A small Standard MIDI File reader for the tests: the notes of each track, in ticks.

namespace importtest {

struct SmfNote {
  long start = 0;
  long end = 0;
  int key = 0;
  int channel = 0;
};

struct SmfFile {
  int division = 0;  // ticks per quarter note
  std::vector<std::vector<SmfNote>> tracks;
};

// False when the bytes are not a Standard MIDI File of ticks per quarter note.
bool ReadSmf(const std::string& bytes, SmfFile& file);

}  // namespace importtest
