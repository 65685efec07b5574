#include "index/index_query.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "base/text.h"
#include "report_file.h"
#include "index/report_index.h"
#include "report_output.h"
#include "report_records.h"
#include "report_text.h"
#include "index/sqlite_db.h"

namespace kovra {

namespace {

// Rows held to measure the table's column widths; later rows use those widths.
constexpr size_t kWidthRows = 1000;

// Whether the schema can be read; false with SQLite's extended code in `code`.
bool SchemaReadable(sqlite3* db, int& code) {
  std::string ignored;
  SqliteStatement probe = PrepareSql(db, "SELECT count(*) FROM sqlite_master", ignored);
  code = probe ? sqlite3_step(probe.get()) : sqlite3_extended_errcode(db);
  if (code == SQLITE_ROW)
    return true;
  code = sqlite3_extended_errcode(db);
  return false;
}

bool OpenReadOnly(const std::string& path, SqliteDb& db, std::string& error) {
  if (!OpenSqlite(path, SQLITE_OPEN_READONLY, db, error))
    return false;
  int code = SQLITE_OK;
  if (!SchemaReadable(db.get(), code) && code == SQLITE_READONLY_ROLLBACK) {
    // A run that was interrupted left the journal of the report it was adding; a read-only
    // connection cannot undo it, so one that may write opens the file to roll it back (and
    // does nothing else), then the index is opened read-only again.
    SqliteDb repair;
    if (!OpenSqlite(path, SQLITE_OPEN_READWRITE, repair, error) ||
        !SchemaReadable(repair.get(), code)) {
      error = path + " holds the journal of an interrupted run, which only a writable index " +
              "can roll back: make it writable, or run kovra-report index on it";
      return false;
    }
    repair.reset();
    std::fprintf(stderr, "kovra-report: rolled back the report an interrupted run was adding\n");
    if (!OpenSqlite(path, SQLITE_OPEN_READONLY, db, error))
      return false;
  }
  // The index alone: no other database attached to the connection.
  sqlite3_limit(db.get(), SQLITE_LIMIT_ATTACHED, 0);
  return true;
}

struct Cell {
  int type;  // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB, SQLITE_NULL
  std::string text;
};

std::string ColumnText(sqlite3_stmt* s, int i) {
  const unsigned char* text = sqlite3_column_text(s, i);
  return text ? std::string(reinterpret_cast<const char*>(text),
                            static_cast<size_t>(sqlite3_column_bytes(s, i)))
              : std::string();
}

Cell ReadCell(sqlite3_stmt* s, int i) {
  const int type = sqlite3_column_type(s, i);
  if (type == SQLITE_BLOB) {
    const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(s, i));
    std::string hex = "x'";
    for (int b = 0; b < sqlite3_column_bytes(s, i); ++b)
      hex += StrPrintf("%02x", bytes[b]);
    return {type, hex + "'"};
  }
  if (type == SQLITE_FLOAT) {
    const double d = sqlite3_column_double(s, i);
    return {std::isfinite(d) ? type : SQLITE_NULL, std::isfinite(d) ? StrPrintf("%.15g", d) : ""};
  }
  return {type, type == SQLITE_NULL ? std::string() : ColumnText(s, i)};
}

std::string JsonCell(const Cell& c, bool flag) {
  switch (c.type) {
    case SQLITE_NULL:
      return "null";
    case SQLITE_INTEGER:
      return flag ? (c.text == "0" ? "false" : "true") : c.text;
    case SQLITE_FLOAT:
      return c.text;
    default:
      return JsonString(c.text);
  }
}

// The width of a cell on a terminal: its characters (escapes included), not its bytes.
size_t Width(const std::string& text) {
  size_t n = 0;
  for (const char c : text)
    n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

class TablePrinter {
 public:
  TablePrinter(QueryFormat format, std::FILE* out) : format_(format), out_(out) {}

  void Header(std::vector<std::string> names) {
    names_ = std::move(names);
    for (std::string& n : names_)
      n = TerminalSafe(n);
    if (format_ == QueryFormat::kCsv) {
      std::string line;
      for (size_t i = 0; i < names_.size(); ++i)
        line += (i ? "," : "") + CsvCell(names_[i]);
      Put(line + "\n");
    } else if (format_ == QueryFormat::kJson) {
      Put("[");
    }
  }

  void Row(std::vector<Cell> row) {
    for (Cell& c : row) {
      if (c.type == SQLITE_TEXT || c.type == SQLITE_BLOB)
        c.text = format_ == QueryFormat::kTable ? TerminalSafe(c.text) : c.text;
    }
    ++rows_;
    switch (format_) {
      case QueryFormat::kCsv: {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i)
          line += (i ? "," : "") + CsvCell(row[i].text);
        Put(line + "\n");
        break;
      }
      case QueryFormat::kJson: {
        std::string line = rows_ > 1 ? ",\n  {" : "\n  {";
        for (size_t i = 0; i < row.size(); ++i)
          line += (i ? ", " : "") + JsonString(names_[i]) + ": " + JsonCell(row[i], false);
        Put(line + "}");
        break;
      }
      case QueryFormat::kTable:
        if (held_.size() < kWidthRows && !widths_fixed_) {
          held_.push_back(std::move(row));
        } else {
          FixWidths();
          PrintRow(row);
        }
        break;
    }
  }

  void Finish() {
    if (format_ == QueryFormat::kJson) {
      Put(rows_ ? "\n]\n" : "]\n");
    } else if (format_ == QueryFormat::kTable) {
      FixWidths();
      Put(StrPrintf("(%zu row%s)\n", rows_, rows_ == 1 ? "" : "s"));
    }
  }

 private:
  void Put(const std::string& text) { std::fwrite(text.data(), 1, text.size(), out_); }

  // Measures the held rows, prints the header and them.
  void FixWidths() {
    if (widths_fixed_)
      return;
    widths_fixed_ = true;
    widths_.assign(names_.size(), 0);
    numeric_.assign(names_.size(), true);
    for (size_t i = 0; i < names_.size(); ++i)
      widths_[i] = Width(names_[i]);
    for (const std::vector<Cell>& row : held_) {
      for (size_t i = 0; i < row.size(); ++i) {
        widths_[i] = std::max(widths_[i], Width(row[i].text));
        numeric_[i] = numeric_[i] && (row[i].type == SQLITE_INTEGER ||
                                      row[i].type == SQLITE_FLOAT || row[i].type == SQLITE_NULL);
      }
    }
    std::string head, rule;
    for (size_t i = 0; i < names_.size(); ++i) {
      head += (i ? "  " : "") + Pad(names_[i], widths_[i], numeric_[i] && !held_.empty());
      rule += (i ? "  " : "") + std::string(widths_[i], '-');
    }
    Put(head + "\n" + rule + "\n");
    for (const std::vector<Cell>& row : held_)
      PrintRow(row);
    held_.clear();
  }

  static std::string Pad(const std::string& text, size_t width, bool right) {
    const size_t w = Width(text);
    const std::string fill(w < width ? width - w : 0, ' ');
    return right ? fill + text : text + fill;
  }

  void PrintRow(const std::vector<Cell>& row) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      std::string cell = Pad(row[i].text, widths_[i], numeric_[i]);
      if (i + 1 == row.size() && !numeric_[i])
        cell = row[i].text;  // no blanks at the end of the line
      line += (i ? "  " : "") + cell;
    }
    Put(line + "\n");
  }

  QueryFormat format_;
  std::FILE* out_;
  std::vector<std::string> names_;
  std::vector<std::vector<Cell>> held_;
  std::vector<size_t> widths_;
  std::vector<bool> numeric_;
  bool widths_fixed_ = false;
  size_t rows_ = 0;
};

}  // namespace

bool QueryIndex(const std::string& db_path, const std::string& sql, QueryFormat format,
                std::FILE* out, std::string& error) {
  SqliteDb db;
  if (!OpenReadOnly(db_path, db, error))
    return false;
  std::string_view tail;
  SqliteStatement statement = PrepareSql(db.get(), sql, error, &tail);
  if (!statement)
    return false;
  if (tail.find_first_not_of(" \t\r\n;") != std::string_view::npos) {
    error = "one statement at a time, please (the rest begins with \"" +
            std::string(tail.substr(tail.find_first_not_of(" \t\r\n;"), 40)) + "\")";
    return false;
  }
  sqlite3_stmt* s = statement.get();
  if (!sqlite3_stmt_readonly(s)) {
    error = "query only reads the index; the statement would change it";
    return false;
  }
  TablePrinter printer(format, out);
  std::vector<std::string> names;
  const int columns = sqlite3_column_count(s);
  for (int i = 0; i < columns; ++i)
    names.emplace_back(sqlite3_column_name(s, i));
  printer.Header(names);
  int rc;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    std::vector<Cell> row;
    for (int i = 0; i < columns; ++i)
      row.push_back(ReadCell(s, i));
    printer.Row(std::move(row));
  }
  printer.Finish();
  if (rc != SQLITE_DONE) {
    error = sqlite3_errmsg(db.get());
    return false;
  }
  return true;
}

bool ExportIndex(const std::string& db_path, std::FILE* out, std::string& error, uint64_t* lines) {
  SqliteDb db;
  if (!OpenReadOnly(db_path, db, error))
    return false;
  uint64_t count = 0;
  // One table's rows; `flags` names its columns that hold 0/1 flags.
  auto dump = [&](const std::string& table, const std::string& sql,
                  const std::set<std::string>& flags) {
    SqliteStatement statement = PrepareSql(db.get(), sql, error);
    if (!statement) {
      error = table + ": " + error;
      return false;
    }
    sqlite3_stmt* s = statement.get();
    const int columns = sqlite3_column_count(s);
    std::vector<std::string> names;
    for (int i = 0; i < columns; ++i)
      names.push_back(JsonString(sqlite3_column_name(s, i)));
    const std::string head = "{\"table\": " + JsonString(table);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
      std::string line = head;
      for (int i = 0; i < columns; ++i)
        line += ", " + names[i] + ": " +
                JsonCell(ReadCell(s, i), flags.count(sqlite3_column_name(s, i)) > 0);
      line += "}\n";
      std::fwrite(line.data(), 1, line.size(), out);
      ++count;
    }
    if (rc != SQLITE_DONE) {
      error = table + ": " + sqlite3_errmsg(db.get());
      return false;
    }
    return true;
  };
  bool ok =
      dump("reports", "SELECT * FROM reports ORDER BY id", {}) &&
      dump("failed_stages",
           "SELECT f.report_id, r.date AS report_date, f.stage, f.reason FROM failed_stages f "
           "JOIN reports r ON r.id = f.report_id ORDER BY f.rowid",
           {});
  for (const TableDefinition& t : Tables()) {
    if (!ok)
      break;
    std::set<std::string> flags;
    for (const FieldDefinition& f : t.fields) {
      if (f.type == FieldType::kBool)
        flags.insert(f.name);
    }
    // The report's id and date first, then the record's own columns.
    std::string columns;
    for (const IndexColumn& c : IndexColumns(t)) {
      if (c.name != "report_id")
        columns += ", t." + QuoteName(c.name);
    }
    ok = dump(t.name,
              "SELECT t.report_id, r.date AS report_date" + columns + " FROM " + QuoteName(t.name) +
                  " t JOIN reports r ON r.id = t.report_id ORDER BY t.rowid",
              flags);
  }
  if (lines != nullptr)
    *lines = count;
  if (ok && std::fflush(out) != 0) {
    error = "cannot write the export";
    return false;
  }
  return ok;
}

}  // namespace kovra
