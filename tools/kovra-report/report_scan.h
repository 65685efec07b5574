// The records of a report's archive, streamed: each source file is inflated, decoded and parsed
// piece by piece, so memory stays bounded whatever the size of the report. This is the one
// way every command (summary, table, view) and an index over many reports read records.
#pragma once

#include <string>
#include <vector>

#include "archive/zip_reader.h"
#include "report_records.h"

namespace kovra {

// The longest line handed to a parser; longer lines are cut there.
constexpr size_t kMaxRecordLine = 1 << 20;

// Calls `callback` for each record of `table` (nullptr: of every table) in the archive, in
// entry order and, within an entry, in file order. ANSI files are decoded from `code_page`.
// False with a reason when an entry cannot be read (records before the damage were given).
[[nodiscard]] bool ForEachRecord(const ZipReader& zip, const TableDefinition* table,
                                 const RecordCallback& callback, std::string& error,
                                 int code_page = 1252);
// Every record of the entries that hold one source file (all its tables, "unparsed" included).
[[nodiscard]] bool ForEachRecordOf(const ZipReader& zip, SourceFile source,
                                   const RecordCallback& callback, std::string& error,
                                   int code_page = 1252);

// A small text entry (a log, at most `kMaxWholeEntry` bytes) as UTF-8 lines; false with a reason
// when it is larger, cannot be read or has a code page this reader does not know.
constexpr uint64_t kMaxWholeEntry = 64u << 20;
[[nodiscard]] bool ReadEntryLines(const ZipReader& zip, const ZipEntry& entry, int code_page,
                                  std::vector<std::string>& lines, std::string& error);

}  // namespace kovra
