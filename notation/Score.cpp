#include "notation/Score.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "notation/ScoreParseError.h"
#include "notation/SideTexts.h"

char sideText1[kSideTextCapacity];
int32_t sideText1Length = 0;
char sideText2[kSideTextCapacity];
int32_t sideText2Length = 0;

namespace {

// The working text as it stood before the tempo digits were lowered (with its zero).
char typedCopy[kScoreTextCapacity];

// Receives a phrase beyond the slot table, to tell an empty piece from a 3001st phrase.
Phrase overflowSlot;

std::string programFolder;           // with a trailing '/', or empty for the current folder
std::string sideFileFolderOverride;  // tests: replaces the program folder when not empty

// Side files are stored as text: every LF becomes CR LF.
char fileBuffer[2 * kSideTextCapacity];

std::string WithSeparator(const std::string& folder) {
  if (folder.empty() || folder.back() == '/') return folder;
  return folder + '/';
}

std::string FolderOf(const char* path) {
  const char* slash = std::strrchr(path, '/');
  if (slash == nullptr) return std::string();
  return std::string(path, static_cast<size_t>(slash - path) + 1);
}

// $XDG_DATA_HOME/tunwick, by default ~/.local/share/tunwick; empty when neither is known.
std::string UserDataFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (dataHome != nullptr && dataHome[0] == '/') {
    base = dataHome;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') return std::string();
    base = std::string(home) + "/.local/share";
  }
  return WithSeparator(base) + "tunwick/";
}

bool WriteTextFile(std::FILE* file, const char* bytes, int32_t length) {
  int32_t out = 0;
  for (int32_t i = 0; i < length; ++i) {
    if (bytes[i] == '\n') fileBuffer[out++] = '\r';
    fileBuffer[out++] = bytes[i];
  }
  return std::fwrite(fileBuffer, 1, static_cast<size_t>(out), file) == static_cast<size_t>(out);
}

enum class SideFileResult { kWritten, kFirstFailed, kSecondFailed };

SideFileResult WriteSideFilesInto(const std::string& folder) {
  std::FILE* first = std::fopen((folder + "f1.txt").c_str(), "wb");
  if (first == nullptr) return SideFileResult::kFirstFailed;
  std::FILE* second = std::fopen((folder + "f2.txt").c_str(), "wb");
  if (second == nullptr) {
    std::fclose(first);
    return SideFileResult::kSecondFailed;
  }
  bool written = WriteTextFile(first, sideText1, sideText1Length);
  written = std::fclose(first) == 0 && written;
  bool written2 = WriteTextFile(second, sideText2, sideText2Length);
  written2 = std::fclose(second) == 0 && written2;
  if (!written) return SideFileResult::kFirstFailed;
  if (!written2) return SideFileResult::kSecondFailed;
  return SideFileResult::kWritten;
}

// Clears the typed copy's registration however ParseScore leaves.
struct TypedTextRegistration {
  TypedTextRegistration(const char* working, int32_t length) {
    SetTypedScoreText(working, typedCopy, length);
  }
  ~TypedTextRegistration() { SetTypedScoreText(nullptr, nullptr, 0); }
};

}  // namespace

Score::Score() {
  std::memset(text, 0, sizeof text);
  for (Phrase& phrase : phrases) ResetPhrase(phrase);
}

Score::~Score() {
  for (Phrase& phrase : phrases) ReleasePhrase(phrase);
}

void ParseScore(const char* text, int32_t length, Score& score) {
  // 1. Nothing to parse: nothing is touched.
  if (text == nullptr || length <= 0) return;

  // 2. Trim one '|' at each end.
  if (text[0] == '|') {
    ++text;
    --length;
  }
  if (length > 0 && text[length - 1] == '|') --length;

  // 3. The working copy, up to a zero byte; it must leave room for the terminator.
  const void* zero = std::memchr(text, '\0', static_cast<size_t>(length));
  const int32_t copied =
      zero == nullptr ? length : static_cast<int32_t>(static_cast<const char*>(zero) - text);
  if (copied >= kScoreTextCapacity)
    throw ScoreParseError("error: score text of 50000 characters or more");
  char* const work = score.text;
  if (copied > 0)
    std::memmove(work, text, static_cast<size_t>(copied));  // the text may be this very copy
  work[copied] = '\0';
  const int32_t n = copied;
  score.textLength = n;

  // 4. Blank comments "/* ... */"; an unclosed one runs to the end of the text.
  for (int32_t i = 0; i + 1 < n; ++i) {
    if (work[i] != '/' || work[i + 1] != '*') continue;
    int32_t end = n - 1;
    for (int32_t j = i + 2; j < n - 1; ++j) {
      if (work[j] == '*' && work[j + 1] == '/') {
        end = j + 1;
        break;
      }
    }
    std::memset(work + i, ' ', static_cast<size_t>(end - i + 1));
  }

  // 5. Lower the digits (and spaces) of tempo fields so that they are not read as notes.
  std::memcpy(typedCopy, work, static_cast<size_t>(n) + 1);
  TypedTextRegistration registration(work, n + 1);
  for (int32_t k = 0; k < n - 5; ++k) {
    if (work[k] != 's' || work[k + 1] != '=') continue;
    for (int32_t m = k + 2; m < k + 5; ++m) {
      const char c = work[m];
      if (!((c >= '0' && c <= '9') || c == ' ')) break;
      work[m] = static_cast<char>(static_cast<unsigned char>(c) - 20);
    }
  }

  // 6. Start the side texts and the slot table anew.
  sideText1Length = 0;
  sideText2Length = 0;
  score.phraseCount = 0;

  // 7. Split at '|' and parse each piece; empty pieces are dropped.
  int32_t start = 0;
  for (;;) {
    const void* bar = std::memchr(work + start, '|', static_cast<size_t>(n - start));
    const int32_t end =
        bar == nullptr ? n : static_cast<int32_t>(static_cast<const char*>(bar) - work);
    Phrase& slot =
        score.phraseCount < kMaxPhrases ? score.phrases[score.phraseCount] : overflowSlot;
    bool parsed = false;
    try {
      ParsePhrase(slot, work + start, end - start);
      parsed = true;
    } catch (const EmptyPhrase&) {
    }
    if (parsed) {
      if (&slot == &overflowSlot) {
        ReleasePhrase(overflowSlot);
        throw ScoreParseError("error: more than 3000 phrases");
      }
      ++score.phraseCount;
      if (bar != nullptr) {
        if (sideText1Length >= kSideTextCapacity || sideText2Length >= kSideTextCapacity) {
          throw ScoreParseError("error: side text over 60000 bytes");
        }
        sideText1[sideText1Length++] = '|';
        sideText2[sideText2Length++] = '|';
      }
    }
    if (bar == nullptr) break;
    start = end + 1;
  }

  // 8. Keys: a phrase without one takes the key of the phrase before it (C at first).
  int32_t currentKey = 'C';
  int32_t currentAccidental = 0;
  for (int32_t i = 0; i < score.phraseCount; ++i) {
    Phrase& phrase = score.phrases[i];
    if (phrase.keyLetter == kNoKey) {
      phrase.keyLetter = currentKey;
      phrase.accidental = currentAccidental;
    } else {
      currentKey = phrase.keyLetter;
      currentAccidental = phrase.accidental;
    }
    if (phrase.keyLetter != 'C' || phrase.accidental != 0) TransposeToKey(phrase);
  }

  // 9. Tempi: 120 for a first phrase without one, then each inherits from the one before.
  for (int32_t i = 0; i < score.phraseCount; ++i) {
    Phrase& phrase = score.phrases[i];
    if (phrase.tempo == 0) phrase.tempo = i == 0 ? 120 : score.phrases[i - 1].tempo;
  }

  // 10. The side files.
  WriteSideFiles();
}

// Writes "f1.txt" and "f2.txt" into the program's folder, or into the per-user data
// folder when the program's folder cannot be written.
void WriteSideFiles() {
  const std::string primary =
      sideFileFolderOverride.empty() ? programFolder : sideFileFolderOverride;
  SideFileResult result = WriteSideFilesInto(primary);
  if (result == SideFileResult::kWritten) return;

  const std::string fallback = UserDataFolder();
  if (!fallback.empty()) {
    std::error_code ignored;
    std::filesystem::create_directories(fallback, ignored);
    const SideFileResult second = WriteSideFilesInto(fallback);
    if (second == SideFileResult::kWritten) return;
    if (second == SideFileResult::kSecondFailed) result = second;
  }
  throw ScoreParseError(result == SideFileResult::kSecondFailed ? "open fail 2!" : "open fail!");
}

Score& ScratchScore() {
  static Score scratch;
  return scratch;
}

void SetProgramPath(const char* argv0) {
  if (argv0 != nullptr && argv0[0] != '\0') {
    programFolder = FolderOf(argv0);
    return;
  }
  // No program name on the command line: the folder of the running executable.
  char path[PATH_MAX + 1];
  const ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
  if (length <= 0) {
    programFolder.clear();
    return;
  }
  path[length] = '\0';
  programFolder = FolderOf(path);
}

void SetSideFileFolderOverride(const std::string& folder) {
  sideFileFolderOverride = WithSeparator(folder);
}
