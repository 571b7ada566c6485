#include "files/SideFileWriter.h"

#include <filesystem>
#include <system_error>

#include "files/ProgramFolder.h"
#include "files/ReplacingFile.h"
#include "files/ScoreTextFile.h"
#include "notation/Score.h"
#include "notation/ScoreParseError.h"

namespace {

enum class SideFileResult { kWritten, kFirstFailed, kSecondFailed };

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// The side files are made anew from the score at every parse: they are replaced in one
// rename like every file, without waiting for the disk.
bool WriteText(CReplacingFile& file, const char* text, int32_t length) {
  const std::string bytes = EncodeTextMode(std::string(text, static_cast<size_t>(length)));
  return file.Write(bytes.data(), bytes.size()) && file.Commit(CReplacingFile::Sync::kNone);
}

// Both files are created before either replaces its old one: a folder that takes neither
// leaves both as they were.
SideFileResult WriteSideFilesInto(const std::string& folder, const SideTexts& texts) {
  CReplacingFile first;
  CReplacingFile second;
  if (!first.Open(folder + "f1.txt")) return SideFileResult::kFirstFailed;
  if (!second.Open(folder + "f2.txt")) return SideFileResult::kSecondFailed;
  if (!WriteText(first, texts.sideText1, texts.sideText1Length))
    return SideFileResult::kFirstFailed;
  if (!WriteText(second, texts.sideText2, texts.sideText2Length))
    return SideFileResult::kSecondFailed;
  return SideFileResult::kWritten;
}

}  // namespace

namespace {

// An installed program's folder is no place for its side files, whoever runs it.
std::string OwnFolderForSideFiles() {
  const std::string folder = ProgramFolder();
  return IsSystemProgramFolder(folder) ? std::string() : folder;
}

}  // namespace

CSideFileWriter::CSideFileWriter() : CSideFileWriter(OwnFolderForSideFiles(), UserDataFolder()) {}

CSideFileWriter::CSideFileWriter(std::string programFolder, std::string dataFolder)
    : programFolder_(WithSeparator(std::move(programFolder))),
      dataFolder_(WithSeparator(std::move(dataFolder))) {}

void CSideFileWriter::WriteSideFiles(const SideTexts& texts) {
  SideFileResult result = SideFileResult::kFirstFailed;
  if (!programFolder_.empty()) {
    result = WriteSideFilesInto(programFolder_, texts);
    if (result == SideFileResult::kWritten) return;
  }
  if (!dataFolder_.empty()) {
    std::error_code ignored;
    std::filesystem::create_directories(dataFolder_, ignored);
    const SideFileResult second = WriteSideFilesInto(dataFolder_, texts);
    if (second == SideFileResult::kWritten) return;
    if (second == SideFileResult::kSecondFailed) result = second;
  }
  throw ScoreParseError(result == SideFileResult::kSecondFailed ? "open fail 2!" : "open fail!");
}
