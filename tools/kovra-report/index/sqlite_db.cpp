#include "index/sqlite_db.h"

namespace kovra {

bool OpenSqlite(const std::string& path, int flags, SqliteDb& db, std::string& error) {
  sqlite3* handle = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &handle, flags, nullptr);
  db.reset(handle);
  if (rc != SQLITE_OK) {
    error = path + ": " + (handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc));
    db.reset();
    return false;
  }
  // A database another program holds for writing is waited for a while, not failed at once.
  sqlite3_busy_timeout(handle, 5000);
  return true;
}

bool ExecSql(sqlite3* db, const char* sql, std::string& error) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK)
    return true;
  error = message ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  return false;
}

SqliteStatement PrepareSql(sqlite3* db, std::string_view sql, std::string& error,
                           std::string_view* tail) {
  sqlite3_stmt* statement = nullptr;
  const char* rest = nullptr;
  if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &statement, &rest) !=
      SQLITE_OK) {
    error = sqlite3_errmsg(db);
    sqlite3_finalize(statement);
    return nullptr;
  }
  if (statement == nullptr) {
    error = "no SQL statement";
    return nullptr;
  }
  if (tail != nullptr)
    *tail = sql.substr(static_cast<size_t>(rest - sql.data()));
  return SqliteStatement(statement);
}

bool BindText(sqlite3_stmt* statement, int at, std::string_view text) {
  return sqlite3_bind_text(statement, at, text.data(), static_cast<int>(text.size()),
                           SQLITE_TRANSIENT) == SQLITE_OK;
}

bool BindInt64(sqlite3_stmt* statement, int at, int64_t value) {
  return sqlite3_bind_int64(statement, at, static_cast<sqlite3_int64>(value)) == SQLITE_OK;
}

bool BindDouble(sqlite3_stmt* statement, int at, double value) {
  return sqlite3_bind_double(statement, at, value) == SQLITE_OK;
}

bool BindNull(sqlite3_stmt* statement, int at) {
  return sqlite3_bind_null(statement, at) == SQLITE_OK;
}

bool SqlBatch::Bound(bool ok) {
  if (!ok && error_.empty())
    error_ = sqlite3_errmsg(db_);
  return error_.empty();
}

void SqlBatch::Step(sqlite3_stmt* statement) {
  if (error_.empty() && sqlite3_step(statement) != SQLITE_DONE)
    error_ = sqlite3_errmsg(db_);
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
}

std::string QuoteName(std::string_view name) {
  std::string out = "\"";
  for (const char c : name)
    out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

}  // namespace kovra
