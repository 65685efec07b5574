// A table's records for scripts: as CSV (a header of field names, then one row per record), as
// JSON (an array of objects, numbers and flags as JSON numbers and booleans, unknown values as
// null) or as tab-separated text for reading. Written record by record; every text is safe for
// a terminal (control characters escaped).
#pragma once

#include <cstdio>
#include <string>

#include "report_records.h"

namespace kovra {

enum class TableFormat { kText, kCsv, kJson };

class TableWriter {
 public:
  TableWriter(const TableDefinition& definition, TableFormat format, std::FILE* out);
  void Write(const Record& record);
  // Closes the output (the JSON array); the number of records written.
  size_t Finish();

 private:
  const TableDefinition& definition_;
  TableFormat format_;
  std::FILE* out_;
  size_t count_ = 0;
};

// One field's value as a JSON value: a number, true/false, null, or a string.
std::string JsonValue(const FieldDefinition& field, const std::string& value);
// One CSV cell (quoted when it holds a comma, a quote or a blank at either end).
std::string CsvCell(const std::string& value);

}  // namespace kovra
