// The services table and the services dump on Wine's real registry and service manager (a
// 64-bit prefix: the tests run under WOW64).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "base/string_list.h"
#include "base/text.h"
#include "collectors/system/services_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "platform/wow64_win.h"
#include "read_only_keys_win.h"
#include "test_run_log_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

// A test driver whose binary path names System32, with a different file of the same name in
// the 32-bit system folder.
class DriverServiceTest : public testing::Test {
 protected:
  static constexpr wchar_t kName[] = L"KovraTestDrv";
  void SetUp() override {
    ASSERT_TRUE(IsWow64());
    {
      ScopedWow64RedirectionOff native;
      WriteFileBytes(Windows() + "system32\\drivers\\kovratest.sys", "abc");
    }
    // A new Wine prefix has no drivers folder in SysWOW64.
    made_wow64_drivers_ = !DirectoryExists(Windows() + "syswow64\\drivers");
    ASSERT_TRUE(ForceDirectories(Windows() + "syswow64\\drivers"));
    WriteFileBytes(Windows() + "syswow64\\drivers\\kovratest.sys", "abcd");
    UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ASSERT_TRUE(manager.valid());
    UniqueServiceHandle service(::CreateServiceW(
        manager.get(), kName, L"Kovra Test Driver", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
        SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, L"system32\\DRIVERS\\kovratest.sys", nullptr,
        nullptr, L"Null\0Beep\0", nullptr, nullptr));
    ASSERT_TRUE(service.valid()) << ::GetLastError();
  }
  void TearDown() override {
    UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    UniqueServiceHandle service(::OpenServiceW(manager.get(), kName, DELETE));
    if (service)
      ::DeleteService(service.get());
    {
      ScopedWow64RedirectionOff native;
      DeleteFilePath(Windows() + "system32\\drivers\\kovratest.sys");
    }
    DeleteFilePath(Windows() + "syswow64\\drivers\\kovratest.sys");
    if (made_wow64_drivers_)
      ::RemoveDirectoryW(Widen(Windows() + "syswow64\\drivers").c_str());
  }
  bool made_wow64_drivers_ = false;
  static std::string Windows() {
    wchar_t folder[MAX_PATH] = {};
    ::GetWindowsDirectoryW(folder, MAX_PATH);
    return IncludeTrailingBackslash(Narrow(folder));
  }
};

TEST_F(DriverServiceTest, RowTakesTheNativeFileAndTheDumpLeavesMultiStringsOut) {
  StringList table;
  TestRunLog run;
  ListServicesAndDrivers(table, run.log);
  EXPECT_TRUE(run.Notes().empty());
  ASSERT_GE(table.size(), 2u);
  EXPECT_EQ(table[0], StarRule());
  std::string row;
  for (const std::string& line : table) {
    if (StartsWithTextAscii(line, "Kovra Test Driver "))
      row = line;
  }
  ASSERT_FALSE(row.empty());
  // MD5 of "abc", the native System32 copy; the 32-bit copy holds "abcd".
  EXPECT_TRUE(StartsWithTextAscii(row, "Kovra Test Driver" + std::string(13, ' ') + " 1  1  "))
      << row;
  EXPECT_TRUE(EndsWithTextAscii(row,
                                " 3 system32\\DRIVERS\\kovratest.sys Ver:   "
                                "MD5:900150983cd24fb0d6963f7d28e17f72"))
      << row;
  // Services that Wine runs are there too, with their start types.
  EXPECT_GT(table.size(), 3u);

  StringList dump;
  ExportServicesTree(dump, run.log);
  EXPECT_TRUE(run.Notes().empty());
  ASSERT_FALSE(dump.empty());
  EXPECT_EQ(dump[0], StarRule());
  const size_t key =
      IndexOf(dump, "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\KovraTestDrv]");
  ASSERT_LT(key, dump.size());
  StringList values;
  for (size_t i = key + 1; i < dump.size() && !dump[i].empty(); ++i)
    values.push_back(dump[i]);
  EXPECT_NE(std::find(values.begin(), values.end(), "\"Start\"=dword:00000003"), values.end());
  EXPECT_NE(
      std::find(values.begin(), values.end(), "\"ImagePath\"=\"system32\\DRIVERS\\kovratest.sys\""),
      values.end());
  for (const std::string& v : values)
    EXPECT_FALSE(StartsWithTextAscii(v, "\"DependOnService\"")) << v;
}

class ReadOnlyServiceKeysTest : public ReadOnlyKeysTest {};

TEST_F(ReadOnlyServiceKeysTest, DumpReadsKeysThatDenyWriting) {
  TestRunLog run;
  StringList services;
  ExportServicesTree(services, run.log);
  const size_t service = IndexOf(
      services, "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\KovraLockedSvc]");
  EXPECT_LT(service + 1, services.size());
  if (service + 1 < services.size()) {
    EXPECT_EQ(services[service + 1], "\"Start\"=dword:00000003");
  }
}

}  // namespace
}  // namespace kovra::win
