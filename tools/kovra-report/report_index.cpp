#include "report_index.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "archive/zip_reader.h"
#include "crypto/md5.h"
#include "report_file.h"
#include "report_scan.h"
#include "report_text.h"
#include "run_log_text.h"
#include "sqlite_db.h"

namespace kovra {

namespace {

// The layout of the tables, derived from their names and fields: any change to a table
// changes it, and an index of another layout is refused. SQLite keeps it as a signed 32-bit
// number; 0 (an empty database's) is never a layout.
int SchemaVersion() {
  const int version = static_cast<int>(SchemaDigest(Tables()) & 0x7FFFFFFFu);
  return version == 0 ? 1 : version;
}

constexpr char kReportsSchema[] =
    "CREATE TABLE IF NOT EXISTS reports ("
    " id INTEGER PRIMARY KEY,"
    " file TEXT NOT NULL,"        // the report's file name as it was added
    " md5 TEXT NOT NULL UNIQUE,"  // of the whole file: the same report is added once
    " computer TEXT, user TEXT, process_user TEXT, os TEXT, os_version TEXT, tool_version TEXT,"
    " date TEXT, date_text TEXT,"    // the report's date, sortable and as printed
    " failed_stages TEXT NOT NULL,"  // "stage 4, stage 6"; empty when none failed
    " records INTEGER NOT NULL,"
    " indexed_at TEXT NOT NULL DEFAULT (datetime('now')));"
    "CREATE INDEX IF NOT EXISTS reports_computer ON reports(computer, date);"
    "CREATE TABLE IF NOT EXISTS failed_stages ("
    " report_id INTEGER NOT NULL REFERENCES reports(id), stage TEXT NOT NULL, reason TEXT);"
    "CREATE INDEX IF NOT EXISTS failed_stages_report ON failed_stages(report_id);";

const char* SqlType(FieldType type) {
  switch (type) {
    case FieldType::kNumber:
      return "NUMERIC";
    case FieldType::kBool:
      return "INTEGER";
    case FieldType::kText:
    case FieldType::kDateTime:
      break;
  }
  return "TEXT";
}

std::string TableSchema(const TableDefinition& table) {
  std::string sql = "CREATE TABLE IF NOT EXISTS " + QuoteName(table.name) + " (";
  for (const IndexColumn& c : IndexColumns(table)) {
    sql += QuoteName(c.name) + " " + c.type;
    if (c.name == "report_id")
      sql += " NOT NULL REFERENCES reports(id)";
    sql += ", ";
  }
  sql.resize(sql.size() - 2);
  sql += ");CREATE INDEX IF NOT EXISTS " + QuoteName(std::string(table.name) + "_report") + " ON " +
         QuoteName(table.name) + "(report_id);";
  return sql;
}

std::string InsertSql(const TableDefinition& table) {
  const std::vector<IndexColumn> columns = IndexColumns(table);
  std::string names, marks;
  for (const IndexColumn& c : columns) {
    names += (names.empty() ? "" : ", ") + QuoteName(c.name);
    marks += marks.empty() ? "?" : ", ?";
  }
  return "INSERT INTO " + QuoteName(table.name) + " (" + names + ") VALUES (" + marks + ")";
}

bool BindText(sqlite3_stmt* s, int at, const std::string& text) {
  return sqlite3_bind_text(s, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) ==
         SQLITE_OK;
}

// A field's value as its SQL value: NULL when unknown, numbers and flags as numbers.
bool BindField(sqlite3_stmt* s, int at, FieldType type, const std::string& value) {
  if (value.empty() && type != FieldType::kText)
    return sqlite3_bind_null(s, at) == SQLITE_OK;
  switch (type) {
    case FieldType::kBool:
      return sqlite3_bind_int(s, at, value == "true" ? 1 : 0) == SQLITE_OK;
    case FieldType::kNumber: {
      // The parsers give canonical decimals; one too large for 64 bits goes in as a real.
      errno = 0;
      char* end = nullptr;
      const long long n = std::strtoll(value.c_str(), &end, 10);
      if (errno == 0 && end != nullptr && *end == '\0')
        return sqlite3_bind_int64(s, at, n) == SQLITE_OK;
      return sqlite3_bind_double(s, at, std::strtod(value.c_str(), nullptr)) == SQLITE_OK;
    }
    case FieldType::kDateTime:
      return BindText(s, at, DateSortKey(value));
    case FieldType::kText:
      break;
  }
  return BindText(s, at, value);
}

// The MD5 of a file, read through a buffer; false with a reason.
bool FileMd5(const std::string& path, std::string& digest, std::string& error) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) {
    error = "cannot read " + path;
    return false;
  }
  Md5 md5;
  std::string buffer(1 << 20, '\0');
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), f.get())) > 0)
    md5.Update(buffer.data(), got);
  if (std::ferror(f.get())) {
    error = "cannot read " + path;
    return false;
  }
  digest = Md5Hex(md5.Final());
  return true;
}

// The failed stages of a report: from its run log, else from the markers of its error log
// ("!!Error:4!!" is stage 4). Each is {stage, reason}.
std::vector<std::pair<std::string, std::string>> FailedStages(const ZipReader& zip) {
  const ZipEntry* run_log = nullptr;
  const ZipEntry* error_log = nullptr;
  for (const ZipEntry& e : zip.entries()) {
    const std::string name = EntryNameUtf8(e);
    const std::string file = name.substr(name.find_last_of("/\\") + 1);
    if (file == kRunLogEntry)
      run_log = &e;
    else if (file == "GetInfoLog.txt")
      error_log = &e;
  }
  std::vector<std::pair<std::string, std::string>> stages;
  std::vector<std::string> lines;
  std::string error;
  if (run_log != nullptr && ReadEntryLines(zip, *run_log, 1252, lines, error)) {
    const RunLogFacts facts = ReadRunLog(lines);
    if (facts.present) {
      // "stage 4: <reason> (in product logs)"
      for (const std::string& text : facts.failed_stages) {
        const size_t colon = text.find(": ");
        stages.emplace_back(text.substr(0, colon),
                            colon == std::string::npos ? std::string() : text.substr(colon + 2));
      }
      return stages;
    }
  }
  if (error_log != nullptr && ReadEntryLines(zip, *error_log, 1252, lines, error)) {
    for (const std::string& line : lines) {
      const size_t at = line.find("!!Error:");
      const size_t end = at == std::string::npos ? at : line.find("!!", at + 8);
      if (end != std::string::npos && end > at + 8)
        stages.emplace_back("stage " + line.substr(at + 8, end - at - 8), line);
    }
  }
  return stages;
}

}  // namespace

std::vector<IndexColumn> IndexColumns(const TableDefinition& table) {
  std::vector<IndexColumn> columns = {{"report_id", "INTEGER"}, {"at_line", "INTEGER"}};
  for (const FieldDefinition& f : table.fields) {
    columns.push_back({f.name, SqlType(f.type)});
    if (f.type == FieldType::kDateTime)
      columns.push_back({std::string(f.name) + "_text", "TEXT"});
  }
  return columns;
}

const std::vector<IndexExample>& IndexExamples() {
  static const std::vector<IndexExample> examples = {
      {"Which machines with a failed stage 4 run ZTN 8.1 with the driver filter.sys 8.1.0.22?",
       "SELECT r.computer, COUNT(*) AS reports, MAX(r.date) AS last_report FROM reports r "
       "JOIN failed_stages f ON f.report_id = r.id AND f.stage = 'stage 4' "
       "JOIN products p ON p.report_id = r.id AND p.name = 'ZTN' "
       "AND p.display_version LIKE '8.1.%' "
       "JOIN services s ON s.report_id = r.id AND s.kind = 'driver' "
       "AND s.path LIKE '%filter.sys' AND s.version = '8.1.0.22' "
       "GROUP BY r.computer ORDER BY r.computer"},
      {"Since when does the machine PC-000 have the Run entry Updater?",
       "SELECT r.computer, MIN(r.date) AS first_seen, MAX(r.date) AS last_seen, "
       "COUNT(*) AS reports FROM reports r JOIN autostart a ON a.report_id = r.id "
       "WHERE r.computer = 'PC-000' AND a.section = 'Run' AND a.name = 'Updater' "
       "GROUP BY r.computer"},
      {"How many reports show a security product with real-time protection off?",
       "SELECT s.name, COUNT(DISTINCT s.report_id) AS reports, "
       "COUNT(DISTINCT r.computer) AS machines FROM security s "
       "JOIN reports r ON r.id = s.report_id WHERE s.enabled = 0 GROUP BY s.name ORDER BY s.name"},
  };
  return examples;
}

struct ReportIndex::Impl {
  SqliteDb db;
  SqliteStatement find, add_report, finish_report, add_stage;
  std::vector<SqliteStatement> insert;  // by TableId
};

ReportIndex::ReportIndex() : impl_(std::make_unique<Impl>()) {}
ReportIndex::~ReportIndex() = default;

bool ReportIndex::Open(const std::string& path, std::string& error) {
  Impl& m = *impl_;
  if (!OpenSqlite(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, m.db, error))
    return false;
  sqlite3* db = m.db.get();
  SqliteStatement version = PrepareSql(db, "PRAGMA user_version", error);
  if (!version)
    return false;
  const int step = sqlite3_step(version.get());
  if (step != SQLITE_ROW) {
    // Not a database at all ("file is not a database") comes out here.
    error = path + ": " + sqlite3_errmsg(db);
    return false;
  }
  const int found = sqlite3_column_int(version.get(), 0);
  version.reset();
  SqliteStatement tables = PrepareSql(db, "SELECT count(*) FROM sqlite_master", error);
  if (!tables || sqlite3_step(tables.get()) != SQLITE_ROW)
    return false;
  const bool empty = sqlite3_column_int(tables.get(), 0) == 0;
  tables.reset();
  if (found != SchemaVersion() && !(found == 0 && empty)) {
    error = path + " is not an index of this reader (layout " + std::to_string(found) +
            ", this reader writes layout " + std::to_string(SchemaVersion()) + ")";
    return false;
  }
  std::string schema = std::string("BEGIN;") + kReportsSchema;
  for (const TableDefinition& t : Tables())
    schema += TableSchema(t);
  schema += "PRAGMA user_version = " + std::to_string(SchemaVersion()) + ";COMMIT;";
  if (!ExecSql(db, schema.c_str(), error)) {
    error = path + ": " + error;
    ExecSql(db, "ROLLBACK", error);
    return false;
  }
  m.find = PrepareSql(db, "SELECT id FROM reports WHERE md5 = ?", error);
  m.add_report = PrepareSql(
      db, "INSERT INTO reports (file, md5, failed_stages, records) VALUES (?, ?, '', 0)", error);
  m.finish_report = PrepareSql(db,
                               "UPDATE reports SET computer = ?, user = ?, process_user = ?, "
                               "os = ?, os_version = ?, tool_version = ?, date = ?, date_text = ?, "
                               "failed_stages = ?, records = ? WHERE id = ?",
                               error);
  m.add_stage = PrepareSql(
      db, "INSERT INTO failed_stages (report_id, stage, reason) VALUES (?, ?, ?)", error);
  if (!m.find || !m.add_report || !m.finish_report || !m.add_stage)
    return false;
  for (const TableDefinition& t : Tables()) {
    m.insert.push_back(PrepareSql(db, InsertSql(t), error));
    if (!m.insert.back())
      return false;
  }
  return true;
}

AddResult ReportIndex::Add(const std::string& report_path) {
  Impl& m = *impl_;
  sqlite3* db = m.db.get();
  AddResult result;
  std::string md5;
  if (!FileMd5(report_path, md5, result.error))
    return result;
  sqlite3_stmt* find = m.find.get();
  sqlite3_reset(find);
  BindText(find, 1, md5);
  if (sqlite3_step(find) == SQLITE_ROW) {
    result.outcome = AddOutcome::kKnown;
    result.report_id = sqlite3_column_int64(find, 0);
    sqlite3_reset(find);
    return result;
  }
  sqlite3_reset(find);

  Report report;
  ZipReader zip;
  if (!report.Open(report_path, result.error) || !zip.Open(report.archive(), result.error)) {
    result.error = report_path + ": " + result.error;
    return result;
  }
  std::string sql_error;
  if (!ExecSql(db, "BEGIN", sql_error)) {
    result.error = "the index: " + sql_error;
    return result;
  }
  // The first SQLite failure; what follows it is not tried, and the report is rolled back.
  auto step = [&](sqlite3_stmt* s) {
    if (sql_error.empty() && sqlite3_step(s) != SQLITE_DONE)
      sql_error = sqlite3_errmsg(db);
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
  };
  const std::string file = report_path.substr(report_path.find_last_of("/\\") + 1);
  sqlite3_stmt* add = m.add_report.get();
  BindText(add, 1, file);
  BindText(add, 2, md5);
  step(add);
  const int64_t id = sqlite3_last_insert_rowid(db);
  std::optional<Record> system;
  std::string read_error;
  const bool read = ForEachRecord(
      zip, nullptr,
      [&](const Record& r) {
        if (!sql_error.empty())
          return;
        if (r.table == TableId::kSystem && !system)
          system = r;
        const TableDefinition& definition = Definition(r.table);
        sqlite3_stmt* s = m.insert[static_cast<size_t>(r.table)].get();
        sqlite3_bind_int64(s, 1, id);
        sqlite3_bind_int64(s, 2, static_cast<sqlite3_int64>(r.line));
        int at = 3;
        for (size_t i = 0; i < definition.fields.size(); ++i) {
          const std::string& value = i < r.values.size() ? r.values[i] : std::string();
          BindField(s, at++, definition.fields[i].type, value);
          if (definition.fields[i].type == FieldType::kDateTime)
            BindText(s, at++, value);
        }
        step(s);
        ++result.records;
      },
      read_error);
  std::string stage_names;
  for (const auto& [stage, reason] : FailedStages(zip)) {
    stage_names += (stage_names.empty() ? "" : ", ") + stage;
    sqlite3_stmt* s = m.add_stage.get();
    sqlite3_bind_int64(s, 1, id);
    BindText(s, 2, stage);
    BindText(s, 3, reason);
    step(s);
  }
  sqlite3_stmt* finish = m.finish_report.get();
  const char* kFacts[] = {"computer", "session_user", "process_user",
                          "os_name",  "os_version",   "tool_version"};
  int at = 1;
  for (const char* field : kFacts)
    BindText(finish, at++, system ? system->Get(field) : "");
  const std::string date = system ? system->Get("date") : "";
  BindField(finish, at++, FieldType::kDateTime, date);
  BindText(finish, at++, date);
  BindText(finish, at++, stage_names);
  sqlite3_bind_int64(finish, at++, static_cast<sqlite3_int64>(result.records));
  sqlite3_bind_int64(finish, at++, id);
  step(finish);
  std::string ignored;
  if (!read || !sql_error.empty()) {
    ExecSql(db, "ROLLBACK", ignored);
    result.error = !read ? report_path + ": damaged, nothing of it was added: " + read_error
                         : report_path + ": the index could not take it: " + sql_error;
    result.records = 0;
    return result;
  }
  if (!ExecSql(db, "COMMIT", sql_error)) {
    ExecSql(db, "ROLLBACK", ignored);
    result.error = report_path + ": the index could not take it: " + sql_error;
    result.records = 0;
    return result;
  }
  result.outcome = AddOutcome::kAdded;
  result.report_id = id;
  return result;
}

}  // namespace kovra
