#include "history/Sqlite.h"

#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "history/PracticeStore.h"

namespace history {

void FailSql(sqlite3* db, int code, const std::string& doing) {
  const int primary = code & 0xff;
  const PracticeStoreError::Kind kind = primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB
                                            ? PracticeStoreError::kUnreadable
                                            : PracticeStoreError::kFailed;
  const char* message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
  throw PracticeStoreError(kind, doing + ": " + message);
}

void ExecuteSql(sqlite3* db, const char* sql, const char* doing) {
  const int code = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) FailSql(db, code, doing);
}

void TurnOnWriteAheadLog(sqlite3* db, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const int code = sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    if (code == SQLITE_OK) return;
    const int primary = code & 0xff;
    if ((primary != SQLITE_BUSY && primary != SQLITE_LOCKED) ||
        std::chrono::steady_clock::now() >= deadline)
      FailSql(db, code, "turning on write-ahead logging");
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

CSqlStatement::CSqlStatement(sqlite3* db, const char* sql) : db_(db) {
  const int code = sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr);
  if (code != SQLITE_OK) FailSql(db, code, "reading the practice history");
}

CSqlStatement::~CSqlStatement() { sqlite3_finalize(statement_); }

CSqlStatement& CSqlStatement::Bind(int at, int64_t value) {
  Check(sqlite3_bind_int64(statement_, at, value));
  return *this;
}

CSqlStatement& CSqlStatement::Bind(int at, double value) {
  Check(sqlite3_bind_double(statement_, at, value));
  return *this;
}

CSqlStatement& CSqlStatement::Bind(int at, const std::string& text) {
  Check(sqlite3_bind_text(statement_, at, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT));
  return *this;
}

CSqlStatement& CSqlStatement::BindNull(int at) {
  Check(sqlite3_bind_null(statement_, at));
  return *this;
}

bool CSqlStatement::Step() {
  const int code = sqlite3_step(statement_);
  if (code == SQLITE_ROW) return true;
  if (code == SQLITE_DONE) return false;
  FailSql(db_, code, "the practice history");
}

void CSqlStatement::Run() {
  while (Step()) {
  }
  sqlite3_reset(statement_);
}

void CSqlStatement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

int64_t CSqlStatement::Int(int column) const { return sqlite3_column_int64(statement_, column); }

int32_t CSqlStatement::Int32(int column) const { return sqlite3_column_int(statement_, column); }

double CSqlStatement::Real(int column) const { return sqlite3_column_double(statement_, column); }

bool CSqlStatement::IsNull(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::string CSqlStatement::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(statement_, column);
  return text == nullptr
             ? std::string()
             : std::string(reinterpret_cast<const char*>(text),
                           static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
}

void CSqlStatement::Check(int code) {
  if (code != SQLITE_OK) FailSql(db_, code, "the practice history");
}

CWriteTransaction::CWriteTransaction(sqlite3* db) : db_(db) {
  ExecuteSql(db_, "BEGIN IMMEDIATE", "starting a write to the practice history");
}

CWriteTransaction::~CWriteTransaction() {
  if (!done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void CWriteTransaction::Commit() {
  ExecuteSql(db_, "COMMIT", "storing in the practice history");
  done_ = true;
}

}  // namespace history
