#include "collectors/system/process_table.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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
  const struct {
    uint32_t ms;
    const char *separator, *text;
  } durations[] = {{999, ".", "999 ms"},     {1500, ".", "1.50 s"},    {1500, ",", "1,50 s"},
                   {1005, ".", "1.00 s"},    {60000, ".", "1:00 min"}, {125000, ".", "2:05 min"},
                   {3600000, ".", "1:00 h"}, {7500000, ".", "2:05 h"}};
  for (const auto& c : durations) {
    SCOPED_TRACE(testing::Message() << c.ms << " ms, separator " << c.separator);
    EXPECT_EQ(FormatDuration(c.ms, c.separator), c.text);
  }

  const struct {
    uint64_t bytes;
    const char *separator, *text;
  } sizes[] = {{0, ".", "0 Bytes"},
               {512, ".", "512 Bytes"},
               {1536, ".", "1.50 KB"},
               {1024, ",", "1,00 KB"},
               {5 * 1048576 + 524288, ".", "5.50 MB"},
               {500107862016ull, ".", "465.76 GB"}};
  for (const auto& c : sizes) {
    SCOPED_TRACE(testing::Message() << c.bytes << " bytes, separator " << c.separator);
    EXPECT_EQ(FormatByteSize(c.bytes, c.separator), c.text);
  }

  const struct {
    int32_t priority_class;
    const char* name;
  } priorities[] = {
      {0, ""},          {-1, ""},          {32, "normal"},          {64, "idle"},
      {128, "high"},    {256, "realtime"}, {16384, "below normal"}, {32768, "above normal"},
      {0x1000, "$1000"}};
  for (const auto& c : priorities) {
    SCOPED_TRACE(c.priority_class);
    EXPECT_EQ(PriorityName(c.priority_class), c.name);
  }

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

}  // namespace
}  // namespace kovra
