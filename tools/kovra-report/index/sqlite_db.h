// Owners of an SQLite connection and of its prepared statements, and the few calls the index
// makes through them. Data always reaches SQL as bound parameters; only names from the
// reader's fixed table list are ever written into statement text.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kovra {

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct SqliteFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using SqliteDb = std::unique_ptr<sqlite3, SqliteCloser>;
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteFinalizer>;

// Opens `path` with `flags` (SQLITE_OPEN_READONLY, or SQLITE_OPEN_READWRITE |
// SQLITE_OPEN_CREATE); false with SQLite's reason.
[[nodiscard]] bool OpenSqlite(const std::string& path, int flags, SqliteDb& db, std::string& error);
// Runs statements without parameters (schema, transactions); false with SQLite's reason.
[[nodiscard]] bool ExecSql(sqlite3* db, const char* sql, std::string& error);
// One statement; an empty owner with SQLite's reason. `tail` gets what follows it.
[[nodiscard]] SqliteStatement PrepareSql(sqlite3* db, std::string_view sql, std::string& error,
                                         std::string_view* tail = nullptr);
// A name of the reader's table list as an SQL identifier: "name".
[[nodiscard]] std::string QuoteName(std::string_view name);

// Parameters bound to a statement; false when SQLite refuses (sqlite3_errmsg says why).
[[nodiscard]] bool BindText(sqlite3_stmt* statement, int at, std::string_view text);
[[nodiscard]] bool BindInt64(sqlite3_stmt* statement, int at, int64_t value);
[[nodiscard]] bool BindDouble(sqlite3_stmt* statement, int at, double value);
[[nodiscard]] bool BindNull(sqlite3_stmt* statement, int at);

// The statements of one transaction, each bind and step checked: the first failure is kept
// with SQLite's reason, and what follows it is not tried.
class SqlBatch {
 public:
  explicit SqlBatch(sqlite3* db) : db_(db) {}
  // A bind's result; false once anything failed.
  bool Bound(bool ok);
  // Runs a statement that returns no rows, then resets it and clears its bindings.
  void Step(sqlite3_stmt* statement);
  [[nodiscard]] bool ok() const { return error_.empty(); }
  [[nodiscard]] const std::string& error() const { return error_; }

 private:
  sqlite3* db_;
  std::string error_;
};

}  // namespace kovra
