#include "sqlite_db.h"

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

std::string QuoteName(std::string_view name) {
  std::string out = "\"";
  for (const char c : name)
    out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

}  // namespace kovra
