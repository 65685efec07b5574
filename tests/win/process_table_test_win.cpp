// The process table gathered for real under Wine, checked by shape where Wine's values vary and
// against the system's own answers (a snapshot of its own) where they do not.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <vector>

#include "base/string_list.h"
#include "base/text.h"
#include "collectors/system/process_table_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "test_run_log_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

constexpr wchar_t kSubSystems[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\SubSystems";

// The subsystem value that Windows keeps and Wine lacks, set by the test and removed after it.
class ProcessTableTest : public ::testing::Test {
 protected:
  void TearDown() override {
    UniqueHkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSubSystems, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                        key.receive()) == ERROR_SUCCESS)
      ::RegDeleteValueW(key.get(), L"Windows");
  }
};

TEST_F(ProcessTableTest, RowsAndSummaryLines) {
  UniqueHkey key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSubSystems, 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, key.receive(), nullptr),
            ERROR_SUCCESS);
  const std::wstring windows =
      L"%SystemRoot%\\system32\\csrss.exe ObjectDirectory=\\Windows "
      L"SharedSection=1024,20480,768 Windows=On";
  ::RegSetValueExW(key.get(), L"Windows", 0, REG_EXPAND_SZ,
                   reinterpret_cast<const BYTE*>(windows.c_str()),
                   static_cast<DWORD>((windows.size() + 1) * 2));

  TestRunLog run;
  const std::string text = CollectProcessTable(run.log);
  EXPECT_TRUE(run.Notes().empty());
  std::cout << text;
  const StringList lines = [&] {
    StringList l;
    size_t start = 0, at;
    while ((at = text.find("\r\n", start)) != std::string::npos) {
      l.push_back(text.substr(start, at - start));
      start = at + 2;
    }
    return l;
  }();
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  // The processes by a snapshot of their own, for the names the rows must show.
  std::map<DWORD, std::string> names;
  UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry))
    names[entry.th32ProcessID] = Narrow(entry.szExeFile);

  const std::string folder = ExcludeTrailingBackslash(ExeFolder());
  bool own = false, wine_process = false;
  size_t rows = 0, pid_width = 0, name_width = 0;
  std::set<size_t> after_name, folder_at;  // column starts, in characters, over all rows
  std::vector<std::pair<std::string, std::string>> shown;  // row, name
  for (const std::string& line : lines) {
    if (line.empty())
      break;
    ++rows;
    EXPECT_TRUE(Matches(line,
                        "[0-9a-f]+ .*[0-9]+ *,[ 0-9]{2,}\\| [ 0-9]{2,}M,[ 0-9]{2,}M\\| [^,]*,"
                        "[0-9:. ]+(ms|s|min|h) .*"))
        << line;
    pid_width = line.find(' ');
    const DWORD id = std::stoul(line.substr(0, pid_width), nullptr, 16);
    if (!names.count(id))
      continue;  // ended between the two snapshots
    shown.emplace_back(line, names[id]);
    name_width = std::max(name_width, TextLength(names[id]));
    const size_t drive = line.find(":\\");
    if (drive != std::string::npos && drive > 0 && line[drive - 2] == ' ')
      folder_at.insert(TextLength(line.substr(0, drive - 1)));
    if (id == ::GetCurrentProcessId()) {
      own = true;
      EXPECT_TRUE(EndsWithTextAscii(line, " " + folder)) << line;
      EXPECT_NE(line.find("| normal,"), std::string::npos) << line;
    }
    wine_process |= names[id] == "services.exe" || names[id] == "winedevice.exe";
  }
  // Every row is aligned column for column: the name in its column, blanks after it up to one
  // column where the next field starts in every row, at least as far right as the longest name
  // needs; and the folders in one column.
  for (const auto& [line, name] : shown) {
    EXPECT_EQ(line.substr(pid_width + 1, name.size()), name) << line;
    const std::u16string wide = Utf8ToUtf16(line);
    size_t next = pid_width + 1 + TextLength(name);
    while (next < wide.size() && wide[next] == u' ')
      ++next;
    after_name.insert(next);
  }
  ASSERT_EQ(after_name.size(), 1u);
  EXPECT_GE(*after_name.begin(), pid_width + 1 + name_width + 1);
  EXPECT_LE(folder_at.size(), 1u);
  EXPECT_TRUE(own);
  EXPECT_TRUE(wine_process);
  EXPECT_GE(rows, 3u);
  ASSERT_EQ(lines.size(), rows + 4);
  EXPECT_EQ(lines[rows], "");
  EXPECT_TRUE(Matches(lines[rows + 1],
                      "Virtual memory:[0-9]+/[0-9]+ MB\\(free/total\\), "
                      "PageSize:[0-9]+/[0-9]+ MB\\(free/total\\), "
                      "SysDrv:[0-9.,]+ [KMG]?B(ytes)?/[0-9.,]+ [KMG]?B(ytes)?"))
      << lines[rows + 1];
  std::smatch atoms;
  ASSERT_TRUE(std::regex_match(lines[rows + 2], atoms,
                               std::regex("GlobalAtomInfo:Atom:([0-9]+), RWM:([0-9]+)(, Max.*)?")))
      << lines[rows + 2];
  EXPECT_GT(std::stoi(atoms[1]) + std::stoi(atoms[2]), 0);
  EXPECT_EQ(lines[rows + 3], "DesktopHeap:" + Narrow(windows));
  ::RegDeleteValueW(key.get(), L"Windows");
  EXPECT_EQ(GetDesktopHeapInfo(TestRunLog().Log()), "");
}

TEST(ProcessTableUnderWine, ImagePathsAndDevices) {
  UniqueHandle self(
      ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ::GetCurrentProcessId()));
  ASSERT_TRUE(self.valid());
  EXPECT_TRUE(SameTextAscii(GetProcessImagePath(self.get()), ExePath()));
  wchar_t device[MAX_PATH] = {};
  ASSERT_TRUE(::QueryDosDeviceW(L"C:", device, MAX_PATH));
  EXPECT_EQ(DevicePathToDrivePath(Narrow(device) + "\\windows\\system32\\x.exe"),
            "C:\\windows\\system32\\x.exe");
  EXPECT_EQ(DevicePathToDrivePath("\\Device\\NoSuchKovraDevice\\x"), "");
  EXPECT_TRUE(EnablePrivilege(SE_DEBUG_NAME, true));
  EXPECT_TRUE(DecimalSeparator() == "." || DecimalSeparator() == ",");
}
}  // namespace
}  // namespace kovra::win

namespace kovra::win {
namespace {

// The atom range is asked in blocks on several threads: every atom and format of the range
// counts once, whichever block it falls in.
TEST(ProcessTableUnderWine, AtomsAddedAreCountedOnce) {
  const auto counts = [] {
    std::smatch m;
    const std::string line = GetGlobalAtomInfo(TestRunLog().Log());
    EXPECT_TRUE(std::regex_search(line, m, std::regex("^Atom:([0-9]+), RWM:([0-9]+)"))) << line;
    return m.size() > 2 ? std::make_pair(std::stoi(m[1]), std::stoi(m[2])) : std::make_pair(0, 0);
  };
  const auto before = counts();
  std::vector<ATOM> added;
  for (int i = 0; i < 300; ++i)  // more than one block of the range
    added.push_back(::GlobalAddAtomW((L"KovraAtomTest" + std::to_wstring(i)).c_str()));
  for (int i = 0; i < 3; ++i)
    ::RegisterClipboardFormatW((L"KovraFormatTest" + std::to_wstring(i)).c_str());
  const auto after = counts();
  for (ATOM a : added)
    ::GlobalDeleteAtom(a);
  // Windows keeps the two names apart; Wine keeps formats among the global atoms, so each count
  // there sees all 303 names.
  EXPECT_GE(after.first - before.first, 300);
  EXPECT_LE(after.first - before.first, 303);
  EXPECT_GE(after.second - before.second, 3);
  EXPECT_LE(after.second - before.second, 303);
}

}  // namespace
}  // namespace kovra::win
