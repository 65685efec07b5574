// The list of the reader's tables, and what every table shares: the lookup by id and by name,
// the checked sink the parsers emit into, the source file of an archive entry, and the parser
// of each source file.
#include <regex>
#include <stdexcept>

#include "base/report_file_names.h"
#include "base/text.h"
#include "report_records.h"
#include "report_regex.h"
#include "report_text.h"
#include "tables/autostart.h"
#include "tables/digests.h"
#include "tables/firewall.h"
#include "tables/helpers.h"
#include "tables/inventory.h"
#include "tables/main_info.h"
#include "tables/processes.h"
#include "tables/products.h"
#include "tables/registry_exports.h"
#include "tables/resources.h"
#include "tables/security.h"
#include "tables/services.h"
#include "tables/services_registry.h"
#include "tables/store_app_log.h"
#include "tables/system.h"
#include "tables/tasks.h"
#include "tables/uninstall.h"
#include "tables/unparsed.h"
#include "tables/updater_facts.h"

namespace kovra {

namespace {

// In report order, "unparsed" last; each at the place of its TableId (checked below).
constexpr std::array<TableDefinition, kTableCount> kTables = {
    kSystemTable,          kProductsTable,  kProcessesTable, kResourcesTable,
    kServicesTable,        kHelpersTable,   kAutostartTable, kSecurityTable,
    kFirewallTable,        kInventoryTable, kUninstallTable, kServicesRegistryTable,
    kRegistryExportsTable, kTasksTable,     kDigestsTable,   kUpdaterFactsTable,
    kStoreAppLogTable,     kUnparsedTable,
};

constexpr bool EveryTableAtItsId() {
  for (size_t i = 0; i < kTables.size(); ++i) {
    if (static_cast<size_t>(kTables[i].id) != i)
      return false;
  }
  return true;
}
static_assert(EveryTableAtItsId(), "the table list is in TableId order");

const std::string& Empty() {
  static const std::string empty;
  return empty;
}

}  // namespace

const std::vector<TableDefinition>& Tables() {
  static const std::vector<TableDefinition> tables(kTables.begin(), kTables.end());
  return tables;
}

const TableDefinition& Definition(TableId id) {
  const size_t at = static_cast<size_t>(id);
  if (at >= kTables.size())
    throw std::out_of_range("no reader table has the id " + std::to_string(at));
  return kTables[at];
}

const TableDefinition* FindTable(std::string_view name) {
  for (const TableDefinition& t : kTables) {
    if (name == t.name)
      return &t;
  }
  return nullptr;
}

int TableDefinition::Field(std::string_view field) const {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (field == fields[i].name)
      return static_cast<int>(i);
  }
  return -1;
}

const std::string& Record::Get(std::string_view field) const {
  const int i = Definition(table).Field(field);
  return i < 0 || static_cast<size_t>(i) >= values.size() ? Empty() : values[i];
}

void RecordSink::Emit(const Record& record) const {
  const TableDefinition& definition = Definition(record.table);
  if (record.values.size() != definition.fields.size())
    throw std::logic_error(std::string("a record of the table ") + definition.name + " with " +
                           std::to_string(record.values.size()) + " values; the table has " +
                           std::to_string(definition.fields.size()) + " fields");
  emit_(record);
}

void RecordSink::Unparsed(std::string_view line, TableId section) const {
  Emit(Record{TableId::kUnparsed,
              line_,
              {file_, Definition(section).name, std::to_string(line_), std::string(line)}});
}

uint32_t SchemaDigest(std::span<const TableDefinition> tables) {
  // FNV-1a over every name and type, each ended by a separator so that moving a letter from
  // one name to the next changes the digest too.
  uint32_t digest = 2166136261u;
  auto add = [&](std::string_view text) {
    for (const char c : text)
      digest = (digest ^ static_cast<unsigned char>(c)) * 16777619u;
    digest = (digest ^ 0xFFu) * 16777619u;
  };
  for (const TableDefinition& t : tables) {
    add(t.name);
    for (const FieldDefinition& f : t.fields) {
      add(f.name);
      add(std::string(1, static_cast<char>('0' + static_cast<int>(f.type))));
    }
  }
  return digest;
}

bool SourceOfEntry(std::string_view entry_name, SourceFile& source) {
  const size_t slash = entry_name.find_last_of("/\\");
  const std::string name =
      AsciiLowerCase(slash == std::string_view::npos ? entry_name : entry_name.substr(slash + 1));
  namespace files = report_files;
  static const std::pair<const char*, SourceFile> kFiles[] = {
      {files::kMainInfo, SourceFile::kMainInfo},
      {files::kUninstall, SourceFile::kUninstall},
      {files::kServices, SourceFile::kServicesTree},
      {files::kTasks, SourceFile::kTasks},
      {files::kDigests, SourceFile::kDigests},
      {files::kInfoVersion, SourceFile::kInfoVersion},
      {files::kStoreAppLog, SourceFile::kStoreAppLog}};
  for (const auto& [file, kind] : kFiles) {
    if (name == AsciiLowerCase(file)) {
      source = kind;
      return true;
    }
  }
  static const std::regex exports(
      "^(sw_reg_[0-9]+|lp_reg_[0-9]+|ztnp?_[rg]eg_[0-9]+|sys_file_.*)\\.txt$");
  if (RegexMatch(name, exports)) {
    source = SourceFile::kRegistryExports;
    return true;
  }
  return false;
}

std::unique_ptr<RecordParser> MakeParser(SourceFile source, std::string file_name,
                                         RecordCallback emit) {
  switch (source) {
    case SourceFile::kMainInfo:
      return MakeMainInfoParser(std::move(file_name), std::move(emit));
    case SourceFile::kUninstall:
      return MakeUninstallParser(std::move(file_name), std::move(emit));
    case SourceFile::kServicesTree:
      return MakeServicesRegistryParser(std::move(file_name), std::move(emit));
    case SourceFile::kRegistryExports:
      return MakeRegistryExportsParser(std::move(file_name), std::move(emit));
    case SourceFile::kTasks:
      return MakeTasksParser(std::move(file_name), std::move(emit));
    case SourceFile::kDigests:
      return MakeDigestsParser(std::move(file_name), std::move(emit));
    case SourceFile::kInfoVersion:
      return MakeUpdaterFactsParser(std::move(file_name), std::move(emit));
    case SourceFile::kStoreAppLog:
      return MakeStoreAppLogParser(std::move(file_name), std::move(emit));
  }
  throw std::out_of_range("no parser for the source file " +
                          std::to_string(static_cast<int>(source)));
}

std::vector<Record> ParseText(SourceFile source, std::string_view text, std::string file_name) {
  std::vector<Record> records;
  auto parser =
      MakeParser(source, std::move(file_name), [&](const Record& r) { records.push_back(r); });
  ForEachLine(text, [&](std::string_view line) { parser->Line(line); });
  parser->End();
  return records;
}

}  // namespace kovra
