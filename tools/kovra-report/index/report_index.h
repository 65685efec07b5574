// The index of many reports in one SQLite database, for questions that span reports.
//
// Schema: a table "reports" (one row per report: file name, MD5 of the file, computer, user,
// OS, tool version, report date, failed stages), a table "failed_stages" (one row per failed
// stage with its reason) and one table per reader table (report_records.h Tables(), same name),
// whose columns are "report_id" (reports.id), "at_line" (the record's line in its source file)
// and the table's fields: text as TEXT, numbers as INTEGER or REAL, flags as 0/1, unknown
// values as NULL, and each date as "YYYY-MM-DD hh:mm:ss" with the printed text beside it in
// "<field>_text". Every report is added in one transaction: a damaged or interrupted one leaves
// nothing behind, and the same file (by MD5) is added once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "report_records.h"

namespace kovra {

enum class AddOutcome { kAdded, kKnown, kFailed };

struct AddResult {
  AddOutcome outcome = AddOutcome::kFailed;
  int64_t report_id = 0;  // its row in reports (kAdded, kKnown)
  uint64_t records = 0;   // records added
  std::string error;      // why it could not be added (kFailed)
};

class ReportIndex {
 public:
  ReportIndex();
  ~ReportIndex();
  // Opens the index for adding, creating it and its tables when they are not there; false with
  // a reason (not an index of this reader, unreadable, read-only).
  [[nodiscard]] bool Open(const std::string& path, std::string& error);
  // Adds one report file; every record or nothing.
  [[nodiscard]] AddResult Add(const std::string& report_path);
  // Adds report files in the order given: they are read and decoded on up to `decoders`
  // threads while this thread inserts, one report at a time. `added(i, result)` is called for
  // each, in order, on this thread.
  void AddAll(const std::vector<std::string>& report_paths, unsigned decoders,
              const std::function<void(size_t, const AddResult&)>& added);

 private:
  AddResult Insert(const std::string& report_path, class ReportChannel& channel);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The name and SQL type of every column of a reader table in the index, in order.
struct IndexColumn {
  std::string name;
  const char* type;
};
[[nodiscard]] std::vector<IndexColumn> IndexColumns(const TableDefinition& table);

// The questions of the README and --help with their SQL, checked by the tests.
struct IndexExample {
  const char* question;
  const char* sql;
};
const std::vector<IndexExample>& IndexExamples();

}  // namespace kovra
