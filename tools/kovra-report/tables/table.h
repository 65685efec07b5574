// What every table of the reader is made of: its fields (named, typed, explained), its record
// type, and the sink its parser hands records to. A table's fields are a constexpr Schema, and a
// parser names a field through it (`kProcesses["pid"]`): the lookup runs in the compiler, so a
// misspelt field does not compile, and a field of another table is another type.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kovra {

// How a field's text is to be read. Values are held as text: kNumber fields hold a decimal
// number ("-12", "251.97") or are empty (unknown); kBool fields "true", "false" or empty;
// kDateTime fields the date as the report prints it (locale-formatted; DateSortKey orders it).
enum class FieldType { kText, kNumber, kBool, kDateTime };

// The short name the field lists of the tables use.
using F = FieldType;

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
constexpr size_t kTableCount = static_cast<size_t>(TableId::kUnparsed) + 1;

struct TableDefinition {
  TableId id;
  const char* name;   // the name scripts use: "processes"
  const char* title;  // the name people read: "Processes"
  SourceFile source;
  std::span<const FieldDefinition> fields;
  // The index of a field by name, or -1.
  [[nodiscard]] int Field(std::string_view field) const;
};

// One field of the table `kTable`, by its place in the table's field list.
template <TableId kTable>
struct FieldOf {
  size_t index;
};

// The fields of one table. `schema["name"]` is evaluated by the compiler only: a name that is
// not among the fields stops the build ("not a constant expression").
template <TableId kTable, size_t N>
struct Schema {
  std::array<FieldDefinition, N> fields;

  consteval FieldOf<kTable> operator[](std::string_view name) const {
    for (size_t i = 0; i < N; ++i) {
      if (std::string_view(fields[i].name) == name)
        return FieldOf<kTable>{i};
    }
    throw "no field of this name in the table";  // reached only while compiling: an error
  }
};

template <TableId kTable, size_t N>
consteval Schema<kTable, N> MakeSchema(const FieldDefinition (&fields)[N]) {
  Schema<kTable, N> schema{};
  for (size_t i = 0; i < N; ++i)
    schema.fields[i] = fields[i];
  return schema;
}

struct Record {
  TableId table;
  uint64_t line = 0;                // the line of its source file where the record starts (1-based)
  std::vector<std::string> values;  // one per field of its table, in field order
  // A field's value by name (empty text for a name the table does not have).
  [[nodiscard]] const std::string& Get(std::string_view field) const;
  template <TableId kTable>
  [[nodiscard]] const std::string& Get(FieldOf<kTable> field) const {
    return values.at(field.index);
  }
};

// A record of one table being filled: every field there from the start, set by FieldOf.
template <TableId kTable>
class RecordOf {
 public:
  RecordOf(uint64_t line, size_t field_count) : record_{kTable, line, {}} {
    record_.values.resize(field_count);
  }
  void Set(FieldOf<kTable> field, std::string value) {
    record_.values.at(field.index) = std::move(value);
  }
  [[nodiscard]] const std::string& Get(FieldOf<kTable> field) const {
    return record_.values.at(field.index);
  }
  [[nodiscard]] const Record& record() const { return record_; }
  uint64_t& line() { return record_.line; }

 private:
  Record record_;
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

// Where the parsers of one source file put their records: it knows the file's name and the
// line being read, makes new records with every field of their table, and refuses (throws
// std::logic_error) a record whose value count is not its table's field count.
class RecordSink {
 public:
  RecordSink(std::string file_name, RecordCallback emit)
      : file_(std::move(file_name)), emit_(std::move(emit)) {}
  template <TableId kTable>
  [[nodiscard]] RecordOf<kTable> New() const;
  void Emit(const Record& record) const;
  template <TableId kTable>
  void Emit(const RecordOf<kTable>& record) const {
    Emit(record.record());
  }
  // The line as a record of "unparsed", under the block (`section`) it was found in.
  void Unparsed(std::string_view line, TableId section) const;
  [[nodiscard]] const std::string& file() const { return file_; }
  [[nodiscard]] uint64_t line() const { return line_; }
  void NextLine() { ++line_; }

 private:
  std::string file_;
  uint64_t line_ = 0;
  RecordCallback emit_;
};

// Every table, in report order, "unparsed" last (the list is in tables/tables.cpp).
[[nodiscard]] const std::vector<TableDefinition>& Tables();
// The table of an id; throws std::out_of_range for an id outside the list.
[[nodiscard]] const TableDefinition& Definition(TableId id);
// The table of a script name, or nullptr.
[[nodiscard]] const TableDefinition* FindTable(std::string_view name);

template <TableId kTable>
RecordOf<kTable> RecordSink::New() const {
  return RecordOf<kTable>(line_, Definition(kTable).fields.size());
}

// A digest of the tables' names, field names and field types, in order: any change to a table
// changes it. The index stores it as its layout, so an index of other tables is refused.
[[nodiscard]] uint32_t SchemaDigest(std::span<const TableDefinition> tables);

}  // namespace kovra
