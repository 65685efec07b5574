// The index of many reports on a report the tool wrote: values typed as their fields say, the
// query's three outputs safe for a terminal, and databases that are no index refused.
#include "index/report_index.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "index/index_query.h"
#include "index/sqlite_db.h"

namespace kovra {
namespace {

namespace fs = std::filesystem;

const std::string kReports = std::string(KOVRA_SOURCE_DIR) + "/tests/host/reports/";

class IndexFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (fs::temp_directory_path() /
             ("kovra_index_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
              "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".db"))
                .string();
    fs::remove(path_);
  }
  void TearDown() override { fs::remove(path_); }

  // The output of one query, or "error: ..." with the reason.
  std::string Query(const std::string& sql, QueryFormat format) {
    std::FILE* out = std::tmpfile();
    std::string error;
    const bool ok = QueryIndex(path_, sql, format, out, error);
    std::string text(static_cast<size_t>(std::ftell(out)), '\0');
    std::rewind(out);
    text.resize(std::fread(text.data(), 1, text.size(), out));
    std::fclose(out);
    return ok ? text : "error: " + error;
  }

  std::string path_;
};

TEST_F(IndexFile, HoldsTheReportsValuesTypedAsTheirFieldsSay) {
  ReportIndex index;
  std::string error;
  ASSERT_TRUE(index.Open(path_, error)) << error;
  const AddResult added = index.Add(kReports + "machine_with_products.log");
  ASSERT_EQ(added.outcome, AddOutcome::kAdded) << added.error;
  EXPECT_EQ(index.Add(kReports + "machine_with_products.log").outcome, AddOutcome::kKnown);

  const struct {
    const char* sql;
    std::string want;
  } kCases[] = {
      // A number as an integer, a flag as 1, a decimal as a real.
      {"SELECT typeof(size_bytes), size_bytes, versions_differ FROM products",
       "integer,2333850,1\n"},
      {"SELECT typeof(disk_total_gb), disk_total_gb FROM system", "real,251.97\n"},
      // A date sortable, and as printed beside it; the reports row has the system's facts.
      {"SELECT date, date_text FROM system", "2026-12-09 21:46:03,12/9/2026 9:46:03 PM\n"},
      {"SELECT file, computer, user, os_version, tool_version, date, failed_stages FROM reports",
       "machine_with_products.log,VM,root,6.1.7601,1.0.0.0,2026-12-09 21:46:03,\n"},
      // False flags are 0, not NULL; the report's row counts the records added.
      {"SELECT * FROM firewall", "1,83,0,0,0,1\n"},
      {"SELECT records FROM reports", std::to_string(added.records) + "\n"},
      {"SELECT path, version, date_text FROM inventory ORDER BY path",
       "Drivers\\filter.sys,,12/9/2026 9:45:43 PM\nztn.exe,1.0.0.0,12/9/2026 9:45:43 PM\n"},
  };
  for (const auto& c : kCases) {
    const std::string out = Query(c.sql, QueryFormat::kCsv);
    EXPECT_EQ(out.substr(out.find('\n') + 1), c.want) << c.sql;
  }
  // Every reader table is there with the columns the index names for it.
  for (const TableDefinition& t : Tables()) {
    std::string want;
    for (const IndexColumn& c : IndexColumns(t))
      want += c.name + "\n";
    EXPECT_EQ(Query(std::string("SELECT name FROM pragma_table_info('") + t.name + "')",
                    QueryFormat::kCsv),
              "name\n" + want);
  }
}

TEST_F(IndexFile, QueryWritesAlignedCsvAndJsonWithControlCharactersEscaped) {
  ReportIndex index;
  std::string error;
  ASSERT_TRUE(index.Open(path_, error)) << error;
  const std::string sql =
      "SELECT 'a' || char(27) || '[2J' AS name, 12 AS n, NULL AS gone, 2.5 AS x "
      "UNION ALL SELECT 'Grüße, \"du\"', 7, NULL, NULL";
  const struct {
    QueryFormat format;
    const char* want;
  } kCases[] = {
      {QueryFormat::kTable,
       "name          n  gone    x\n"
       "-----------  --  ----  ---\n"
       "a\\x1B[2J     12        2.5\n"
       "Grüße, \"du\"   7           \n"
       "(2 rows)\n"},
      {QueryFormat::kCsv, "name,n,gone,x\na\\x1B[2J,12,,2.5\n\"Grüße, \"\"du\"\"\",7,,\n"},
      {QueryFormat::kJson,
       "[\n  {\"name\": \"a\\u001b[2J\", \"n\": 12, \"gone\": null, \"x\": 2.5},\n"
       "  {\"name\": \"Grüße, \\\"du\\\"\", \"n\": 7, \"gone\": null, \"x\": null}\n]\n"},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(Query(sql, c.format), c.want) << static_cast<int>(c.format);
  EXPECT_EQ(Query("SELECT 1 WHERE 0", QueryFormat::kJson), "[]\n");
  EXPECT_NE(Query("SELECT * FROM nowhere", QueryFormat::kTable).find("error: no such table"),
            std::string::npos);
}

TEST_F(IndexFile, OpenRefusesWhatIsNoIndexOfThisReader) {
  std::string error;
  {
    SqliteDb other;
    ASSERT_TRUE(OpenSqlite(path_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, other, error));
    ASSERT_TRUE(ExecSql(other.get(), "CREATE TABLE notes (text TEXT)", error));
  }
  ReportIndex index;
  EXPECT_FALSE(index.Open(path_, error));
  EXPECT_NE(error.find("is not an index of this reader"), std::string::npos) << error;
  fs::remove(path_);
  std::ofstream(path_) << "plain text, no database";
  ReportIndex text;
  EXPECT_FALSE(text.Open(path_, error));
  EXPECT_NE(error.find(path_), std::string::npos) << error;
}

}  // namespace
}  // namespace kovra
