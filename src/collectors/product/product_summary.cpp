#include "collectors/product/product_summary.h"

#include "base/text.h"

namespace kovra {

std::vector<ProductBlockPlan> ProductSummaryPlan(const GenerationDigits& d) {
  const std::string previous = PrevProductUninstallKey(d);
  return {
      {ProductUninstallKey(d), "ZTN", "\\ztn.exe", ""},
      {"Orbelo Disk_is1", "OD", "\\Kovra OrbeloDisk.exe", ""},
      {previous, "ZTN", "\\ZTN.exe", ""},
      {previous, "Refresher", "\\Refresher.exe", "InstallDate"},
      {previous, "ZTNAvSvc", "\\ZTNAvSvc.exe", ""},
  };
}

void AddProductBlock(StringList& list, const std::string& name, const std::string& display_version,
                     int64_t size, const std::string& file_version) {
  list.push_back("====" + name + "====");
  list.push_back("Display Version:\t" + display_version);
  list.push_back("Exefile Version:\t" + file_version);
  list.push_back(StrPrintf("Exefile Size:\t%lld Bytes", static_cast<long long>(size)));
  list.emplace_back();
}

}  // namespace kovra
