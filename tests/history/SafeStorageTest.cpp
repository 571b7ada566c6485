// Nothing lost, nothing corrupted: a database that cannot be read (garbage, another program's,
// damaged pages, a newer schema) is moved aside with a notice and a new one started; two
// processes record at once; a writer killed with SIGKILL mid-write leaves a database that
// opens clean with every try it had reported stored.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "history/PracticeHistory.h"
#include "tests/history/HistoryFixtures.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

namespace {

using history::CPracticeHistory;
using history::CPracticeStore;
using history::PracticeStoreError;
using historytest::MakeTry;
using historytest::UtcMs;

// One SQL query's first column of its first row, on a connection of its own.
std::string Query(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  std::string value = "<cannot open>";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) ==
      SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    value = "<error>";
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(statement, 0);
      value = text != nullptr ? reinterpret_cast<const char*>(text) : "<null>";
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return value;
}

// A writer process's output and how it ended.
struct Writer {
  pid_t pid = -1;
  std::FILE* out = nullptr;

  // Starts the writer program on `db` for `count` tries (0: until killed).
  static Writer Start(const std::string& db, int count, const std::string& hash = "") {
    int pipeEnds[2];
    Writer writer;
    if (::pipe(pipeEnds) != 0) return writer;
    writer.pid = ::fork();
    if (writer.pid == 0) {
      ::dup2(pipeEnds[1], STDOUT_FILENO);
      ::close(pipeEnds[0]);
      ::close(pipeEnds[1]);
      const std::string countText = std::to_string(count);
      if (hash.empty()) {
        ::execl(TUNWICK_HISTORY_WRITER, TUNWICK_HISTORY_WRITER, db.c_str(), countText.c_str(),
                static_cast<char*>(nullptr));
      } else {
        ::execl(TUNWICK_HISTORY_WRITER, TUNWICK_HISTORY_WRITER, db.c_str(), countText.c_str(),
                hash.c_str(), static_cast<char*>(nullptr));
      }
      ::_exit(127);
    }
    ::close(pipeEnds[1]);
    writer.out = ::fdopen(pipeEnds[0], "r");
    return writer;
  }
  // The next count the writer reported stored; 0 at its end.
  long NextReport() {
    long n = 0;
    return std::fscanf(out, "%ld", &n) == 1 ? n : 0;
  }
  // Waits for the end; the last count it reported, and its wait status.
  long Finish(int& status, long reported) {
    for (long n; (n = NextReport()) != 0;) reported = n;
    std::fclose(out);
    ::waitpid(pid, &status, 0);
    return reported;
  }
};

class SafeStorageTest : public ::testing::Test {
 protected:
  CPracticeHistory History() {
    return CPracticeHistory(
        path,
        [] {
          return history::WallTime{UtcMs(2024, 5, 6, 7, 8), 0};
        },
        [this](const std::string& notice) { notices.push_back(notice); });
  }
  // The files moved aside beside the database.
  std::vector<std::string> Aside() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.File("data/tunwick"))) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("history.sqlite.", 0) == 0) names.push_back(name);
    }
    return names;
  }

  testsupport::TempFolder folder;
  std::string path = folder.File("data/tunwick/history.sqlite");
  std::vector<std::string> notices;
};

TEST_F(SafeStorageTest, TheFolderIsMadeAndANewDatabaseCarriesTheSchemaVersion) {
  CPracticeHistory practice = History();
  EXPECT_TRUE(practice.Record(MakeTry("aaaaaaaaaaaaaaaa", 0, 0, "HH")));
  EXPECT_TRUE(notices.empty());
  EXPECT_EQ(Query(path, "PRAGMA user_version"), std::to_string(history::kSchemaVersion));
  EXPECT_EQ(Query(path, "PRAGMA journal_mode"), "wal");
  EXPECT_EQ(Query(path, "SELECT at_ms FROM tries"), std::to_string(UtcMs(2024, 5, 6, 7, 8)))
      << "the try is stamped with the history's clock";
}

TEST_F(SafeStorageTest, AnEmptyFileIsUpgradedFromVersionZero) {
  std::filesystem::create_directories(folder.File("data/tunwick"));
  testsupport::WriteFileBytes(path, "");
  CPracticeHistory practice = History();
  EXPECT_TRUE(practice.Record(MakeTry("aaaaaaaaaaaaaaaa", 0, 0, "H")));
  EXPECT_TRUE(notices.empty());
  EXPECT_TRUE(Aside().empty());
  EXPECT_EQ(Query(path, "PRAGMA user_version"), std::to_string(history::kSchemaVersion));
}

// Each way a file at the history's place can be unusable: it is kept under a dated name and
// the try goes into a new database.
TEST_F(SafeStorageTest, AnUnusableDatabaseIsMovedAsideAndANewOneStarted) {
  struct Case {
    const char* what;
    std::function<void(const std::string& path)> make;
    const char* asideName;
    const char* because;
  };
  const Case cases[] = {
      {"garbage",
       [](const std::string& p) { testsupport::WriteFileBytes(p, std::string(5000, 'x')); },
       "history.sqlite.unreadable-20240506-070800", "file is not a database"},
      {"a newer schema",
       [](const std::string& p) {
         CPracticeStore(p).Record(MakeTry("aaaaaaaaaaaaaaaa", 0, 0, "H"));
         Query(p, "PRAGMA user_version = 7");
       },
       "history.sqlite.newer-20240506-070800", "newer Tunwick (schema version 7"},
      {"another program's database",
       [](const std::string& p) { Query(p, "CREATE TABLE photos (id INTEGER)"); },
       "history.sqlite.unreadable-20240506-070800", "not a Tunwick practice history"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::TempFolder caseFolder;
    path = caseFolder.File("history.sqlite");
    notices.clear();
    c.make(path);
    const std::string before = testsupport::ReadFileBytes(path);
    CPracticeHistory practice = History();
    EXPECT_TRUE(practice.Record(MakeTry("bbbbbbbbbbbbbbbb", 0, 0, "HH")));
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find(c.because), std::string::npos) << notices[0];
    EXPECT_NE(notices[0].find(c.asideName), std::string::npos) << notices[0];
    EXPECT_TRUE(testsupport::ReadFileBytes(caseFolder.File(c.asideName)) == before)
        << "the old file is kept as it was";
    EXPECT_EQ(Query(path, "SELECT count(*) FROM tries"), "1");
    // Opened again, the new one is used as it is.
    CPracticeHistory again = History();
    EXPECT_EQ(again.With([](CPracticeStore& store) { return store.CountAllTries(); }), 1);
    EXPECT_EQ(notices.size(), 1u);
  }
}

TEST_F(SafeStorageTest, DamageFoundByAQueryMovesTheDatabaseAside) {
  std::filesystem::create_directories(folder.File("data/tunwick"));
  {
    CPracticeStore store(path);
    for (int i = 0; i < 400; ++i)
      store.Record(MakeTry("aaaaaaaaaaaaaaaa", i % 5, 1000 * i, "HHHHMMMMNN"));
  }
  Query(path, "PRAGMA wal_checkpoint(TRUNCATE)");
  // Pages from the middle of the file on overwritten; the header and schema stay readable.
  std::string bytes = testsupport::ReadFileBytes(path);
  ASSERT_GT(bytes.size(), 40000u);
  for (size_t i = 8192; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  testsupport::WriteFileBytes(path, bytes);

  CPracticeHistory practice = History();
  const auto scores = practice.With([](CPracticeStore& store) { return store.Scores(); });
  EXPECT_TRUE(scores.empty()) << "read from the new database";
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find("unreadable-20240506-070800"), std::string::npos) << notices[0];
  EXPECT_TRUE(testsupport::ReadFileBytes(path + ".unreadable-20240506-070800") == bytes);
}

TEST_F(SafeStorageTest, AFolderThatCannotBeMadeIsReportedNotMovedAside) {
  // A file where the data folder should be: not even root can make a folder in it.
  testsupport::WriteFileBytes(folder.File("data"), "not a folder");
  CPracticeHistory practice = History();
  EXPECT_FALSE(practice.Record(MakeTry("aaaaaaaaaaaaaaaa", 0, 0, "H")));
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find("not kept"), std::string::npos) << notices[0];
  EXPECT_NE(notices[0].find("cannot make the folder"), std::string::npos) << notices[0];
}

TEST_F(SafeStorageTest, TwoProcessesRecordAtOnceAndEveryTryIsKept) {
  std::filesystem::create_directories(folder.File("data/tunwick"));
  constexpr int kEach = 150;
  // Both start on a database that does not exist yet: they race to make it too.
  Writer first = Writer::Start(path, kEach, "1111111111111111");
  Writer second = Writer::Start(path, kEach, "2222222222222222");
  ASSERT_GT(first.pid, 0);
  ASSERT_GT(second.pid, 0);
  int firstStatus = 0, secondStatus = 0;
  EXPECT_EQ(first.Finish(firstStatus, 0), kEach);
  EXPECT_EQ(second.Finish(secondStatus, 0), kEach);
  EXPECT_TRUE(WIFEXITED(firstStatus) && WEXITSTATUS(firstStatus) == 0);
  EXPECT_TRUE(WIFEXITED(secondStatus) && WEXITSTATUS(secondStatus) == 0);
  EXPECT_EQ(Query(path, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(Query(path, "SELECT count(*) FROM tries"), std::to_string(2 * kEach));
  EXPECT_EQ(Query(path, "SELECT count(*) FROM notes"), std::to_string(2 * kEach * 8));
  EXPECT_EQ(Query(path, "SELECT count(DISTINCT score_id) FROM tries"), "2");
}

TEST_F(SafeStorageTest, AWriterKilledMidWriteLosesNoFinishedTryAndLeavesNoHalfTry) {
  std::filesystem::create_directories(folder.File("data/tunwick"));
  std::mt19937 random(20240506);  // the same kill moments on every run
  long kept = 0;                  // tries reported stored by every writer so far
  for (int round = 0; round < 25; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Writer writer = Writer::Start(path, 0);
    ASSERT_GT(writer.pid, 0);
    // Let it store a few, then kill it somewhere inside the next writes.
    const long before = std::uniform_int_distribution<long>(1, 6)(random);
    long reported = 0;
    while (reported < before) {
      const long next = writer.NextReport();
      ASSERT_NE(next, 0) << "the writer ended early";
      reported = next;
    }
    ::usleep(std::uniform_int_distribution<unsigned>(0, 3000)(random));
    ::kill(writer.pid, SIGKILL);
    int status = 0;
    reported = writer.Finish(status, reported);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    kept += reported;
    EXPECT_EQ(Query(path, "PRAGMA integrity_check"), "ok");
    const long count = std::stol(Query(path, "SELECT count(*) FROM tries"));
    // Every try it reported is there; at most the one it was committing as it died besides.
    EXPECT_GE(count, kept);
    EXPECT_LE(count, kept + 1);
    kept = count;
    EXPECT_EQ(Query(path,
                    "SELECT count(*) FROM tries t WHERE t.notes <>"
                    " (SELECT count(*) FROM notes n WHERE n.try_id = t.id)"),
              "0")
        << "a try is stored with all its notes or not at all";
  }
  // The program opens it as it is.
  CPracticeHistory practice = History();
  EXPECT_EQ(practice.With([](CPracticeStore& store) { return store.CountAllTries(); }), kept);
  EXPECT_TRUE(notices.empty());
}

}  // namespace
