// Owners of an SQLite connection and of its prepared statements, and the few calls the index
// makes through them. Data always reaches SQL as bound parameters; only names from the
// reader's fixed table list are ever written into statement text.
#pragma once

#include <sqlite3.h>

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
bool OpenSqlite(const std::string& path, int flags, SqliteDb& db, std::string& error);
// Runs statements without parameters (schema, transactions); false with SQLite's reason.
bool ExecSql(sqlite3* db, const char* sql, std::string& error);
// One statement; an empty owner with SQLite's reason. `tail` gets what follows it.
SqliteStatement PrepareSql(sqlite3* db, std::string_view sql, std::string& error,
                           std::string_view* tail = nullptr);
// A name of the reader's table list as an SQL identifier: "name".
std::string QuoteName(std::string_view name);

}  // namespace kovra
