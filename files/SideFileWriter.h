#pragma once

#include <string>

#include "notation/SideTexts.h"

// "f1.txt" and "f2.txt": the side texts of a successful parse stored as text (every LF as
// CR LF), each file replaced whole. They go into the program's own folder, or, where that
// cannot be written (an installed program), into the per-user data folder; never into the
// current folder unless the program lives there.
class CSideFileWriter : public SideTextSink {
 public:
  // This process's folders: ProgramFolder() and UserDataFolder().
  CSideFileWriter();
  // Given folders; an empty one is skipped.
  CSideFileWriter(std::string programFolder, std::string dataFolder);

  // Throws ScoreParseError "open fail!" when "f1.txt" can be written in neither folder,
  // "open fail 2!" when "f2.txt" cannot.
  void WriteSideFiles(const SideTexts& texts) override;

 private:
  std::string programFolder_;
  std::string dataFolder_;
};
