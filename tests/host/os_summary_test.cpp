#include "collectors/system/os_summary.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/string_list.h"

namespace kovra {
namespace {

TEST(OsSummary, LinesAndUnits) {
  EXPECT_EQ(MegabytesText(8589934592ull), "8192");
  EXPECT_EQ(MegabytesText(1048575), "0");
  EXPECT_EQ(GigabytesText(500107862016ll), "465.76");
  EXPECT_EQ(GigabytesText(0), "0.00");

  OsSummaryFacts f;
  f.display_name = "Windows 10 x64";
  f.major = 10;
  f.build = 19045;
  f.system_language = "English";
  f.has_computer_name = true;
  f.computer_name = "KOVRA-PC";
  f.wow64 = true;
  const uint64_t gib = 1ull << 30;
  const uint64_t memory[7] = {8 * gib, 3 * gib, 2 * gib, 1 * gib, 0, 12 * gib, 1048575};
  std::copy(std::begin(memory), std::end(memory), f.memory);
  f.system_drive = "C:";
  f.has_disk = true;
  f.disk_total = 500107862016ll;
  f.disk_free_to_caller = 107374182400ll;
  f.session_user = "Alice";
  f.process_user = "Admin";
  f.integrity_rid = 0x2000;
  EXPECT_EQ(RenderOsSummary(f), (StringList{StarRule(),
                                            "OS Name:\tWindows 10 x64",
                                            "OS Version:\t10.0.19045",
                                            "SP Version:\t",
                                            "system lan:\tEnglish",
                                            "ComputerName:\tKOVRA-PC",
                                            "OS Type:\t64bit",
                                            "Memory Size:\t8192 MB",
                                            "Free Size:\t3072 MB",
                                            "VMemory Size:\t2048 MB",
                                            "VFree Size:\t1024 MB",
                                            "VFreeExt Size:\t0 MB",
                                            "PF Size:\t12288 MB",
                                            "PF Free:\t0 MB",
                                            "System Drive:\tC:",
                                            "Total Space:\t465.76 GB",
                                            "Free Space:\t100.00 GB",
                                            "Cur Users:\tAlice[Admin]",
                                            "User Level:\t2000",
                                            ""}));

  // No computer name, a failed disk query, nobody logged on, no explorer.
  f.has_computer_name = false;
  f.has_disk = false;
  f.session_user.clear();
  f.integrity_rid = 0;
  f.wow64 = false;
  const StringList lines = RenderOsSummary(f);
  ASSERT_EQ(lines.size(), 17u);
  EXPECT_EQ(lines[5], "OS Type:\t32bit");
  EXPECT_EQ(lines[13], "System Drive:\tC:");
  EXPECT_EQ(lines[14], "Cur Users:\t[Admin]");
  EXPECT_EQ(lines[15], "User Level:\t0000");
  f.system_drive.clear();
  EXPECT_EQ(RenderOsSummary(f).size(), 16u);
  f.integrity_rid = 0x12345;
  EXPECT_EQ(RenderOsSummary(f)[14], "User Level:\t12345");
}

TEST(OsSummary, NameTableRowByRow) {
  struct Row {
    unsigned platform, major, minor, build, type;
    int row;
  } const rows[] = {
      {1, 3, 0, 0, 1, 0},
      {1, 4, 0, 950, 1, 1},
      {1, 4, 0, 1111, 1, 2},
      {1, 4, 10, 1998, 1, 3},
      {1, 4, 10, 2222, 1, 4},
      {1, 4, 10, 3000, 1, 5},
      {1, 4, 90, 3000, 1, 5},
      {1, 4, 91, 0, 1, 6},
      {1, 5, 0, 0, 1, 6},
      {2, 3, 51, 0, 1, 7},
      {2, 4, 0, 0, 1, 8},
      {2, 5, 0, 0, 1, 9},
      {2, 5, 1, 0, 1, 10},
      {2, 5, 2, 0, 1, 10},
      {2, 5, 2, 0, 3, 11},
      {2, 6, 0, 0, 1, 12},
      {2, 6, 0, 0, 3, 13},
      {2, 6, 1, 0, 1, 14},
      {2, 6, 1, 0, 2, 15},
      {2, 6, 2, 0, 1, 16},
      {2, 6, 2, 0, 3, 17},
      {2, 6, 3, 0, 1, 18},
      {2, 6, 3, 0, 3, 19},
      {2, 6, 4, 0, 1, 21},
      {2, 10, 0, 0, 3, 20},
      {2, 7, 0, 0, 1, 21},
      {2, 11, 0, 0, 1, 21},
      {0, 10, 0, 0, 1, 0},
      {1, 4, 10, 0x10000 | 1998, 1, 3},
  };
  for (const Row& r : rows) {
    OsNameFacts f;
    f.platform = r.platform;
    f.major = r.major;
    f.minor = r.minor;
    f.build = r.build;
    f.product_type = r.type;
    EXPECT_EQ(OsNameRow(f), r.row) << r.platform << " " << r.major << "." << r.minor;
  }
  const char* names[22] = {"None",          "Windows 95",    "Windows 95 OSR-2", "Windows 98",
                           "Windows 98 SE", "Windows ME",    "Windows 9x New",   "Windows NT 3",
                           "Windows NT 4",  "Windows 2000",  "Windows XP",       "Windows 2003",
                           "Windows Vista", "Windows 2008",  "Windows 7",        "Windows 2008 R2",
                           "Windows 8",     "Windows 2012",  "Windows 8.1",      "Windows 2012 R2",
                           "Windows 10",    "Windows NT New"};
  for (int row = 0; row < 22; ++row)
    EXPECT_STREQ(OsNameOfRow(row), names[row]);

  OsNameFacts seven;
  seven.major = 6;
  seven.minor = 1;
  seven.x64 = true;
  seven.service_pack = "Service Pack 1";
  EXPECT_EQ(OsDisplayName(seven), "Windows 7 x64 Service Pack 1");
  OsNameFacts ten;
  ten.major = 10;
  ten.x64 = true;
  EXPECT_EQ(OsDisplayName(ten), "Windows 10 x64");
  OsNameFacts xp;
  xp.major = 5;
  xp.minor = 1;
  xp.server_r2 = xp.tablet_pc = xp.starter = xp.media_center = true;
  EXPECT_EQ(OsDisplayName(xp), "Windows XP R2 Tablet PC Starter Media Center");
  OsNameFacts vista = xp;
  vista.major = 6;
  vista.minor = 0;
  EXPECT_EQ(OsDisplayName(vista), "Windows Vista R2 Tablet PC Starter");  // no Media Center
  OsNameFacts me;
  me.platform = 1;
  me.major = 4;
  me.minor = 90;
  me.x64 = true;
  me.service_pack = " A ";
  EXPECT_EQ(OsDisplayName(me), "Windows ME");
}

}  // namespace
}  // namespace kovra
