// A report opened for a command: the file, its archive's directory, and its entries found by
// name.
#pragma once

#include <string>
#include <vector>

#include "archive/zip_reader.h"
#include "report_file.h"
#include "report_text.h"

namespace kovra {

struct OpenReport {
  Report report;
  ZipReader zip;

  // Opens the report and reads its archive's directory; false with a reason.
  [[nodiscard]] bool Open(const std::string& path, std::string& error);
  // The entry of a stored name, or of a unique file name; nullptr with a reason.
  [[nodiscard]] const ZipEntry* Find(const std::string& name, std::string& error) const;
  // A text entry as UTF-8 lines; empty when it is not there or cannot be read.
  [[nodiscard]] std::vector<std::string> TextLines(const std::string& name,
                                                   int code_page = 1252) const;
  // The facts of the summary that do not come from records: the error log's failed stages,
  // the archive's entries and bytes. AddRecordFacts adds those of the main info file.
  [[nodiscard]] ReportFacts ArchiveFacts() const;
  // The facts of the summary, the main info file parsed once; false with a reason when it
  // cannot be read to its end.
  [[nodiscard]] bool Facts(ReportFacts& facts, std::string& error) const;
  [[nodiscard]] std::vector<std::string> Names() const;
};

}  // namespace kovra
