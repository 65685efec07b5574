#include "index/report_index.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "archive/zip_reader.h"
#include "base/report_file_names.h"
#include "crypto/md5.h"
#include "report_file.h"
#include "report_scan.h"
#include "report_text.h"
#include "run_log_text.h"
#include "tables/system.h"
#include "index/report_decoder.h"
#include "index/sqlite_db.h"

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

// A field's value as its SQL value: NULL when unknown, numbers and flags as numbers.
[[nodiscard]] bool BindField(sqlite3_stmt* s, int at, FieldType type, const std::string& value) {
  if (value.empty() && type != FieldType::kText)
    return BindNull(s, at);
  switch (type) {
    case FieldType::kBool:
      return BindInt64(s, at, value == "true" ? 1 : 0);
    case FieldType::kNumber: {
      // The parsers give canonical decimals; one too large for 64 bits goes in as a real.
      errno = 0;
      char* end = nullptr;
      const long long n = std::strtoll(value.c_str(), &end, 10);
      if (errno == 0 && end != nullptr && *end == '\0')
        return BindInt64(s, at, n);
      return BindDouble(s, at, std::strtod(value.c_str(), nullptr));
    }
    case FieldType::kDateTime:
      return BindText(s, at, DateSortKey(value));
    case FieldType::kText:
      break;
  }
  return BindText(s, at, value);
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
    std::string rollback_error;
    if (!sqlite3_get_autocommit(db) && !ExecSql(db, "ROLLBACK", rollback_error))
      error += " (and undoing it failed: " + rollback_error + ")";
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
  AddResult result;
  AddAll({report_path}, 1, [&](size_t, const AddResult& r) { result = r; });
  return result;
}

void ReportIndex::AddAll(const std::vector<std::string>& report_paths, unsigned decoders,
                         const std::function<void(size_t, const AddResult&)>& added) {
  ReportDecoders decoding(report_paths, decoders);
  for (size_t i = 0; i < report_paths.size(); ++i)
    added(i, Insert(report_paths[i], decoding.channel(i)));
}

AddResult ReportIndex::Insert(const std::string& report_path, ReportChannel& channel) {
  Impl& m = *impl_;
  sqlite3* db = m.db.get();
  AddResult result;
  const ReportChannel::Start start = channel.TakeStart();
  if (!start.error.empty()) {
    result.error = start.error;
    return result;
  }
  const std::string& md5 = start.md5;
  sqlite3_stmt* find = m.find.get();
  sqlite3_reset(find);
  const int found = BindText(find, 1, md5) ? sqlite3_step(find) : SQLITE_ERROR;
  if (found == SQLITE_ROW) {
    channel.Cancel();
    result.outcome = AddOutcome::kKnown;
    result.report_id = sqlite3_column_int64(find, 0);
    sqlite3_reset(find);
    return result;
  }
  if (found != SQLITE_DONE) {
    channel.Cancel();
    result.error = report_path + ": the index cannot be searched: " + sqlite3_errmsg(db);
    sqlite3_reset(find);
    return result;
  }
  sqlite3_reset(find);
  // A report that cannot be opened is named before any of it reaches the index.
  std::optional<std::vector<Record>> batch = channel.TakeBatch();
  if (!batch.has_value()) {
    const DecodedEnd end = channel.TakeEnd();
    if (!end.read) {
      result.error = end.error;
      return result;
    }
  }
  std::string begin_error;
  if (!ExecSql(db, "BEGIN", begin_error)) {
    result.error = "the index: " + begin_error;
    return result;
  }
  // The first SQLite failure; what follows it is not tried, and the report is rolled back.
  SqlBatch sql(db);
  const std::string file = report_path.substr(report_path.find_last_of("/\\") + 1);
  sqlite3_stmt* add = m.add_report.get();
  if (sql.Bound(BindText(add, 1, file)) && sql.Bound(BindText(add, 2, md5)))
    sql.Step(add);
  const int64_t id = sqlite3_last_insert_rowid(db);
  std::optional<Record> system;
  auto insert = [&](const Record& r) {
    if (!sql.ok())
      return;
    if (r.table == TableId::kSystem && !system)
      system = r;
    const TableDefinition& definition = Definition(r.table);
    sqlite3_stmt* s = m.insert.at(static_cast<size_t>(r.table)).get();
    bool bound =
        sql.Bound(BindInt64(s, 1, id)) && sql.Bound(BindInt64(s, 2, static_cast<int64_t>(r.line)));
    int at = 3;
    for (size_t i = 0; bound && i < definition.fields.size(); ++i) {
      const std::string& value = r.values.at(i);
      bound = sql.Bound(BindField(s, at++, definition.fields[i].type, value));
      if (bound && definition.fields[i].type == FieldType::kDateTime)
        bound = sql.Bound(BindText(s, at++, value));
    }
    if (bound)
      sql.Step(s);
    ++result.records;
  };
  for (; batch.has_value(); batch = channel.TakeBatch()) {
    for (const Record& r : *batch)
      insert(r);
    if (!sql.ok()) {
      channel.Cancel();  // the report is rolled back: the rest of it is not wanted
      break;
    }
  }
  const DecodedEnd end = sql.ok() ? channel.TakeEnd() : DecodedEnd{};
  const bool read = end.read;
  const std::string& read_error = end.error;
  std::string stage_names;
  for (const auto& [stage, reason] : end.failed_stages) {
    stage_names += (stage_names.empty() ? "" : ", ") + stage;
    sqlite3_stmt* s = m.add_stage.get();
    if (sql.Bound(BindInt64(s, 1, id)) && sql.Bound(BindText(s, 2, stage)) &&
        sql.Bound(BindText(s, 3, reason)))
      sql.Step(s);
  }
  sqlite3_stmt* finish = m.finish_report.get();
  const FieldOf<TableId::kSystem> kFacts[] = {kSystem["computer"],     kSystem["session_user"],
                                              kSystem["process_user"], kSystem["os_name"],
                                              kSystem["os_version"],   kSystem["tool_version"]};
  int at = 1;
  bool bound = true;
  for (const FieldOf<TableId::kSystem> field : kFacts)
    bound = bound && sql.Bound(BindText(finish, at++, system ? system->Get(field) : ""));
  const std::string date = system ? system->Get(kSystem["date"]) : "";
  bound = bound && sql.Bound(BindField(finish, at++, FieldType::kDateTime, date)) &&
          sql.Bound(BindText(finish, at++, date)) &&
          sql.Bound(BindText(finish, at++, stage_names)) &&
          sql.Bound(BindInt64(finish, at++, static_cast<int64_t>(result.records))) &&
          sql.Bound(BindInt64(finish, at++, id));
  if (bound)
    sql.Step(finish);
  std::string commit_error;
  const bool committed = read && sql.ok() && ExecSql(db, "COMMIT", commit_error);
  if (!committed) {
    std::string rollback_error;
    // A failed COMMIT may have ended the transaction already.
    const bool rolled_back = sqlite3_get_autocommit(db) || ExecSql(db, "ROLLBACK", rollback_error);
    result.error = !sql.ok() ? report_path + ": the index could not take it: " + sql.error()
                   : !read   ? read_error
                             : report_path + ": the index could not take it: " + commit_error;
    if (!rolled_back)
      result.error += " (and undoing it failed: " + rollback_error + ")";
    result.records = 0;
    return result;
  }
  result.outcome = AddOutcome::kAdded;
  result.report_id = id;
  return result;
}

}  // namespace kovra
