#include "collectors/product/product_summary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kovra {
namespace {

TEST(ProductSummary, BlocksFollowTheGenerationDigits) {
  StringList list;
  AddProductBlock(list, "ZTN", "8.0.1", 1234567, "8.0.1.22");
  EXPECT_EQ(list, (StringList{"====ZTN====", "Display Version:\t8.0.1",
                              "Exefile Version:\t8.0.1.22", "Exefile Size:\t1234567 Bytes", ""}));

  auto keys = [](const GenerationDigits& d) {
    std::vector<std::string> out;
    for (const ProductBlockPlan& p : ProductSummaryPlan(d))
      out.push_back(p.block + "@" + p.key + p.file +
                    (p.date_value.empty() ? "" : "+" + p.date_value));
    return out;
  };
  EXPECT_EQ(keys(GenerationDigits{}),
            (std::vector<std::string>{"ZTN@Zentrix Tune 8_is1\\ztn.exe",
                                      "OD@Orbelo Disk_is1\\Kovra OrbeloDisk.exe",
                                      "ZTN@Zentrix Tune 7_is1\\ZTN.exe",
                                      "Refresher@Zentrix Tune 7_is1\\Refresher.exe+InstallDate",
                                      "ZTNAvSvc@Zentrix Tune 7_is1\\ZTNAvSvc.exe"}));
  const std::vector<std::string> previous = keys(GenerationDigits{"7", "6"});
  EXPECT_EQ(previous[0], "ZTN@Zentrix Tune 7_is1\\ztn.exe");
  EXPECT_EQ(previous[4], "ZTNAvSvc@Zentrix Tune 6_is1\\ZTNAvSvc.exe");
}

}  // namespace
}  // namespace kovra
