// Console capture against real processes under Wine: our scriptable stand-in, the stand-ins
// over schtasks.exe and systeminfo.exe (installed by the test fixture), and the real reg.exe.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "base/string_list.h"
#include "base/text.h"
#include "collectors/common/shell_exports_win.h"
#include "collectors/system/scheduled_tasks_win.h"
#include "collectors/system/system_info_win.h"
#include "platform/console_capture_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/session_user_win.h"
#include "platform/win_text_win.h"
#include "test_run_log_win.h"

namespace kovra::win {
namespace {

std::string Fake() {
  std::string quoted = "\"";
  quoted += ExeFolder();
  quoted += "fake_console.exe\"";
  return quoted;
}

// A fresh folder for the stand-in's scripts and log, named to it through KOVRA_FAKE_DIR.
class FakeDir {
 public:
  explicit FakeDir(const std::string& name)
      : dir_(TempFolder() + "kovra-fake-" + std::to_string(::GetCurrentProcessId()) + "-" + name) {
    ShellRemoveFolder(dir_);
    EXPECT_TRUE(ForceDirectories(dir_));
    ::SetEnvironmentVariableA("KOVRA_FAKE_DIR", dir_.c_str());
  }
  ~FakeDir() {
    ::SetEnvironmentVariableA("KOVRA_FAKE_DIR", nullptr);
    ShellRemoveFolder(dir_);
  }
  std::string Path(const std::string& leaf) const { return dir_ + "\\" + leaf; }
  void Put(const std::string& leaf, const std::string& bytes) const {
    WriteFileBytes(Path(leaf), bytes);
  }
  StringList Log() const {
    StringList lines;
    std::ifstream in(Path("log.txt"));
    std::string line;
    while (std::getline(in, line))
      lines.push_back(line);
    return lines;
  }

 private:
  std::string dir_;
};

size_t CountProcesses(const std::string& image) {
  size_t n = 0;
  ForEachProcess([&](const PROCESSENTRY32W& e) {
    n += SameTextAscii(ProcessImageName(e), image);
    return true;
  });
  return n;
}

// The cancellation of the tests that are not cancelled.
const RunCancellation never;

bool Contains(const StringList& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

TEST(ConsoleCapture, LinesFromChunksWrittenWithPauses) {
  FakeDir fake("script");
  // a CR LF, an empty line, a lone LF inside a line, a line split over two writes, and a last
  // line without a break.
  fake.Put("script.txt",
           "w 610d0a\ns 200\nw 0d0a\nw 62\ns 200\nw 0a63\ns 150\nw 0d\ns 100\nw 0a\n"
           "w 6c6f6e67\ns 200\nw 6c696e650d0a\nw e9\n");
  StringList out = {"kept"};
  EXPECT_EQ(
      CaptureConsoleOutput(Fake() + " script \"" + fake.Path("script.txt") + "\"", out, never),
      CaptureEnd::kEnded);
  EXPECT_EQ(out, (StringList{"kept", "a", "", "bc", "longline", "\xC3\xA9"}));
}

TEST(ConsoleCapture, HungProgramAndItsChildAreEndedAtTheLimit) {
  const size_t before = CountProcesses("fake_console.exe");
  StringList out;
  const ULONGLONG start = ::GetTickCount64();
  EXPECT_EQ(CaptureConsoleOutput(Fake() + " hang-child", out, never, 1500), CaptureEnd::kTimeLimit);
  const ULONGLONG took = ::GetTickCount64() - start;
  EXPECT_LT(took, 15000u);
  EXPECT_TRUE(Contains(out, "started and hanging"));
  for (int i = 0; i < 50 && CountProcesses("fake_console.exe") > before; ++i)
    ::Sleep(100);
  EXPECT_EQ(CountProcesses("fake_console.exe"), before) << "the hanging child survived";
}

// A cancellation asked for from another thread while the program hangs ends it (and its child)
// within moments, long before its time limit, and keeps what it wrote.
TEST(ConsoleCapture, CancellingARunningCaptureEndsItsProgramPromptly) {
  const size_t before = CountProcesses("fake_console.exe");
  RunCancellation cancel;
  std::thread requester([&cancel] {
    ::Sleep(1000);
    cancel.Request();
  });
  StringList out;
  const ULONGLONG start = ::GetTickCount64();
  EXPECT_EQ(CaptureConsoleOutput(Fake() + " hang-child", out, cancel, 60000),
            CaptureEnd::kCancelled);
  const ULONGLONG took = ::GetTickCount64() - start;
  requester.join();
  EXPECT_LT(took, 10000u) << "the capture waited for its time limit";
  EXPECT_TRUE(Contains(out, "started and hanging"));
  for (int i = 0; i < 50 && CountProcesses("fake_console.exe") > before; ++i)
    ::Sleep(100);
  EXPECT_EQ(CountProcesses("fake_console.exe"), before) << "the hanging child survived";
  // Once cancelled, a list of captures starts none.
  StringList more;
  EXPECT_TRUE(CaptureConsoleOutputs({Fake() + " hang-child"}, more, cancel, 60000, 2).empty());
  EXPECT_TRUE(more.empty());
}

TEST(ConsoleCapture, AProgramThatNeverStopsWritingIsEndedAtItsBounds) {
  const size_t before = CountProcesses("fake_console.exe");
  StringList out;
  const DWORD start = ::GetTickCount();
  const CaptureEnd end = CaptureConsoleOutput(Fake() + " flood", out, never, 2000);
  EXPECT_TRUE(end == CaptureEnd::kTimeLimit || end == CaptureEnd::kSizeLimit);
  EXPECT_LT(::GetTickCount() - start, 30000u);
  EXPECT_FALSE(out.empty());  // the output so far is kept
  EXPECT_LE(out.size(), 40000u);
  for (int i = 0; i < 50 && CountProcesses("fake_console.exe") > before; ++i)
    ::Sleep(100);
  EXPECT_EQ(CountProcesses("fake_console.exe"), before);
}

TEST(ConsoleCapture, AProgramThatCannotStartIsAnError) {
  StringList out;
  try {
    CaptureConsoleOutput("no-such-kovra-program.exe /x", out, never);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_FALSE(std::string(e.what()).empty());
  }
  EXPECT_TRUE(out.empty());
}

TEST(ScheduledTasks, RootTasksQueriedOnceEach) {
  FakeDir fake("tasks");
  StringList out;
  EnumScheduledTasks(out, TestRunLog().Log(), never);
  const StringList log = fake.Log();
  ASSERT_EQ(log.size(), 3u) << "one list and two queries";
  EXPECT_NE(log[0].find("/query /FO csv"), std::string::npos);
  // The queries run side by side: each is logged, in either order.
  EXPECT_TRUE(Contains(log, "/TN \"BackupJob\""));
  EXPECT_TRUE(Contains(log,
                       "/TN \"\xDC"
                       "berpr\xFC"
                       "fung\""));  // ANSI bytes
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
  SaveScheduledTasks(path, TestRunLog().Log(), never);
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
  EnumScheduledTasks(out, TestRunLog().Log(), never);
  const StringList log = fake.Log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_TRUE(Contains(log, "/TN \"a & echo pwned>" + pwned + " & rem \" /FO list"));
  EXPECT_TRUE(Contains(log, "/TN \"100%TEMP%\" /FO list"));
  EXPECT_TRUE(Contains(log, "/TN \"x^|y<z>(w)!\" /FO list"));
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
  EnumScheduledTasks(out, TestRunLog().Log(), never);

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
    EnumScheduledTasks(out, TestRunLog().Log(), never);
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
  EnumScheduledTasks(out, TestRunLog().Log(), never);
  const StringList log = fake.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_NE(log[2].find("/TN \"T1\""), std::string::npos) << log[2];
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
  EXPECT_ANY_THROW(EnumScheduledTasks(out, TestRunLog().Log(), never));
  EXPECT_EQ(CodePageNow(), "absent");
  ASSERT_TRUE(::MoveFileA((schtasks + ".moved").c_str(), schtasks.c_str()))
      << "the stand-in did not move itself";
}

size_t SystemInfoLeftovers(bool remove) {
  size_t n = 0;
  WIN32_FIND_DATAW d;
  const std::wstring temp = Widen(TempFolder());
  UniqueFindHandle f(::FindFirstFileW((temp + L"SystemInfo_*.txt").c_str(), &d));
  if (f) {
    do {
      ++n;
      if (remove)
        ::DeleteFileW((temp + d.cFileName).c_str());
    } while (::FindNextFileW(f.get(), &d));
  }
  return n;
}

TEST(SystemInfo, HeaderThenTheProgramsOutput) {
  FakeDir fake("sysinfo");
  SystemInfoLeftovers(true);  // from runs of the tool itself
  TestRunLog run;
  const StringList info = CaptureSystemInfo(run.log, never);
  EXPECT_TRUE(run.Notes().empty());
  ASSERT_GE(info.size(), 5u);
  EXPECT_FALSE(info[0].empty());
  EXPECT_EQ(info[1], "");
  EXPECT_EQ(info[2], "===== System =====");
  EXPECT_EQ(info[3], "");
  EXPECT_EQ(info[4], "Host Name:                 KOVRA-PC");
  EXPECT_EQ(info.back(), "                           [02]: KB5032189");
  EXPECT_EQ(SystemInfoLeftovers(false), 0u) << "the temporary file stays";
}

TEST(SystemInfo, AHangingProgramIsEndedAndTheHeaderStays) {
  FakeDir fake("sysinfo-hang");
  fake.Put("hang-systeminfo", "");
  const ULONGLONG start = ::GetTickCount64();
  TestRunLog run;
  const StringList info = CaptureSystemInfo(run.log, never, 2000);
  EXPECT_EQ(run.Notes(),
            StringList{"limit systeminfo: time limit of 2 s reached, kept the output so far"});
  EXPECT_LT(::GetTickCount64() - start, 15000u);
  ASSERT_GE(info.size(), 3u);
  EXPECT_EQ(info[2], "===== System =====");
  for (int i = 0; i < 50 && CountProcesses("systeminfo.exe") > 0; ++i)
    ::Sleep(100);
  EXPECT_EQ(CountProcesses("systeminfo.exe"), 0u);
  EXPECT_EQ(SystemInfoLeftovers(false), 0u) << "the temporary file stays";
}

TEST(SystemInfo, StartedAheadThenCollectedOrDropped) {
  FakeDir fake("sysinfo-ahead");
  fake.Put("systeminfo-delay.txt", "1000");
  {
    TestRunLog run;
    SystemInfoCapture ahead(never);
    ::Sleep(3000);  // other stages at work meanwhile
    const ULONGLONG start = ::GetTickCount64();
    const StringList info = ahead.Collect(run.log);
    EXPECT_LT(::GetTickCount64() - start, 1000u) << "it did not run while we waited";
    ASSERT_GE(info.size(), 5u);
    EXPECT_EQ(info[4], "Host Name:                 KOVRA-PC");
  }
  // A capture dropped while systeminfo still runs ends it and leaves no file.
  fake.Put("systeminfo-delay.txt", "60000");
  { SystemInfoCapture dropped(never); }
  EXPECT_EQ(CountProcesses("systeminfo.exe"), 0u);
  EXPECT_EQ(SystemInfoLeftovers(false), 0u) << "the temporary file stays";
}

class RegExportTest : public ::testing::Test {
 protected:
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\KovraExportTest"); }
};

TEST_F(RegExportTest, OverwritesAnExistingFileAndNeverHangsOnALockedOne) {
  UniqueHkey key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\KovraExportTest", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, key.receive(), nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(key.get(), L"marker", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"exported"), 18);
  const std::string file =
      TempFolder() + "kovra-export-" + std::to_string(::GetCurrentProcessId()) + ".reg";
  // The command line of XP (no overwrite switch: the file is deleted first) and of Vista and
  // later (which overwrites an older file); Wine's reg takes both forms.
  for (const unsigned major : {5u, 6u}) {
    if (major == 5)
      DeleteFilePath(file);
    else
      WriteFileBytes(file, "an older export");
    ASSERT_TRUE(
        RegExportByShell("HKEY_CURRENT_USER\\Software\\KovraExportTest", file, nullptr, major));
    std::string bytes;
    for (int i = 0; i < 100; ++i) {
      bytes = IsFileInUse(file) ? std::string() : ReadFileBytes(file);
      if (bytes.find(std::string("m\0a\0r\0k\0e\0r\0", 12)) != std::string::npos)
        break;
      ::Sleep(100);
    }
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << major;
    EXPECT_NE(bytes.find(std::string("e\0x\0p\0o\0r\0t\0e\0d\0", 16)), std::string::npos) << major;
  }

  {
    UniqueHandle lock(
        ::CreateFileW(Widen(file).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock.valid());
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_TRUE(RegExportByShell("HKEY_CURRENT_USER\\Software\\KovraExportTest", file));
    EXPECT_LT(::GetTickCount64() - start, 5000u);
    for (int i = 0; i < 100 && CountProcesses("reg.exe") > 0; ++i)
      ::Sleep(100);
    EXPECT_EQ(CountProcesses("reg.exe"), 0u) << "reg export still waits";
  }
  DeleteFilePath(file);
}

TEST(FileListings, InUseAndTheTwoWalks) {
  const std::string root = TempFolder() + "kovra-walk-" + std::to_string(::GetCurrentProcessId());
  ShellRemoveFolder(root);
  ASSERT_TRUE(ForceDirectories(root + "\\.svn\\deep"));
  ASSERT_TRUE(ForceDirectories(root + "\\sub"));
  WriteFileBytes(root + "\\plain.txt", "p");
  WriteFileBytes(root + "\\.svn\\entries", "e");
  WriteFileBytes(root + "\\.svn\\deep\\x", "x");
  WriteFileBytes(root + "\\sub\\hidden.txt", "h");
  ::SetFileAttributesW(Widen(root + "\\sub\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);

  EXPECT_TRUE(IsFileInUse(root + "\\missing.txt"));
  EXPECT_FALSE(IsFileInUse(root + "\\plain.txt"));
  {
    UniqueHandle lock(::CreateFileW(Widen(root + "\\plain.txt").c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(IsFileInUse(root + "\\plain.txt"));
  }

  StringList searched;
  SearchFiles(root, searched);
  std::sort(searched.begin(), searched.end());
  EXPECT_EQ(searched, (StringList{root + "\\plain.txt", root + "\\sub\\hidden.txt"}));

  StringList listed;
  ListFilesRecursive(root, listed);
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (StringList{root + "\\.svn\\deep\\x", root + "\\.svn\\entries",
                                root + "\\plain.txt", root + "\\sub\\hidden.txt"}));

  // A folder written with several trailing separators (a registry value can give one): every
  // name whole, a one-character name too.
  WriteFileBytes(root + "\\a", "a");
  StringList many;
  EXPECT_NO_THROW(SearchFiles(root + "\\\\\\", many));
  EXPECT_NE(std::find(many.begin(), many.end(), root + "\\\\\\a"), many.end());
  StringList listed_many;
  EXPECT_NO_THROW(ListFilesRecursive(root + "\\\\", listed_many));
  EXPECT_NE(std::find(listed_many.begin(), listed_many.end(), root + "\\\\\\a"), listed_many.end());
  ShellRemoveFolder(root);
}

}  // namespace
}  // namespace kovra::win
