// The reader's table list and what every table shares: the checked lookup by id, the sink that
// refuses a record of the wrong size, the layout digest that follows every change to a table,
// and the block rule the records parser and the section-aware diff share.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <vector>

#include "app/collection_pipeline.h"
#include "base/report_file_names.h"
#include "report_records.h"
#include "report_text.h"
#include "tables/processes.h"
#include "tables/services.h"

namespace kovra {
namespace {

// Field names are found while compiling: these hold or the build stops.
static_assert(kProcesses["pid"].index == 0);
static_assert(kProcesses["age"].index == kProcesses.fields.size() - 1);
static_assert(kServices["driver_without_version"].index == 12);

TEST(ReportTables, EveryTableSitsAtItsIdAndAnIdBeyondTheListIsRefused) {
  ASSERT_EQ(Tables().size(), kTableCount);
  for (size_t i = 0; i < Tables().size(); ++i) {
    const TableDefinition& t = Definition(static_cast<TableId>(i));
    EXPECT_EQ(static_cast<size_t>(t.id), i) << t.name;
    EXPECT_EQ(FindTable(t.name), &t) << t.name;
    EXPECT_FALSE(t.fields.empty()) << t.name;
  }
  EXPECT_THROW((void)Definition(static_cast<TableId>(kTableCount)), std::out_of_range);
  EXPECT_THROW((void)Definition(static_cast<TableId>(-1)), std::out_of_range);
  EXPECT_EQ(FindTable("processe"), nullptr);
}

TEST(ReportTables, ARecordWithAnotherCountOfValuesThanItsTableIsRefusedWhereItIsEmitted) {
  std::vector<Record> emitted;
  RecordSink sink("file.txt", [&](const Record& r) { emitted.push_back(r); });
  const size_t fields = Definition(TableId::kDigests).fields.size();
  const struct {
    const char* what;
    size_t values;
    bool refused;
  } kCases[] = {
      {"none", 0, true},
      {"one short", fields - 1, true},
      {"as many as the fields", fields, false},
      {"one more", fields + 1, true},
  };
  for (const auto& c : kCases) {
    emitted.clear();
    const Record r{TableId::kDigests, 1, std::vector<std::string>(c.values)};
    if (c.refused) {
      EXPECT_THROW(sink.Emit(r), std::logic_error) << c.what;
      EXPECT_TRUE(emitted.empty()) << c.what;
    } else {
      EXPECT_NO_THROW(sink.Emit(r)) << c.what;
      EXPECT_EQ(emitted.size(), 1u) << c.what;
    }
  }
  // Records made by the sink have every field of their table.
  const RecordOf<TableId::kProcesses> made = sink.New<TableId::kProcesses>();
  EXPECT_EQ(made.record().values.size(), kProcesses.fields.size());
}

TEST(ReportTables, TheIndexLayoutChangesWithEveryChangeToATable) {
  const std::vector<TableDefinition> tables = Tables();
  const uint32_t digest = SchemaDigest(tables);
  EXPECT_EQ(SchemaDigest(Tables()), digest);
  // Field lists changed: a name, a type, one field more or fewer, two fields swapped.
  std::vector<FieldDefinition> fields(tables[0].fields.begin(), tables[0].fields.end());
  std::vector<FieldDefinition> renamed = fields, retyped = fields, longer = fields,
                               shorter = fields, swapped = fields;
  renamed[1].name = "dat";
  retyped[1].type = FieldType::kText;
  longer.push_back({"more", FieldType::kNumber, "one field more"});
  shorter.pop_back();
  std::swap(swapped[0], swapped[1]);
  const struct {
    const char* what;
    const std::vector<FieldDefinition>* fields;
    const char* table_name;
  } kCases[] = {
      {"a field renamed", &renamed, nullptr},    {"a field of another type", &retyped, nullptr},
      {"a field more", &longer, nullptr},        {"a field fewer", &shorter, nullptr},
      {"two fields swapped", &swapped, nullptr}, {"the table renamed", &fields, "systems"},
  };
  for (const auto& c : kCases) {
    std::vector<TableDefinition> changed = tables;
    changed[0].fields = *c.fields;
    if (c.table_name != nullptr)
      changed[0].name = c.table_name;
    EXPECT_NE(SchemaDigest(changed), digest) << c.what;
  }
}

// The writer's run log is named from the shared list's name.
static_assert(std::string_view(kRunLogFileName) == report_files::kRunLog);

TEST(ReportTables, EveryFileOfTheSharedNameListIsReadAsItsSourceWhereverItIsStored) {
  namespace files = report_files;
  const struct {
    std::string entry;
    std::optional<SourceFile> source;
  } kCases[] = {
      {files::kMainInfo, SourceFile::kMainInfo},
      {std::string("Users/anna/GetInfoDir/") + files::kMainInfo, SourceFile::kMainInfo},
      {"GetInfoDir\\KOVRA_DEBUG_INFO.TXT", SourceFile::kMainInfo},
      {files::kUninstall, SourceFile::kUninstall},
      {files::kServices, SourceFile::kServicesTree},
      {files::kTasks, SourceFile::kTasks},
      {std::string("GetInfoDir/") + files::kDigests, SourceFile::kDigests},
      {files::kInfoVersion, SourceFile::kInfoVersion},
      {files::kStoreAppLog, SourceFile::kStoreAppLog},
      {"SW_REG_1.txt", SourceFile::kRegistryExports},
      {"ZTN_GEG_1.txt", SourceFile::kRegistryExports},
      {"ZTNP_REG_1.txt", SourceFile::kRegistryExports},
      {"SYS_FILE_Context_Menu.txt", SourceFile::kRegistryExports},
      // Files of the report that no table reads: shown as they are.
      {files::kErrorLog, std::nullopt},
      {files::kRunLog, std::nullopt},
      {files::kSystemInfo, std::nullopt},
      {"SW_REG_.txt", std::nullopt},
      {std::string(files::kMainInfo) + ".bak", std::nullopt},
  };
  for (const auto& c : kCases) {
    SourceFile source = SourceFile::kMainInfo;
    const bool found = SourceOfEntry(c.entry, source);
    EXPECT_EQ(found, c.source.has_value()) << c.entry;
    if (found && c.source.has_value()) {
      EXPECT_EQ(source, *c.source) << c.entry;
    }
  }
}

TEST(ReportTables, DiffNamesTheBlocksOfTheMainInfoFileByTheirTables) {
  const std::string rule(81, '*');
  const std::vector<std::string> lines = {
      "Version:1.0.0.0",
      rule,
      "====ZTN====",
      "Display Version:\t8.1.0",
      rule,
      "===== Autoruns =====",
      "---------- Run ----------",
      "Updater=C:\\u.exe",
      "---------- Startup ----------",
      "C:\\x.lnk",
      rule,
      "nothing a block begins with",
  };
  std::vector<std::string> got;
  for (const ReportSection& s : SplitSections(lines))
    got.push_back(s.name + ":" + std::to_string(s.lines.size()));
  EXPECT_EQ(got, (std::vector<std::string>{"System:1", "Products:2", "Autostart: Run:1",
                                           "Autostart: Startup:1", "Other lines:1"}));
  // The parser files the same lines under the same blocks.
  std::string text;
  for (const std::string& line : lines)
    text += line + "\r\n";
  std::vector<std::string> tables;
  for (const Record& r : ParseText(SourceFile::kMainInfo, text))
    tables.push_back(Definition(r.table).name +
                     std::string(r.table == TableId::kUnparsed ? "/" + r.Get("section") : ""));
  EXPECT_EQ(tables, (std::vector<std::string>{"system", "products", "autostart", "autostart",
                                              "unparsed/unparsed"}));
}

}  // namespace
}  // namespace kovra
