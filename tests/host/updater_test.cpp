#include "collectors/product/updater.h"

#include <gtest/gtest.h>

#include <string>

namespace kovra {
namespace {

TEST(Updater, InstallFolderAndDisplayFacts) {
  EXPECT_EQ(InstallFolderFromLocation("C:\\P\\Fetch\\NimbrelFetch.exe"), "C:\\P\\Fetch\\");
  EXPECT_EQ(InstallFolderFromLocation("C:\\P\\Fetch\\NimbrelFetch.EXE"),
            "C:\\P\\Fetch\\NimbrelFetch.EXE");
  EXPECT_EQ(InstallFolderFromLocation("C:\\P\\Fetch"), "C:\\P\\Fetch");
  const StringList entries = InstallFolderEntries("C:\\F\\");
  ASSERT_EQ(entries.size(), 9u);
  EXPECT_EQ(entries[2], "C:\\F\\Skin\\*.*");
  EXPECT_EQ(entries[8], "C:\\F\\*.log");
  EXPECT_EQ(std::string(ProductExportJobs()[4].file), "ZTN_GEG_1.txt");

  DisplayFacts f;
  f.date = "09.12.2026";
  f.screen_width = 1024;
  f.screen_height = 768;
  f.dpi_api = 96;
  f.desktop_key = true;
  f.metrics_key = true;
  f.applied_dpi = 120;
  EXPECT_EQ(
      InfoVersionLines(f),
      (StringList{"=====Version=====", "This Log Version:8.1.0.92",
                  "This Log Create Time:09.12.2026", "", "=====Display=====", "Screen.Width:1024",
                  "Screen.Height:768", "DPI API:96", "DPI LogPixels:96", "DPI AppliedDPI:120"}));
  // A key that does not open leaves its line out; no device context leaves out line 8.
  f.metrics_key = false;
  f.dpi_api.reset();
  f.log_pixels = 144;
  const StringList lines = InfoVersionLines(f);
  EXPECT_EQ(StringList(lines.begin() + 7, lines.end()), StringList{"DPI LogPixels:144"});
}

}  // namespace
}  // namespace kovra
