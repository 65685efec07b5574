// The records of a report: every section of the main info file and every text file the tool
// writes, parsed into tables of records with named, typed fields. One table per section; the
// tables, their fields and their source files are listed once (Tables()), so that every output
// (the page, `table --csv/--json`, an index over many reports) takes its columns from here.
//
// Parsing is streaming: a RecordParser is fed one line at a time and hands each record to a
// callback as soon as it is complete, so a report of any size is read with bounded memory.
// Lines that fit no pattern of their section become records of the table "unparsed" (file,
// section, line number, text): nothing is dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kovra {

// How a field's text is to be read. Values are held as text: kNumber fields hold a decimal
// number ("-12", "251.97") or are empty (unknown); kBool fields "true", "false" or empty;
// kDateTime fields the date as the report prints it (locale-formatted; DateSortKey orders it).
enum class FieldType { kText, kNumber, kBool, kDateTime };

struct FieldDefinition {
  const char* name;
  FieldType type;
  const char* meaning;
};

// The source files of the tables.
enum class SourceFile {
  kMainInfo,         // Kovra_Debug_Info.txt
  kUninstall,        // uninstall.txt
  kServicesTree,     // services.txt
  kRegistryExports,  // SW_REG_*, LP_REG_*, ZTN*_*, SYS_FILE_* (written by `reg export`)
  kTasks,            // task.txt
  kDigests,          // NFMD5.txt
  kInfoVersion,      // InfoVersion.txt
  kStoreAppLog,      // metrologinfo.txt
};

enum class TableId {
  kSystem,
  kProducts,
  kProcesses,
  kResources,
  kServices,
  kHelpers,
  kAutostart,
  kSecurity,
  kFirewall,
  kInventory,
  kUninstall,
  kServicesRegistry,
  kRegistryExports,
  kTasks,
  kDigests,
  kUpdaterFacts,
  kStoreAppLog,
  kUnparsed,
};

struct TableDefinition {
  TableId id;
  const char* name;   // the name scripts use: "processes"
  const char* title;  // the name people read: "Processes"
  SourceFile source;
  std::vector<FieldDefinition> fields;
  // The index of a field by name, or -1.
  int Field(std::string_view field) const;
};

// Every table, in report order, "unparsed" last.
const std::vector<TableDefinition>& Tables();
const TableDefinition& Definition(TableId id);
// The table of a script name, or nullptr.
const TableDefinition* FindTable(std::string_view name);

// The source file an archive entry holds, by its file name; false for any other entry.
bool SourceOfEntry(std::string_view entry_name, SourceFile& source);

struct Record {
  TableId table;
  uint64_t line = 0;                // the line of its source file where the record starts (1-based)
  std::vector<std::string> values;  // one per field of its table, in field order
  // A field's value by name (empty text for a name the table does not have).
  const std::string& Get(std::string_view field) const;
};

using RecordCallback = std::function<void(const Record&)>;

// Parses one source file line by line: Line() for each line (without its line end), End()
// after the last. Records reach the callback in file order, each once complete.
class RecordParser {
 public:
  virtual ~RecordParser() = default;
  virtual void Line(std::string_view line) = 0;
  virtual void End() = 0;
};
// `file_name` is the entry's file name (shown in "unparsed" and registry export records).
std::unique_ptr<RecordParser> MakeParser(SourceFile source, std::string file_name,
                                         RecordCallback emit);

// All records of one text (lines split at "\n"), for tests and small inputs.
std::vector<Record> ParseText(SourceFile source, std::string_view text,
                              std::string file_name = std::string());

// The kind of block of the main info file that a line opens or belongs to, as a table; kUnparsed
// when the line says nothing about its block. Sections are named by it in `diff`.
TableId BlockOfLine(std::string_view line);

// A text that sorts dates of the common short-date forms (M/D/Y with AM/PM, D.M.Y, Y-M-D, ...)
// in time order: "YYYY-MM-DD hh:mm:ss"; the text itself when no form fits.
std::string DateSortKey(std::string_view date);

// Whether a path or command line names a file outside the Windows folders (X:\Windows\...,
// %SystemRoot%, \SystemRoot\, a bare System32\ or SysWOW64\ path); false for an empty one.
bool OutsideWindowsFolders(std::string_view command);

}  // namespace kovra
