#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace history {

// SQLite, as the practice store uses it: every failure thrown as a PracticeStoreError (a
// damaged file or one that is no database as kUnreadable, the rest as kFailed), statements
// and write transactions that clean up after themselves.

// Throws the PracticeStoreError for SQLite's result `code`, saying what was being done.
[[noreturn]] void FailSql(sqlite3* db, int code, const std::string& doing);

// Runs `sql` (statements with no rows); throws on failure.
void ExecuteSql(sqlite3* db, const char* sql, const char* doing);

// Turning write-ahead logging on needs the file to itself for a moment, and SQLite returns
// "database is locked" at once rather than waiting on the busy timeout when another process
// opens the history at the same time: that process is waited for here, up to `timeoutMs`.
void TurnOnWriteAheadLog(sqlite3* db, int timeoutMs);

// A prepared statement, finalized when it goes.
class CSqlStatement {
 public:
  CSqlStatement(sqlite3* db, const char* sql);
  ~CSqlStatement();
  CSqlStatement(const CSqlStatement&) = delete;
  CSqlStatement& operator=(const CSqlStatement&) = delete;

  // Parameters count from 1.
  CSqlStatement& Bind(int at, int64_t value);
  CSqlStatement& Bind(int at, int32_t value) { return Bind(at, int64_t{value}); }
  CSqlStatement& Bind(int at, double value);
  CSqlStatement& Bind(int at, const std::string& text);
  CSqlStatement& BindNull(int at);
  template <typename T>
  CSqlStatement& Bind(int at, const std::optional<T>& value) {
    return value ? Bind(at, *value) : BindNull(at);
  }

  // True while a row is there; false once done.
  bool Step();
  // Steps to the end, then resets the statement with its bindings kept.
  void Run();
  // Resets the statement and clears its bindings, to run it again.
  void Reset();

  // Columns count from 0.
  int64_t Int(int column) const;
  int32_t Int32(int column) const;
  double Real(int column) const;
  bool IsNull(int column) const;
  std::string Text(int column) const;

 private:
  void Check(int code);

  sqlite3* db_;
  sqlite3_stmt* statement_ = nullptr;
};

// A write transaction, rolled back unless committed. BEGIN IMMEDIATE takes the write lock at
// once, so a second writer waits on the busy timeout rather than failing half-way.
class CWriteTransaction {
 public:
  explicit CWriteTransaction(sqlite3* db);
  ~CWriteTransaction();
  CWriteTransaction(const CWriteTransaction&) = delete;
  CWriteTransaction& operator=(const CWriteTransaction&) = delete;
  void Commit();

 private:
  sqlite3* db_;
  bool done_ = false;
};

}  // namespace history
