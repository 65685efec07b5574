#include "platform/console_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kovra {
namespace {

StringList Split(std::initializer_list<std::string> chunks, bool finish = true) {
  ConsoleLineSplitter splitter;
  StringList lines;
  for (const std::string& c : chunks)
    splitter.Feed(c.data(), c.size(), lines);
  if (finish)
    splitter.Finish(lines);
  return lines;
}

TEST(ConsoleLines, SplitsAtCarriageReturnsAcrossChunks) {
  EXPECT_EQ(Split({"a\r\nb\r\n"}), (StringList{"a", "b"}));
  EXPECT_EQ(Split({"a\r\n\r\nb\r\n"}), (StringList{"a", "", "b"}));
  EXPECT_EQ(Split({"a\nb\r\n"}), (StringList{"ab"}));  // a lone line feed is dropped
  EXPECT_EQ(Split({"ab", "c\r", "\nd", "e\r\n"}), (StringList{"abc", "de"}));
  const std::string long_line(1025 * 2 + 7, 'x');
  EXPECT_EQ(Split({long_line.substr(0, 1025), long_line.substr(1025, 1025),
                   long_line.substr(2050) + "\r\n"}),
            (StringList{long_line}));
  // Output without a final line break keeps its last line.
  EXPECT_EQ(Split({"first\r\nlast"}), (StringList{"first", "last"}));
  EXPECT_EQ(Split({"first\r\nlast"}, false), (StringList{"first"}));
  EXPECT_EQ(Split({"only\r\n"}), (StringList{"only"}));
  EXPECT_EQ(Split({""}), StringList{});
}

TEST(ConsoleLines, RootTaskNamesFromTheCsvList) {
  const StringList csv = {
      "\"TaskName\",\"Next Run Time\",\"Status\"",
      "\"\\BackupJob\",\"12/10/2026 2:00:00 AM\",\"Ready\"",
      "\"\\Microsoft\\Windows\\Defrag\\ScheduledDefrag\",\"N/A\",\"Ready\"",
      "\"\\backupjob\",\"N/A\",\"Ready\"",
      "\"TaskName\",\"Next Run Time\",\"Status\"",
      "\"\\50% & more\",\"N/A\",\"Ready\"",
      "\"\\no closing quote",
      "",
  };
  StringList names = {"Existing"};
  AddRootTaskNames(csv, names);
  EXPECT_EQ(names, (StringList{"Existing", "BackupJob", "50% & more"}));
  // The first line is the header even when it looks like a task.
  StringList only_first;
  AddRootTaskNames({"\"\\Task\",\"N/A\""}, only_first);
  EXPECT_TRUE(only_first.empty());
}

TEST(ConsoleLines, CommandLinesAndNames) {
  // Programs by their full paths, quoted; inside cmd.exe the whole command quoted once more.
  const std::string schtasks = "C:\\Windows\\system32\\schtasks.exe";
  EXPECT_EQ(TaskQueryCommand(schtasks, "50% & more"),
            "\"C:\\Windows\\system32\\schtasks.exe\" /query /V /TN \"50% & more\" /FO list");
  EXPECT_EQ(CommandParameters(schtasks, "/query /FO csv"),
            "/c \"\"C:\\Windows\\system32\\schtasks.exe\" /query /FO csv\"");
  EXPECT_EQ(RedirectParameters("C:\\W\\systeminfo.exe", "", "C:\\T\\s.txt"),
            "/c \"\"C:\\W\\systeminfo.exe\">\"C:\\T\\s.txt\"\"");
  EXPECT_TRUE(IsPassableTaskName("50% & more ^ | < > ( ) !"));
  EXPECT_FALSE(IsPassableTaskName("x\" & calc & \""));
  EXPECT_FALSE(IsPassableTaskName("folder\\task"));
  EXPECT_FALSE(IsPassableTaskName("line\nbreak"));
  EXPECT_FALSE(IsPassableTaskName(""));
  // reg's overwrite switch from Vista (6) on; XP's reg (5) fails on it, and an unknown version
  // (0) goes without it too: the file is deleted before every export.
  const std::string head =
      "/c \"\"C:\\W\\reg.exe\" export \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Kovra\" \"C:\\T\\a.reg\"";
  for (const auto& [major, tail] : std::vector<std::pair<unsigned, std::string>>{
           {5, "\""}, {0, "\""}, {6, " /y\""}, {10, " /y\""}}) {
    EXPECT_EQ(RegExportParameters("C:\\W\\reg.exe", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Kovra",
                                  "C:\\T\\a.reg", major),
              head + tail)
        << major;
  }
  EXPECT_EQ(SystemInfoTempFileName("C:\\T\\", 2026, 12, 9, 8, 5, 3, 7),
            "C:\\T\\SystemInfo_20261209080503007.txt");
}

TEST(ConsoleLines, TextFileLines) {
  EXPECT_EQ(SplitTextLines("a\r\nb\rc\nd"), (StringList{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitTextLines("a\r\n\r\n"), (StringList{"a", ""}));
  EXPECT_EQ(SplitTextLines(""), StringList{});
}

}  // namespace
}  // namespace kovra
