// Product-folder discovery, the file inventory and the log collection on fixture machines built
// in Wine's registry, service manager and file system (a 64-bit prefix: the tests run under
// WOW64, the product keys in the 32-bit view).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "base/text.h"
#include "collectors/product/product_files_win.h"
#include "collectors/product/product_names.h"
#include "collectors/product/product_summary_win.h"
#include "collectors/system/services_win.h"
#include "crypto/md5.h"
#include "platform/path_frame_win.h"
#include "platform/files_win.h"
#include "platform/staging_folder_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "platform/wow64_win.h"
#include "own_view_win.h"
#include "test_run_log_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

const std::string kFix = "C:\\KovraFix\\";
constexpr wchar_t kTop[] = L"SOFTWARE\\Kovra\\Zentrix Tune Prime";

UniqueHkey Key32(const std::wstring& path) {
  return CreateTestKey(HKEY_LOCAL_MACHINE, path, kOwnView);
}

class DiscoveryTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InA64BitPrefix());
    EXPECT_TRUE(ForceDirectories(kFix + "App"));
    EXPECT_TRUE(ForceDirectories(kFix + "Svc\\Antivirus"));
    EXPECT_TRUE(ForceDirectories(kFix + "Data\\Antivirus\\BackupRec"));
  }
  void TearDown() override {
    UniqueHkey software;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_ALL_ACCESS | kOwnView,
                        software.receive()) == ERROR_SUCCESS) {
      ::RegDeleteTreeW(software.get(), L"Kovra");
      ::RegDeleteTreeW(software.get(),
                       L"Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zentrix Tune 7_is1");
    }
    UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    UniqueServiceHandle service(::OpenServiceW(manager.get(), L"ZentrixTuneService8", DELETE));
    if (service)
      ::DeleteService(service.get());
    (void)RemoveTreeNoFollow(ExcludeTrailingBackslash(kFix));
    (void)RemoveTreeNoFollow(frame_.CommonAppDataPath + "\\Kovra");
  }
  void AddService(const std::string& path) {
    UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    UniqueServiceHandle service(::CreateServiceW(
        manager.get(), L"ZentrixTuneService8", L"Zentrix Tune Service", SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, Widen(path).c_str(),
        nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(service.valid()) << ::GetLastError();
  }
  const TAppFrame frame_;
};

// With the product summary: the summary reads the generation digits that the discovery found.
TEST_F(DiscoveryTest, PathValuesOfTheTopEdition) {
  SetTextValue(Key32(kTop).get(), L"ztnpv8uninstallpath", kFix + "App\\unins000.exe");
  DiscoveredProduct found = DiscoverProductFolder(frame_);
  EXPECT_EQ(found.folder, kFix + "App\\");
  EXPECT_EQ(found.digits.current, "8");

  // Only the previous generation's value: its folder, and the digits "7" and "6" that the
  // product summary then reads.
  ::RegDeleteValueW(Key32(kTop).get(), L"ztnpv8uninstallpath");
  SetTextValue(Key32(kTop).get(), L"ztnpv7uninstallpath", kFix + "App\\unins000.exe");
  UniqueHkey seven =
      Key32(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zentrix Tune 7_is1");
  SetTextValue(seven.get(), L"DisplayVersion", "7.5");
  found = DiscoverProductFolder(frame_);
  EXPECT_EQ(found.folder, kFix + "App\\");
  EXPECT_EQ(found.digits.current, "7");
  EXPECT_EQ(found.digits.previous, "6");
  const StringList summary = CollectProductSummary(found.digits);
  ASSERT_GE(summary.size(), 3u);
  EXPECT_EQ(summary[1], "====ZTN====");
  EXPECT_EQ(summary[2], "Display Version:\t7.5");
}

TEST_F(DiscoveryTest, ServiceSettingsAndFolderClues) {
  Key32(kTop);                                 // the top edition, without path values
  AddService("\"" + kFix + "Svc\\svc.exe\"");  // quoted: no folder, the next clue is tried
  UniqueHkey dword = Key32(kTop);
  const DWORD odd = 5;  // a path value of another kind counts as absent
  ::RegSetValueExW(dword.get(), L"ztnpv8uninstallpath", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&odd), 4);
  const std::string settings =
      frame_.CommonAppDataPath + "\\Kovra\\Zentrix Tune V8\\AntivirusConfig.ini";
  EXPECT_TRUE(ForceDirectories(ExcludeTrailingBackslash(settings.substr(0, settings.rfind('\\')))));
  WriteFileBytes(settings,
                 "[Antivirus]\r\nQuarantinePath=" + kFix + "Data\\Antivirus\\BackupRec\\\r\n");
  DiscoveredProduct found;
  EXPECT_NO_THROW(found = DiscoverProductFolder(frame_));
  EXPECT_EQ(found.folder, kFix + "Data\\");

  // The service's path without quotes, with its Antivirus sub-folder, wins over the settings.
  UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  UniqueServiceHandle service(::OpenServiceW(manager.get(), L"ZentrixTuneService8", DELETE));
  ::DeleteService(service.get());
  service.reset();
  AddService(kFix + "Svc\\svc.exe");
  EXPECT_EQ(DiscoverProductFolder(frame_).folder, kFix + "Svc\\");
}

TEST_F(DiscoveryTest, OnlyTheStandardEditionLeavesNoFolder) {
  SetTextValue(Key32(L"SOFTWARE\\Kovra\\Zentrix Tune 8").get(), L"apppath", kFix + "App\\ztn.exe");
  const DiscoveredProduct found = DiscoverProductFolder(frame_);
  EXPECT_EQ(found.folder, "");
  StringList lines;
  CollectProductFiles(found, lines, TestRunLog().Log());
  EXPECT_TRUE(lines.empty());
}

TEST_F(DiscoveryTest, InventoryListsExecutablesLibrariesAndDrivers) {
  const std::string app = kFix + "App\\";
  for (const char* folder : {"Drivers", "Upper", "a\\.svn", "b\\.SVN"})
    EXPECT_TRUE(ForceDirectories(app + folder));
  const std::pair<const char*, const char*> files[] = {
      {"ztn.exe", "main"},         {"Readme.txt", "text"},    {"Drivers\\filter.sys", "drv"},
      {"Upper\\ZTN.EXE", "upper"}, {"a\\.svn\\x.dll", "svn"}, {"b\\.SVN\\y.dll", "SVN"}};
  for (const auto& [name, bytes] : files)
    WriteFileBytes(app + name, bytes);
  const DiscoveredProduct product{GenerationDigits{}, kFix + "App"};
  StringList lines;
  CollectProductFiles(product, lines, TestRunLog().Log());
  for (const std::string& l : lines)
    std::cout << l << "\n";
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], StarRule());
  // The folder as found, without its backslash: the log collection's %AppPath% names the files
  // below it relative to it too.
  const std::string staging = kFix + "Staging\\";
  TestRunLog copy;
  CopyMacroFiles("%AppPath%\\*.txt", frame_, product, staging, copy.log);
  EXPECT_EQ(ReadFileBytes(staging + "AppPath\\Readme.txt"), "text");
  StringList names;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    const std::string name = l.substr(0, l.find("   Ver:"));
    names.push_back(name);
    const std::string bytes = std::find_if(std::begin(files), std::end(files), [&](const auto& f) {
                                return name == f.first;
                              })->second;
    EXPECT_NE(l.find("   Ver:   MD5:" + Md5OfBytes(bytes) + "   DT:"), std::string::npos) << l;
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (StringList{"Drivers\\filter.sys", "Upper\\ZTN.EXE", "b\\.SVN\\y.dll", "ztn.exe"}));
}

TEST_F(DiscoveryTest, LiveLogsAreCopiedAndLockedOnesSkipped) {
  const std::string pulse =
      IncludeTrailingBackslash(frame_.GetSystemPath(SystemFolder::kProgramFiles)) +
      "Kovra\\PulseSync\\";
  const std::string staging = kFix + "Staging\\";
  EXPECT_TRUE(ForceDirectories(staging));
  // No PulseSync folder: no sub-folder in the staging folder.
  (void)RemoveTreeNoFollow(ExcludeTrailingBackslash(pulse));
  TestRunLog absent;
  CollectProductLogs(frame_, DiscoveredProduct{}, staging, absent.log);
  EXPECT_FALSE(DirectoryExists(staging + "PulseSync"));
  EXPECT_TRUE(absent.Notes().empty()) << "an absent folder is no failure";

  EXPECT_TRUE(ForceDirectories(pulse));
  WriteFileBytes(pulse + "old.log", "old");
  WriteFileBytes(pulse + "live.log", "live");
  WriteFileBytes(pulse + "locked.log", "locked");
  WriteFileBytes(pulse + "notes.txt", "not a log");
  UniqueHandle live(::CreateFileW(Widen(pulse + "live.log").c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
  UniqueHandle locked(::CreateFileW(Widen(pulse + "locked.log").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(live.valid() && locked.valid());
  TestRunLog run;
  CollectProductLogs(frame_, DiscoveredProduct{}, staging, run.log);
  // Only the log held without sharing is noted, with its reason.
  EXPECT_EQ(run.Notes(), StringList{"skipped " + pulse + "locked.log: held by another program"});
  EXPECT_EQ(ReadFileBytes(staging + "PulseSync\\old.log"), "old");
  EXPECT_EQ(ReadFileBytes(staging + "PulseSync\\live.log"), "live");
  EXPECT_FALSE(FileExists(staging + "PulseSync\\locked.log"));
  EXPECT_FALSE(FileExists(staging + "PulseSync\\notes.txt"));
  live.reset();
  locked.reset();
  (void)RemoveTreeNoFollow(ExcludeTrailingBackslash(pulse));
}

}  // namespace
}  // namespace kovra::win
