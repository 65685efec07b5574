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

TEST(ConsoleLines, ArgumentsReadBackUnchanged) {
  // What CommandLineToArgvW gives back for each quoted form is the argument itself.
  const struct {
    const char* argument;
    const char* quoted;
  } cases[] = {
      {"/query", "/query"},
      {"", "\"\""},
      {"50% & more", "\"50% & more\""},
      {"100%TEMP%", "100%TEMP%"},  // nothing expands it: no quotes needed
      {"x^|y<z>(w)!", "x^|y<z>(w)!"},
      {"tab\there", "\"tab\there\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"C:\\a b\\", "\"C:\\a b\\\\\""},        // the closing quote keeps its meaning
      {"a\\\\\"b c", "\"a\\\\\\\\\\\"b c\""},  // two backslashes before a quote: 4 + 1
      {"C:\\no\\blank\\", "C:\\no\\blank\\"},  // unquoted, backslashes stay literal
      {"a\\b c", "\"a\\b c\""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(QuoteArgument(c.argument), c.quoted) << c.argument;
}

TEST(ConsoleLines, CommandLinesOfThePrograms) {
  const std::string schtasks = "C:\\Windows\\system32\\schtasks.exe";
  const struct {
    std::string program;
    StringList arguments;
    std::string line;
  } cases[] = {
      {schtasks, TaskQueryArguments("50% & more"),
       "\"C:\\Windows\\system32\\schtasks.exe\" /query /V /TN \"50% & more\" /FO list"},
      {schtasks, TaskQueryArguments("BackupJob"),
       "\"C:\\Windows\\system32\\schtasks.exe\" /query /V /TN BackupJob /FO list"},
      {schtasks, TaskQueryArguments("a & echo x>y & rem "),
       "\"C:\\Windows\\system32\\schtasks.exe\" /query /V /TN \"a & echo x>y & rem \" /FO list"},
      {schtasks, TaskListArguments(false),
       "\"C:\\Windows\\system32\\schtasks.exe\" /query /FO csv"},
      {schtasks, TaskListArguments(true),
       "\"C:\\Windows\\system32\\schtasks.exe\" /query /V /FO list"},
      {"C:\\W\\reg.exe", RegExportArguments("HKEY_LOCAL_MACHINE\\SOFTWARE\\Kovra", "C:\\T\\a.reg"),
       "\"C:\\W\\reg.exe\" export HKEY_LOCAL_MACHINE\\SOFTWARE\\Kovra C:\\T\\a.reg"},
      {"C:\\W\\reg.exe",
       RegExportArguments("HKEY_LOCAL_MACHINE\\SOFTWARE\\Kovra Nimbrel", "C:\\50%x%\\a b.reg"),
       "\"C:\\W\\reg.exe\" export \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Kovra Nimbrel\" "
       "\"C:\\50%x%\\a b.reg\""},
      {"C:\\Program Files\\x.exe", {}, "\"C:\\Program Files\\x.exe\""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(BuildCommandLine(c.program, c.arguments), c.line);
}

TEST(ConsoleLines, TaskNamesAndFileNames) {
  EXPECT_TRUE(IsPassableTaskName("50% & more ^ | < > ( ) !"));
  EXPECT_FALSE(IsPassableTaskName("x\" & calc & \""));
  EXPECT_FALSE(IsPassableTaskName("folder\\task"));
  EXPECT_FALSE(IsPassableTaskName("line\nbreak"));
  EXPECT_FALSE(IsPassableTaskName(""));
  EXPECT_EQ(SystemInfoTempFileName("C:\\T\\", 2026, 12, 9, 8, 5, 3, 7),
            "C:\\T\\SystemInfo_20261209080503007.txt");
}

TEST(ChildEnvironment, EntriesFromTheSystemSorted) {
  ChildEnvironmentFacts wow64;
  wow64.windows_folder = "C:\\Windows\\";
  wow64.system_folder = "C:\\Windows\\system32";
  wow64.temp_folder = "C:\\Windows\\Temp\\KovraRun-1a2b\\";
  wow64.processor_architecture = "x86";
  wow64.native_architecture = "AMD64";
  wow64.processor_identifier = "Intel64 Family 6 Model 158 Stepping 10, GenuineIntel";
  wow64.processor_level = 6;
  wow64.processor_revision = 0x9e0a;
  wow64.processors = 8;
  ChildEnvironmentFacts native = wow64;
  native.windows_folder = "D:\\WINNT";
  native.system_folder = "D:\\WINNT\\System32\\";
  native.temp_folder = "E:\\";
  native.processor_architecture = native.native_architecture = "AMD64";
  native.processor_identifier.clear();
  native.processor_revision = 0x3;
  const struct {
    const char* name;
    ChildEnvironmentFacts facts;
    StringList entries;
  } cases[] = {
      {"32-bit on 64-bit Windows",
       wow64,
       {
           "ComSpec=C:\\Windows\\system32\\cmd.exe",
           "NUMBER_OF_PROCESSORS=8",
           "OS=Windows_NT",
           "PATH=C:\\Windows\\system32;C:\\Windows;C:\\Windows\\system32\\Wbem",
           "PATHEXT=.COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC",
           "PROCESSOR_ARCHITECTURE=x86",
           "PROCESSOR_ARCHITEW6432=AMD64",
           "PROCESSOR_IDENTIFIER=Intel64 Family 6 Model 158 Stepping 10, GenuineIntel",
           "PROCESSOR_LEVEL=6",
           "PROCESSOR_REVISION=9e0a",
           "SystemDrive=C:",
           "SystemRoot=C:\\Windows",
           "TEMP=C:\\Windows\\Temp\\KovraRun-1a2b",
           "TMP=C:\\Windows\\Temp\\KovraRun-1a2b",
           "windir=C:\\Windows",
       }},
      {"native, another drive, a root as TEMP, no identifier",
       native,
       {
           "ComSpec=D:\\WINNT\\System32\\cmd.exe",
           "NUMBER_OF_PROCESSORS=8",
           "OS=Windows_NT",
           "PATH=D:\\WINNT\\System32;D:\\WINNT;D:\\WINNT\\System32\\Wbem",
           "PATHEXT=.COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC",
           "PROCESSOR_ARCHITECTURE=AMD64",
           "PROCESSOR_LEVEL=6",
           "PROCESSOR_REVISION=0003",
           "SystemDrive=D:",
           "SystemRoot=D:\\WINNT",
           "TEMP=E:\\",
           "TMP=E:\\",
           "windir=D:\\WINNT",
       }},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ChildEnvironmentEntries(c.facts), c.entries) << c.name;
  EXPECT_EQ(ProcessorArchitectureName(0), "x86");
  EXPECT_EQ(ProcessorArchitectureName(9), "AMD64");
  EXPECT_EQ(ProcessorArchitectureName(12), "ARM64");
  EXPECT_EQ(ProcessorArchitectureName(77), "");
}

TEST(ChildEnvironment, BlockIsUtf16WithNulEnds) {
  const struct {
    StringList entries;
    std::u16string block;
  } cases[] = {
      {{"A=1", "TEMP=C:\\\xC3\xA9"}, std::u16string(u"A=1\0TEMP=C:\\\u00e9\0\0", 15)},
      {{}, std::u16string(u"\0\0", 2)},
  };
  for (const auto& c : cases)
    EXPECT_EQ(EnvironmentBlock(c.entries), c.block);
}

TEST(ConsoleLines, TextFileLines) {
  EXPECT_EQ(SplitTextLines("a\r\nb\rc\nd"), (StringList{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitTextLines("a\r\n\r\n"), (StringList{"a", ""}));
  EXPECT_EQ(SplitTextLines(""), StringList{});
}

}  // namespace
}  // namespace kovra
