#include "history/PracticeHistory.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "files/ProgramFolder.h"
#include "history/ScoreIdentity.h"
#include "notation/Score.h"

namespace history {

namespace {

const char kHistoryFileName[] = "history.sqlite";

// Makes `folder` and the folders above it, private to the user; false when it cannot.
bool MakeFolders(const std::string& folder) {
  for (size_t slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat info {};
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

std::string DefaultHistoryPath() {
  const std::string folder = UserDataFolder();
  return folder.empty() ? std::string() : folder + kHistoryFileName;
}

TryRecord TryOf(const Score& score, int32_t row, const listening::TakeJudgement& judgement) {
  TryRecord record;
  record.phrase = row;
  record.phraseText = PhraseText(score, row);
  record.judgement = judgement;
  record.passed = listening::PassesPhrase(judgement);
  return record;
}

std::optional<TryRecord> TryRecordOf(const Score& score, int32_t row,
                                     const listening::TakeJudgement& judgement,
                                     const TakeContext& context) {
  if (judgement.TooQuiet()) return std::nullopt;
  TryRecord record = TryOf(score, row, judgement);
  record.scoreHash = ScoreHash(context.scoreText);
  record.scoreFile = context.scoreFile;
  record.transpose = context.transpose;
  record.takeMs = context.takeMs;
  if (context.range) {
    record.rangeLow = context.range->low;
    record.rangeHigh = context.range->high;
  }
  record.toleranceCents = judgement.hitCents;
  record.source = context.source;
  record.tempoPercent = context.tempoPercent;
  if (context.lastPhrase && *context.lastPhrase != row) {
    record.lastPhrase = context.lastPhrase;
    for (int32_t next = row + 1; next <= *context.lastPhrase && next < score.phraseCount; ++next)
      record.phraseText += "|" + PhraseText(score, next);
  }
  return record;
}

CPracticeHistory::CPracticeHistory(std::string path, WallClock clock, Notice notice)
    : path_(std::move(path)), clock_(std::move(clock)), notice_(std::move(notice)) {}

CPracticeHistory::~CPracticeHistory() = default;

CPracticeStore& CPracticeHistory::Store() {
  if (store_) return *store_;
  if (path_.empty())
    throw PracticeStoreError(PracticeStoreError::kFailed,
                             "no data folder: neither XDG_DATA_HOME nor HOME is set");
  const std::string folder = FolderOf(path_);
  if (!folder.empty() && !MakeFolders(folder))
    throw PracticeStoreError(PracticeStoreError::kFailed,
                             "cannot make the folder " + folder + ": " + std::strerror(errno));
  store_ = std::make_unique<CPracticeStore>(path_);
  return *store_;
}

void CPracticeHistory::MoveAside(const PracticeStoreError& why) {
  store_.reset();
  // The file keeps its write-ahead log beside it, so that what it held can still be looked at.
  const std::string stem =
      path_ + (why.Reason() == PracticeStoreError::kNewer ? ".newer-" : ".unreadable-") +
      CompactTime(clock_());
  std::string aside = stem;
  for (int n = 2; Exists(aside); ++n) aside = stem + "-" + std::to_string(n);
  if (std::rename(path_.c_str(), aside.c_str()) != 0)
    throw PracticeStoreError(
        PracticeStoreError::kFailed,
        "cannot move " + path_ + " aside (" + why.what() + "): " + std::strerror(errno));
  std::rename((path_ + "-wal").c_str(), (aside + "-wal").c_str());
  std::remove((path_ + "-shm").c_str());
  if (notice_)
    notice_("the practice history " + path_ + " could not be used (" + why.what() +
            "); it was kept as " + aside + " and a new one started");
}

bool CPracticeHistory::Record(TryRecord record) {
  record.when = clock_();
  try {
    With([&record](CPracticeStore& store) { store.Record(record); });
    return true;
  } catch (const PracticeStoreError& error) {
    if (notice_)
      notice_(std::string("this try was not kept in the practice history: ") + error.what());
    return false;
  }
}

}  // namespace history
