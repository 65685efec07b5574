// `index` decodes on several threads while one writer inserts: whatever the number of decoding
// threads (none at all included), the reports are added in the order given with the same
// outcomes and records, a damaged one among good ones is named and leaves nothing behind, and a
// report given twice is added once.
#include "index/report_decoder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "index/report_index.h"

namespace kovra {
namespace {

namespace fs = std::filesystem;

const std::string kReports = std::string(KOVRA_SOURCE_DIR) + "/tests/host/reports/";

TEST(ReportDecoders, EveryNumberOfDecodingThreadsAddsTheSameInTheSameOrder) {
  const fs::path work =
      fs::temp_directory_path() /
      ("kovra_decoders_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::create_directories(work);
  const std::string cut = (work / "cut.log").string();
  {
    std::ifstream in(kReports + "machine.log", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  }
  const std::vector<std::string> paths = {kReports + "machine.log",
                                          cut,
                                          kReports + "machine_with_products.log",
                                          (work / "missing.log").string(),
                                          kReports + "machine.log",
                                          kReports + "machine_with_run_entry.log"};
  const std::vector<AddOutcome> want = {AddOutcome::kAdded, AddOutcome::kFailed,
                                        AddOutcome::kAdded, AddOutcome::kFailed,
                                        AddOutcome::kKnown, AddOutcome::kAdded};
  std::vector<uint64_t> first_records;
  for (const unsigned decoders : {0u, 1u, 2u, 4u}) {
    const std::string db = (work / ("index_" + std::to_string(decoders) + ".db")).string();
    fs::remove(db);
    ReportIndex index;
    std::string error;
    ASSERT_TRUE(index.Open(db, error)) << error;
    std::vector<size_t> order;
    std::vector<AddOutcome> got;
    std::vector<uint64_t> records;
    index.AddAll(paths, decoders, [&](size_t i, const AddResult& r) {
      order.push_back(i);
      got.push_back(r.outcome);
      records.push_back(r.records);
      if (r.outcome == AddOutcome::kFailed) {
        EXPECT_NE(r.error.find(paths[i]), std::string::npos) << r.error;
      }
    });
    EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2, 3, 4, 5})) << decoders;
    EXPECT_EQ(got, want) << decoders;
    EXPECT_GT(records[0], 0u) << decoders;
    EXPECT_EQ(records[1], 0u) << decoders;
    if (first_records.empty())
      first_records = records;
    EXPECT_EQ(records, first_records) << decoders;
  }
  fs::remove_all(work);
}

}  // namespace
}  // namespace kovra
