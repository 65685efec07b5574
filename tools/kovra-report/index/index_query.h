// Reading the index of many reports (report_index.h): one SQL statement's rows as an aligned
// table, CSV or JSON, and every record as one JSON object per line for a log platform or an
// analytical engine. The database is opened read-only; every text is made safe for a terminal.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace kovra {

enum class QueryFormat { kTable, kCsv, kJson };

// Runs one read-only statement on the index at `db_path`; false with a reason (the database
// cannot be opened, the SQL is not one read-only statement, SQLite stops with an error).
[[nodiscard]] bool QueryIndex(const std::string& db_path, const std::string& sql,
                              QueryFormat format, std::FILE* out, std::string& error);

// Every row of reports (with "table": "reports"), then every failed stage and every record of
// every reader table with "table", "report_id", "report_date" (reports.date) and its columns,
// flags as true/false; one JSON object per line. `lines` gets how many were written.
[[nodiscard]] bool ExportIndex(const std::string& db_path, std::FILE* out, std::string& error,
                               uint64_t* lines = nullptr);

}  // namespace kovra
