// The registry export writer, the services table and the services dump on Wine's real registry
// and service manager (a 64-bit prefix: the tests run under WOW64).
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/text.h"
#include "collectors/common/registry_export_win.h"
#include "collectors/product/uninstall_keys_win.h"
#include "collectors/system/autoruns_win.h"
#include "collectors/system/services_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "platform/wow64_win.h"
#include "own_view_win.h"
#include "test_run_log_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

void DeleteTree(HKEY root, const wchar_t* parent, const wchar_t* name, REGSAM view) {
  UniqueHkey key;
  if (::RegOpenKeyExW(root, parent, 0, KEY_ALL_ACCESS | view, key.receive()) == ERROR_SUCCESS)
    ::RegDeleteTreeW(key.get(), name);
}

size_t IndexOf(const StringList& lines, const std::string& line) {
  return static_cast<size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

class RegistryExportTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(IsWow64()) << "the tests expect a 64-bit prefix";
    // The maker's key in both views, told apart by a value.
    UniqueHkey maker32 = CreateTestKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kovra", KEY_WOW64_32KEY);
    SetTextValue(maker32.get(), L"view", L"32");
    UniqueHkey maker64 = CreateTestKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kovra", KEY_WOW64_64KEY);
    SetTextValue(maker64.get(), L"view", L"64");
    // A 64-bit tree with a sub-key named like the mirror.
    UniqueHkey tree =
        CreateTestKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KovraTree\\A\\Deep", KEY_WOW64_64KEY);
    SetTextValue(tree.get(), L"DisplayIcon", L"C:\\A\\b.exe,0");
    UniqueHkey mirror = CreateTestKey(HKEY_LOCAL_MACHINE,
                                      L"SOFTWARE\\KovraTree\\Wow6432Node\\Hidden", KEY_WOW64_64KEY);
    UniqueHkey b = CreateTestKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KovraTree\\B", KEY_WOW64_64KEY);
    const DWORD two = 2;
    ::RegSetValueExW(b.get(), L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&two), 4);
    // A per-user Uninstall entry (a new Wine prefix has no per-user Uninstall key at all).
    UniqueHkey user_uninstall;
    user_had_uninstall_ = ::RegOpenKeyExW(HKEY_CURRENT_USER, kUserUninstall, 0, KEY_READ,
                                          user_uninstall.receive()) == ERROR_SUCCESS;
    UniqueHkey app = CreateTestKey(
        HKEY_CURRENT_USER, std::wstring(kUserUninstall) + L"\\KovraUserApp", KEY_WOW64_64KEY);
    SetTextValue(app.get(), L"DisplayName", L"Kovra user app");
  }
  void TearDown() override {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
      DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE", L"Kovra", view);
    DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE", L"KovraTree", KEY_WOW64_64KEY);
    if (user_had_uninstall_)
      DeleteTree(HKEY_CURRENT_USER, kUserUninstall, L"KovraUserApp", KEY_WOW64_64KEY);
    else
      DeleteTree(HKEY_CURRENT_USER, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", L"Uninstall",
                 KEY_WOW64_64KEY);
  }
  static constexpr wchar_t kUserUninstall[] =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  bool user_had_uninstall_ = false;
};

TEST_F(RegistryExportTest, TreesInWalkOrderAndTheMakersKeyFromThe32BitView) {
  TRegistry registry;  // KEY_ALL_ACCESS, as the class starts: the walk only reads
  registry.SetRootKey(HKEY_LOCAL_MACHINE);
  StringList lines;
  ExportRegKey(registry, "SOFTWARE\\KovraTree", "HKEY_LOCAL_MACHINE", lines);
  EXPECT_EQ(registry.Access(), static_cast<DWORD>(KEY_READ | KEY_WOW64_64KEY));
  // Wine lists sub-keys sorted by name; Windows in the order they were made (here the same).
  EXPECT_EQ(lines, (StringList{"", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KovraTree]", "",
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KovraTree\\A]", "",
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KovraTree\\A\\Deep]",
                               "\"DisplayIcon\"=\"C:\\\\A\\\\b.exe,0\"", "",
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KovraTree\\B]",
                               "\"Count\"=dword:00000002"}));

  StringList uninstall{"Windows Registry Editor Version 5.00"};
  TestRunLog run;
  ExportUninstallKeys(uninstall, run.log);
  EXPECT_TRUE(run.Notes().empty());
  ASSERT_GE(uninstall.size(), 4u);
  EXPECT_EQ(uninstall[2], "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Kovra]");
  EXPECT_EQ(uninstall[3], "\"view\"=\"32\"");
  EXPECT_EQ(IndexOf(uninstall, "\"view\"=\"64\""), uninstall.size());
  // The five roots in order; the 64-bit Uninstall tree holds no mirror subtree.
  const size_t machine = IndexOf(
      uninstall, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall]");
  const size_t machine32 = IndexOf(
      uninstall,
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall]");
  const size_t user = IndexOf(
      uninstall, "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall]");
  EXPECT_LT(machine, machine32);
  EXPECT_LT(machine32, uninstall.size());
  ASSERT_LT(user, uninstall.size());
  EXPECT_LT(machine32, user);
  EXPECT_EQ(IndexOf(uninstall,
                    "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"
                    "\\Uninstall\\KovraUserApp]"),
            user + 2);
  for (size_t i = machine; i < machine32; ++i)
    EXPECT_EQ(uninstall[i].find("Wow6432Node"), std::string::npos) << uninstall[i];
  EXPECT_FALSE(uninstall.back().empty());
}

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

// Keys whose security lets everyone read but nobody write (as with the service keys of
// protected security products): each reader and walk still reads them, its sub-keys too.
class ReadOnlyKeysTest : public testing::Test {
 protected:
  struct Locked {
    HKEY root;
    std::wstring parent, name;
  };
  static constexpr wchar_t kHelperId[] = L"{0B1A2C3D-0000-4000-8000-00000000BEEF}";
  static constexpr wchar_t kHelpers[] =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
  const std::vector<Locked> keys_ = {
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
       L"KovraLocked"},
      {HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\services", L"KovraLockedSvc"},
      {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\CLSID", kHelperId},
  };

  // Sets the security of a key and, first, of its sub-keys.
  static void SetSecurity(HKEY root, const std::wstring& path, const wchar_t* sddl) {
    UniqueLocalMem descriptor;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        sddl, SDDL_REVISION_1, descriptor.receive(), nullptr));
    UniqueHkey key;
    ASSERT_EQ(::RegOpenKeyExW(root, path.c_str(), 0,
                              READ_CONTROL | WRITE_DAC | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE |
                                  KEY_WOW64_64KEY,
                              key.receive()),
              ERROR_SUCCESS);
    wchar_t name[256];
    for (DWORD i = 0, length = 256; ::RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr,
                                                    nullptr, nullptr) == ERROR_SUCCESS;
         ++i, length = 256)
      SetSecurity(root, path + L"\\" + name, sddl);
    ASSERT_EQ(::RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor.get()),
              ERROR_SUCCESS);
  }

  void SetUp() override {
    ASSERT_TRUE(InA64BitPrefix());
    {
      UniqueHkey k =
          CreateTestKey(HKEY_LOCAL_MACHINE, keys_[0].parent + L"\\" + keys_[0].name + L"\\Inner",
                        KEY_WOW64_64KEY);
      SetTextValue(k.get(), L"DisplayName", L"Inner entry");
      UniqueHkey top = CreateTestKey(HKEY_LOCAL_MACHINE, keys_[0].parent + L"\\" + keys_[0].name,
                                     KEY_WOW64_64KEY);
      SetTextValue(top.get(), L"DisplayName", L"Locked entry");
      UniqueHkey service = CreateTestKey(HKEY_LOCAL_MACHINE,
                                         keys_[1].parent + L"\\" + keys_[1].name, KEY_WOW64_64KEY);
      const DWORD three = 3;
      ::RegSetValueExW(service.get(), L"Start", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&three),
                       4);
      UniqueHkey server = CreateTestKey(
          HKEY_LOCAL_MACHINE, keys_[2].parent + L"\\" + keys_[2].name + L"\\InprocServer32",
          KEY_WOW64_64KEY);
      SetTextValue(server.get(), L"", L"C:\\Kovra\\helper.dll");
      UniqueHkey helper = CreateTestKey(HKEY_LOCAL_MACHINE, keys_[2].parent + L"\\" + keys_[2].name,
                                        KEY_WOW64_64KEY);
      SetTextValue(helper.get(), L"", L"Kovra Locked Helper");
      CreateTestKey(HKEY_LOCAL_MACHINE, std::wstring(kHelpers) + L"\\" + kHelperId,
                    KEY_WOW64_64KEY);
    }
    // Everyone may read; changing the security back is all the owner keeps (for the clean-up).
    for (const Locked& k : keys_)
      SetSecurity(k.root, k.parent + L"\\" + k.name, L"D:P(A;;KRWD;;;WD)");
  }
  void TearDown() override {
    for (const Locked& k : keys_) {
      SetSecurity(k.root, k.parent + L"\\" + k.name, L"D:P(A;;KA;;;WD)");
      DeleteTree(k.root, k.parent.c_str(), k.name.c_str(), KEY_WOW64_64KEY);
    }
    DeleteTree(HKEY_LOCAL_MACHINE, kHelpers, kHelperId, KEY_WOW64_64KEY);
  }
};

TEST_F(ReadOnlyKeysTest, WalksAndReadersReadKeysThatDenyWriting) {
  UniqueHkey probe;
  const LONG full =
      ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (keys_[0].parent + L"\\" + keys_[0].name).c_str(), 0,
                      KEY_ALL_ACCESS | KEY_WOW64_64KEY, probe.receive());
  if (full == ERROR_SUCCESS)
    GTEST_SKIP() << "this Wine grants full access whatever the key's security says";
  ASSERT_EQ(full, ERROR_ACCESS_DENIED);

  TestRunLog run;
  StringList uninstall{"Windows Registry Editor Version 5.00"};
  ExportUninstallKeys(uninstall, run.log);
  const std::string entry =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KovraLocked";
  // The entry and its sub-key, each with its value.
  const size_t at = std::min(IndexOf(uninstall, entry + "]"), uninstall.size());
  EXPECT_EQ(
      StringList(uninstall.begin() + at, uninstall.begin() + std::min(at + 5, uninstall.size())),
      (StringList{entry + "]", "\"DisplayName\"=\"Locked entry\"", "", entry + "\\Inner]",
                  "\"DisplayName\"=\"Inner entry\""}));

  StringList services;
  ExportServicesTree(services, run.log);
  const size_t service = IndexOf(
      services, "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\KovraLockedSvc]");
  EXPECT_LT(service + 1, services.size());
  if (service + 1 < services.size()) {
    EXPECT_EQ(services[service + 1], "\"Start\"=dword:00000003");
  }

  const StringList helpers = ListBrowserHelperObjects();
  EXPECT_LT(IndexOf(helpers, "Kovra Locked Helper, C:\\Kovra\\helper.dll"), helpers.size());
}

}  // namespace
}  // namespace kovra::win
