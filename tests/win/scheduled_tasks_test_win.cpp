// Scheduled tasks through the stand-in over schtasks.exe (installed by the test fixture): the
// root tasks' queries, hostile names, queries side by side and the console code-page override.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "base/string_list.h"
#include "collectors/system/scheduled_tasks_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "test_run_log_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

TEST(ScheduledTasks, RootTasksQueriedOnceEach) {
  FakeDir fake("tasks");
  StringList out;
  EnumScheduledTasks(out, fake.Folder(), TestRunLog().Log(), never);
  const StringList log = fake.Log();
  ASSERT_EQ(log.size(), 3u) << "one list and two queries";
  EXPECT_NE(log[0].find("/query /FO csv"), std::string::npos);
  // The queries run side by side: each is logged, in either order.
  EXPECT_TRUE(Contains(log, "/TN BackupJob /FO list"));
  EXPECT_TRUE(Contains(log,
                       "/TN \xDC"
                       "berpr\xFC"
                       "fung /FO list"));  // ANSI bytes
  EXPECT_FALSE(Contains(log, "ScheduledDefrag"));
  EXPECT_TRUE(Contains(out, "TaskName:                             \\BackupJob"));
  EXPECT_TRUE(Contains(out,
                       "\\\xC3\x9C"
                       "berpr\xC3\xBC"
                       "fung"));                       // decoded to UTF-8
  EXPECT_TRUE(Contains(out, std::string(1100, 'x')));  // a long line whole
  EXPECT_EQ(std::count(out.begin(), out.end(), "Last Result:                          0"), 2);

  // Saved in the ANSI code page without a byte-order mark, CR LF after every line.
  const std::string path = fake.Path("task.txt");
  SaveScheduledTasks(path, fake.Folder(), TestRunLog().Log(), never);
  const std::string bytes = ReadFileBytes(path);
  EXPECT_NE(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_NE(bytes.find("\\\xDC"
                       "berpr\xFC"
                       "fung\r\n"),
            std::string::npos);
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

TEST(ScheduledTasks, HostileNamesRunNothingAndQueryOnlyThemselves) {
  FakeDir fake("hostile");
  // A command interpreter would create this file in the current folder.
  const std::string pwned = "kovra-pwned.txt";
  DeleteFilePath(pwned);
  fake.Put("csv.txt",
           "\"TaskName\",\"Next Run Time\",\"Status\"\r\n"
           "\"\\a & echo pwned>" +
               pwned +
               " & rem \",\"N/A\",\"Ready\"\r\n"
               "\"\\100%TEMP%\",\"N/A\",\"Ready\"\r\n"
               "\"\\x^|y<z>(w)!\",\"N/A\",\"Ready\"\r\n");
  StringList out;
  EnumScheduledTasks(out, fake.Folder(), TestRunLog().Log(), never);
  const StringList log = fake.Log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_TRUE(Contains(log, "/TN \"a & echo pwned>" + pwned + " & rem \" /FO list"));
  EXPECT_TRUE(Contains(log, "/TN 100%TEMP% /FO list"));
  EXPECT_TRUE(Contains(log, "/TN x^|y<z>(w)! /FO list"));
  EXPECT_FALSE(FileExists(pwned));
}

TEST(ScheduledTasks, QueriesRunSeveralAtOnceAndKeepTheListsOrder) {
  FakeDir fake("at-once");
  // The first task takes three times as long as the others, so later ones end first.
  std::string csv = "\"TaskName\",\"Next Run Time\",\"Status\"\r\n";
  StringList names = {"SlowFirst"};
  for (int i = 1; i <= 11; ++i)
    names.push_back("Task" + std::to_string(i));
  for (const std::string& name : names)
    csv += "\"\\" + name + "\",\"N/A\",\"Ready\"\r\n";
  fake.Put("csv.txt", csv);
  fake.Put("query-delay.txt", "400");
  StringList out;
  EnumScheduledTasks(out, fake.Folder(), TestRunLog().Log(), never);

  StringList order;
  for (const std::string& line : out) {
    if (line.rfind("TaskName:", 0) == 0)
      order.push_back(line.substr(line.find('\\') + 1));
  }
  EXPECT_EQ(order, names) << "outputs in the list's order";

  // From the stand-ins' begin and end lines: how many queries ran at the same time.
  int running = 0, most = 0;
  std::ifstream in(fake.Path("queries.txt"));
  std::string word, task;
  size_t ended = 0;
  while (in >> word >> task) {
    running += word == "begin" ? 1 : -1;
    ended += word == "end";
    most = std::max(most, running);
  }
  EXPECT_EQ(ended, names.size());
  EXPECT_GE(most, 2) << "the queries ran one after another";
  EXPECT_LE(most, static_cast<int>(kTaskQueriesAtOnce));
}

// The console code-page value under HKCU, set up and read back by the tests.
constexpr wchar_t kConsoleKey[] = L"Console\\%SystemRoot%_system32_cmd.exe";

void SetCodePage(const DWORD* dword, const wchar_t* text) {
  UniqueHkey key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kConsoleKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.receive(), nullptr),
            ERROR_SUCCESS);
  ::RegDeleteValueW(key.get(), L"CodePage");
  if (dword)
    ::RegSetValueExW(key.get(), L"CodePage", 0, REG_DWORD, reinterpret_cast<const BYTE*>(dword), 4);
  if (text)
    ::RegSetValueExW(key.get(), L"CodePage", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>((wcslen(text) + 1) * 2));
}

std::string CodePageNow() {
  UniqueHkey key;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kConsoleKey, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
    return "nokey";
  DWORD type = 0, size = 64;
  BYTE data[64] = {};
  if (::RegQueryValueExW(key.get(), L"CodePage", nullptr, &type, data, &size) != ERROR_SUCCESS)
    return "absent";
  if (type == REG_DWORD)
    return std::to_string(*reinterpret_cast<DWORD*>(data));
  return "text:" + Narrow(reinterpret_cast<wchar_t*>(data));
}

// The code-page value the tests set is gone after each of them, whatever they left.
class CodePageTest : public ::testing::Test {
 protected:
  void TearDown() override { SetCodePage(nullptr, nullptr); }
};

TEST_F(CodePageTest, OverrideOnlyWhenNoTaskIsFound) {
  const std::string only_sub_folders =
      "\"TaskName\",\"Next Run Time\",\"Status\"\r\n"
      "\"\\Microsoft\\Windows\\Defrag\\ScheduledDefrag\",\"N/A\",\"Ready\"\r\n";
  const DWORD cp437 = 437, cp850 = 850;
  struct Case {
    const char* name;
    const DWORD* dword;
    const wchar_t* text;
    size_t lists;
    const char* seen_second;
    const char* after;
  } const cases[] = {
      {"absent", nullptr, nullptr, 2, "437", "absent"},
      {"already437", &cp437, nullptr, 2, "437", "437"},
      {"other", &cp850, nullptr, 2, "437", "850"},
      {"not-an-integer", nullptr, L"abc", 1, "", "text:abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDir fake(std::string("cp-") + c.name);
    fake.Put("csv.txt", only_sub_folders);
    SetCodePage(c.dword, c.text);
    StringList out;
    EnumScheduledTasks(out, fake.Folder(), TestRunLog().Log(), never);
    const StringList log = fake.Log();
    ASSERT_EQ(log.size(), c.lists);
    if (c.lists == 2) {
      EXPECT_NE(log[1].find("CodePage=" + std::string(c.seen_second)), std::string::npos) << log[1];
    }
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(CodePageNow(), c.after);
  }
}

TEST_F(CodePageTest, DetailQueriesRunWithTheOverrideToo) {
  FakeDir fake("cp-details");
  fake.Put("csv1.txt", "\"TaskName\",\"Next Run Time\",\"Status\"\r\n");
  fake.Put("csv2.txt",
           "\"TaskName\",\"Next Run Time\",\"Status\"\r\n\"\\T1\",\"N/A\",\"Ready\"\r\n");
  SetCodePage(nullptr, nullptr);
  StringList out;
  EnumScheduledTasks(out, fake.Folder(), TestRunLog().Log(), never);
  const StringList log = fake.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_NE(log[2].find("/TN T1 "), std::string::npos) << log[2];
  EXPECT_NE(log[2].find("SchtasksCodePage=437"), std::string::npos) << log[2];
  EXPECT_EQ(CodePageNow(), "absent");
}

TEST_F(CodePageTest, RestoredWhenAQueryFails) {
  FakeDir fake("cp-fail");
  fake.Put("csv1.txt", "\"TaskName\",\"Next Run Time\",\"Status\"\r\n");
  fake.Put("csv2.txt",
           "\"TaskName\",\"Next Run Time\",\"Status\"\r\n\"\\T1\",\"N/A\",\"Ready\"\r\n");
  fake.Put("vanish-after-list2", "");
  const std::string schtasks = "C:\\windows\\system32\\schtasks.exe";  // SysWOW64 for us
  SetCodePage(nullptr, nullptr);
  StringList out;
  EXPECT_ANY_THROW(EnumScheduledTasks(out, fake.Folder(), TestRunLog().Log(), never));
  EXPECT_EQ(CodePageNow(), "absent");
  ASSERT_TRUE(::MoveFileA((schtasks + ".moved").c_str(), schtasks.c_str()))
      << "the stand-in did not move itself";
}
}  // namespace
}  // namespace kovra::win
