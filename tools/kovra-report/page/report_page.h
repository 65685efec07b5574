// The self-contained page of a report (`view`): the summary and the failed stages at the top,
// every table with its columns (sortable by clicking a column header: numbers as numbers, dates
// as dates; filterable; with row counts; marks on entries worth a first look), the other text
// files, and the archive listing. No network: style and script (page.css, page.js, embedded
// when the reader is built) are inside the page. Text is escaped unless it is written as the
// page's markup (HtmlOut::Raw). Written as the records arrive, so a report of any size makes a
// page with bounded memory.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "page/html.h"
#include "report_records.h"
#include "report_text.h"

namespace kovra {

// Rows of one table shown on the page; the rest are counted and left to `table`.
constexpr size_t kPageRows = 20000;

class PageWriter {
 public:
  explicit PageWriter(std::ostream& out) : out_(out) {}
  PageWriter(const PageWriter&) = delete;
  PageWriter& operator=(const PageWriter&) = delete;
  // `run_log`: the run log's summary (failed stages, slowest steps), shown with the summary.
  void Begin(const ReportFacts& facts, const std::string& run_log = std::string());
  void BeginTable(const TableDefinition& definition);
  void Row(const Record& record);
  // `problem`: why the table may be incomplete (a damaged entry), or empty.
  void EndTable(const std::string& problem = std::string());
  void TextFile(const std::string& title, const std::string& text);
  void End(const std::vector<std::string>& listing);

 private:
  void OpenTable();
  HtmlOut out_;
  const TableDefinition* definition_ = nullptr;
  size_t rows_ = 0;
  bool vertical_ = false;
};

// Whether a field marks an entry worth a first look when it is true.
bool IsMarkField(const FieldDefinition& field);

}  // namespace kovra
