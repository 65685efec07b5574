#include <gtest/gtest.h>

#include "base/string_list.h"
#include "collectors/system/os_summary.h"
#include "collectors/system/process_table.h"

namespace kovra {
namespace {

TEST(ProcessTable, TheTwoIllustrationRows) {
  ProcessRow idle;
  idle.name = "Idle";
  idle.threads = 4;
  ProcessRow explorer;
  explorer.name = "explorer.exe";
  explorer.folder = "C:\\Windows";
  explorer.process_id = 6700;
  explorer.session_id = 1;
  explorer.gdi_objects = 345;
  explorer.user_objects = 210;
  explorer.handles = 1234;
  explorer.threads = 45;
  explorer.working_set_mb = 85;
  explorer.private_mb = 40;
  explorer.priority_class = 32;
  explorer.age_ms = (2 * 60 + 5) * 60000;
  EXPECT_EQ(LayoutProcessRows({idle, explorer}, "."),
            "0000 Idle         0 0   0   0  , 4|  0M, 0M| ,0 ms          \r\n"
            "1a2c explorer.exe 1 345 210 1234,45| 85M,40M| normal,2:05 h C:\\Windows");
  // All sessions 0: no session column.
  explorer.session_id = 0;
  EXPECT_EQ(LayoutProcessRows({idle, explorer}, "."),
            "0000 Idle         0   0   0  , 4|  0M, 0M| ,0 ms          \r\n"
            "1a2c explorer.exe 345 210 1234,45| 85M,40M| normal,2:05 h C:\\Windows");
  // A process that could not be opened: its system name, no folder, zeros, no priority.
  ProcessRow closed;
  closed.name = "csrss.exe";
  closed.process_id = 0x1f4;
  closed.handles = 300;
  closed.threads = 9;
  EXPECT_EQ(LayoutProcessRows({closed}, ","), "1f4 csrss.exe 0 0 300, 9|  0M, 0M| ,0 ms ");
  EXPECT_EQ(ProcessTableText({}, ".", "v", "a", "d"),
            "\r\n\r\nVirtual memory:v\r\nGlobalAtomInfo:a\r\nDesktopHeap:d\r\n");
}

TEST(ProcessTable, NumbersDurationsAndPriorities) {
  EXPECT_EQ(FormatDuration(999, "."), "999 ms");
  EXPECT_EQ(FormatDuration(1500, "."), "1.50 s");
  EXPECT_EQ(FormatDuration(1500, ","), "1,50 s");
  EXPECT_EQ(FormatDuration(1005, "."), "1.00 s");
  EXPECT_EQ(FormatDuration(60000, "."), "1:00 min");
  EXPECT_EQ(FormatDuration(125000, "."), "2:05 min");
  EXPECT_EQ(FormatDuration(3600000, "."), "1:00 h");
  EXPECT_EQ(FormatDuration(7500000, "."), "2:05 h");

  EXPECT_EQ(FormatByteSize(0, "."), "0 Bytes");
  EXPECT_EQ(FormatByteSize(512, "."), "512 Bytes");
  EXPECT_EQ(FormatByteSize(1536, "."), "1.50 KB");
  EXPECT_EQ(FormatByteSize(1024, ","), "1,00 KB");
  EXPECT_EQ(FormatByteSize(5 * 1048576 + 524288, "."), "5.50 MB");
  EXPECT_EQ(FormatByteSize(500107862016ull, "."), "465.76 GB");

  EXPECT_EQ(PriorityName(0), "");
  EXPECT_EQ(PriorityName(-1), "");
  EXPECT_EQ(PriorityName(32), "normal");
  EXPECT_EQ(PriorityName(64), "idle");
  EXPECT_EQ(PriorityName(128), "high");
  EXPECT_EQ(PriorityName(256), "realtime");
  EXPECT_EQ(PriorityName(16384), "below normal");
  EXPECT_EQ(PriorityName(32768), "above normal");
  EXPECT_EQ(PriorityName(0x1000), "$1000");

  EXPECT_EQ(VirtualMemoryText(0, 0, 0, 0, 0, 0, "."),
            "0/0 MB(free/total), PageSize:0/0 MB(free/total), SysDrv:0 Bytes/0 Bytes");
  EXPECT_EQ(
      VirtualMemoryText(1048576 + 524288, 2147483648u, 524287, 1048576, 512, 500107862016ull, "."),
      "2/2048 MB(free/total), PageSize:0/1 MB(free/total), SysDrv:512 Bytes/465.76 GB");
}

TEST(ProcessTable, TextIsMeasuredInCharacters) {
  // A Cyrillic image name (two bytes a letter) is as wide as its letters: its own row and the
  // others stay aligned.
  ProcessRow cyrillic;
  cyrillic.name = "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2.exe";  // 8 characters, 12 bytes
  cyrillic.process_id = 0x10;
  ProcessRow plain;
  plain.name = "a.exe";
  plain.process_id = 0x20;
  EXPECT_EQ(LayoutProcessRows({cyrillic, plain}, "."),
            "10 \xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2.exe 0 0 0  , 0|  0M, 0M| ,0 ms \r\n"
            "20 a.exe    0 0 0  , 0|  0M, 0M| ,0 ms ");
  // A separator of more than one byte is pasted whole.
  EXPECT_EQ(FormatDuration(1500, "\xD9\xAB"),
            "1\xD9\xAB"
            "50 s");
  EXPECT_EQ(FormatByteSize(1536, "\xD9\xAB"),
            "1\xD9\xAB"
            "50 KB");

  // Atom groups by their first six characters: two Cyrillic names that share six bytes but not
  // six letters are two groups; names that share six letters are one.
  AtomGroups atoms;
  for (const char* n : {"\xD0\x90\xD0\x91\xD0\x92\xD0\x93\xD0\x94\xD0\x95-1",
                        "\xD0\x90\xD0\x91\xD0\x92\xD0\x93\xD0\x94\xD0\x95-2",
                        "\xD0\x90\xD0\x91\xD0\x92\xD0\x98\xD0\x99\xD0\x9A"})
    atoms.Add(n);
  EXPECT_EQ(atoms.LargestText(),
            ", Max(2):\xD0\x90\xD0\x91\xD0\x92\xD0\x93\xD0\x94\xD0\x95-1"
            ", Max(1):\xD0\x90\xD0\x91\xD0\x92\xD0\x98\xD0\x99\xD0\x9A");
}

TEST(ProcessTable, PathsAgesAndAtoms) {
  std::string folder, name;
  SplitImagePath(
      RewriteImagePath("\\??\\C:\\Windows\\System32\\csrss.exe", "C:\\WINDOWS\\system32"), folder,
      name);
  EXPECT_EQ(folder, "C:\\Windows\\System32");
  EXPECT_EQ(name, "csrss.exe");
  EXPECT_EQ(RewriteImagePath("\\systemroot\\system32\\smss.exe", "C:\\Windows\\system32"),
            "C:\\Windows\\system32\\smss.exe");
  EXPECT_EQ(RewriteImagePath("\\??X\\a", "S"), "\\??X\\a");
  SplitImagePath("System", folder, name);
  EXPECT_EQ(folder, "");
  EXPECT_EQ(name, "System");

  const std::vector<std::pair<std::string, std::string>> drives = {
      {"C:", "\\Device\\HarddiskVolume1"}, {"D:", "\\Device\\HarddiskVolume10"}};
  EXPECT_EQ(DevicePathToDrivePath("\\Device\\HarddiskVolume1\\Windows\\x.exe", drives),
            "C:\\Windows\\x.exe");
  // The shorter device name listed first also matches the longer one.
  EXPECT_EQ(DevicePathToDrivePath("\\Device\\HarddiskVolume10\\y.exe", drives), "C:0\\y.exe");
  EXPECT_EQ(DevicePathToDrivePath("\\Device\\Floppy0\\z.exe", drives), "");

  const uint64_t kMs = 10000;
  EXPECT_EQ(AgeFromFileTimeDifference(0), 0u);
  EXPECT_EQ(AgeFromFileTimeDifference(7500000 * kMs), 7500000u);
  EXPECT_EQ(AgeFromFileTimeDifference((30ull * 86400000 + 5) * kMs), 30u * 86400000 + 5);
  EXPECT_EQ(AgeFromFileTimeDifference(31ull * 86400000 * kMs), 0u);  // a whole month is lost
  EXPECT_EQ(AgeFromFileTimeDifference((59ull * 86400000 + 1000) * kMs), 1000u);  // 1601-03-01

  AtomGroups atoms;
  EXPECT_EQ(atoms.LargestText(), "");
  for (const char* n :
       {"Native1", "OleDropTargetInterface", "Native2", "OleDropTargetMarshal", "Single"})
    atoms.Add(n);
  // Two groups of two tie: the first seen is named first, with its first full name.
  EXPECT_EQ(atoms.LargestText(), ", Max(2):Native1, Max(2):OleDropTargetInterface");
  AtomGroups one;
  one.Add("Only");
  EXPECT_EQ(one.LargestText(), ", Max(1):Only");
}

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
