// The records of a report: every section of the main info file and every text file the tool
// writes, parsed into tables of records with named, typed fields. Each table lives in a file of
// its own under tables/ (its fields and its parser) and is registered in the one list of
// tables/tables.cpp, so that every output (the page, `table --csv/--json`, an index over many
// reports) takes its columns from there.
//
// Parsing is streaming: a RecordParser is fed one line at a time and hands each record to a
// callback as soon as it is complete, so a report of any size is read with bounded memory.
// Lines that fit no pattern of their section become records of the table "unparsed" (file,
// section, line number, text): nothing is dropped.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tables/field_text.h"
#include "tables/main_info.h"
#include "tables/table.h"

namespace kovra {

// The source file an archive entry holds, by its file name; false for any other entry.
[[nodiscard]] bool SourceOfEntry(std::string_view entry_name, SourceFile& source);

// `file_name` is the entry's file name (shown in "unparsed" and registry export records).
[[nodiscard]] std::unique_ptr<RecordParser> MakeParser(SourceFile source, std::string file_name,
                                                       RecordCallback emit);

// All records of one text (lines split at "\n", a "\r" before it dropped), for tests and small
// inputs.
[[nodiscard]] std::vector<Record> ParseText(SourceFile source, std::string_view text,
                                            std::string file_name = std::string());

}  // namespace kovra
