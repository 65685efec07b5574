// The updater product collector on Wine: its archive list with and without the updater, the
// files it writes in the temporary folder and what its release removes (a 64-bit prefix: the
// tests run under WOW64, the product keys in the 32-bit view).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "base/text.h"
#include "collectors/product/updater_win.h"
#include "crypto/md5.h"
#include "platform/path_frame_win.h"
#include "platform/files_win.h"
#include "platform/staging_folder_win.h"
#include "platform/handles_win.h"
#include "platform/local_time_win.h"
#include "platform/win_text_win.h"
#include "platform/wow64_win.h"
#include "own_view_win.h"
#include "test_run_log_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

constexpr wchar_t kUninstall[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kovra Nimbrel Fetch_is1";
const std::string kInstall = "C:\\KovraFetch\\";

bool Has(const StringList& list, const std::string& entry) {
  return std::find(list.begin(), list.end(), entry) != list.end();
}

class UpdaterTest : public testing::Test {
 protected:
  void TearDown() override {
    SetLocation(nullptr);
    (void)RemoveTreeNoFollow("C:\\KovraFetch");
  }
  static void SetLocation(const char* location) {
    UniqueHkey key;
    if (location == nullptr) {
      ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kUninstall, kOwnView, 0);
      return;
    }
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, nullptr, 0,
                                KEY_ALL_ACCESS | kOwnView, nullptr, key.receive(), nullptr),
              ERROR_SUCCESS);
    const std::wstring w = Widen(location);
    ::RegSetValueExW(key.get(), L"InstallLocation", 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(w.c_str()),
                     static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t)));
  }
  const TAppFrame frame_;
  TestRunLog run;
  // The run's staging folder, where reg writes the exports first.
  const FakeDir staging_{"updater-staging"};
};

TEST_F(UpdaterTest, WithoutTheUpdaterTheListStillHoldsTheSharedEntries) {
  ASSERT_TRUE(InA64BitPrefix());
  // One product key present (in the program's own view), the others absent from both views.
  UniqueHkey sweeper;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kovra\\Sweeper 4", 0, nullptr, 0,
                              KEY_ALL_ACCESS | kOwnView, nullptr, sweeper.receive(), nullptr),
            ERROR_SUCCESS);
  std::unique_ptr<TLPSWGetInfo> collector =
      CreateUpdaterCollector(frame_, run.log, staging_.Folder());
  const StringList& list = collector->ArchiveList();
  const std::string shared = JoinPath(frame_.GetSystemPath(SystemFolder::kProgramFilesCommon),
                                      "Kovra\\Nimbrel Fetch\\*.*");
  EXPECT_EQ(std::count(list.begin(), list.end(), shared), 2);
  EXPECT_TRUE(
      Has(list, JoinPath(frame_.GetSystemPath(SystemFolder::kSystem), "drivers\\etc\\hosts")));
  const std::string temp = frame_.GetSystemPath(SystemFolder::kTemp);
  EXPECT_TRUE(Has(list, temp + "InfoVersion.txt"));
  EXPECT_FALSE(Has(list, temp + "NFMD5.txt"));
  // The export of every key there is; a key in neither view gives no file and is not started.
  for (const char* file : {"SW_REG_1.txt", "SYS_FILE_RunStart_2.txt"})
    EXPECT_TRUE(Has(list, temp + file)) << file;
  for (const char* file : {"SW_REG_2.txt", "LP_REG_1.txt", "ZTN_GEG_1.txt", "ZTNP_REG_1.txt"})
    EXPECT_FALSE(Has(list, temp + file)) << file;
  EXPECT_TRUE(Has(
      list,
      IncludeTrailingBackslash(frame_.GetSystemPath(SystemFolder::kDesktopDirectory)) + "*.lnk"));

  // InfoVersion.txt: ANSI with CR LF, the date alone on line 3.
  const std::string info = ReadFileBytes(temp + "InfoVersion.txt");
  EXPECT_EQ(info.substr(0, 19), "=====Version=====\r\n");
  EXPECT_NE(info.find("\r\nThis Log Create Time:" + TodayShortDateText() +
                      "\r\n\r\n=====Display=====\r\n"),
            std::string::npos)
      << info;
  EXPECT_NE(info.find("\r\nScreen.Width:"), std::string::npos);

  // The product exports go with the collector; the system exports stay.
  const StringList exports = collector->ProductExports();
  ASSERT_EQ(exports, StringList{temp + "SW_REG_1.txt"});
  for (int i = 0; i < 50 && !(FileExists(temp + "SYS_FILE_RunStart_1.txt") &&
                              FileExists(temp + "SW_REG_1.txt"));
       ++i)
    ::Sleep(100);
  EXPECT_TRUE(FileExists(temp + "SW_REG_1.txt"));
  collector.reset();
  ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kovra\\Sweeper 4", kOwnView, 0);
  for (const std::string& file : exports)
    EXPECT_FALSE(FileExists(file)) << file;
  EXPECT_TRUE(FileExists(temp + "InfoVersion.txt"));
  EXPECT_TRUE(FileExists(temp + "SYS_FILE_RunStart_1.txt"));
}

TEST_F(UpdaterTest, InstallFolderEntriesAndTheDigestList) {
  EXPECT_TRUE(ForceDirectories(kInstall + "Skin"));
  EXPECT_TRUE(ForceDirectories(kInstall + ".svn"));
  WriteFileBytes(kInstall + "NimbrelFetch.exe", "program");
  WriteFileBytes(kInstall + "Skin\\a.png", "png");
  WriteFileBytes(kInstall + ".svn\\entries", "svn");
  // A location naming the program is reduced to its folder.
  SetLocation("C:\\KovraFetch\\NimbrelFetch.exe");
  std::unique_ptr<TLPSWGetInfo> collector =
      CreateUpdaterCollector(frame_, run.log, staging_.Folder());
  const StringList& list = collector->ArchiveList();
  const std::string temp = frame_.GetSystemPath(SystemFolder::kTemp);
  ASSERT_TRUE(Has(list, kInstall + "bugreport.txt"));
  EXPECT_TRUE(Has(list, kInstall + "Skin\\*.*"));
  EXPECT_TRUE(Has(list, kInstall + "*.log"));
  EXPECT_TRUE(Has(list, temp + "NFMD5.txt"));
  const std::string digests = ReadFileBytes(temp + "NFMD5.txt");
  EXPECT_NE(digests.find(kInstall + "NimbrelFetch.exe," + Md5OfBytes("program") + "\r\n"),
            std::string::npos)
      << digests;
  EXPECT_NE(digests.find(kInstall + "Skin\\a.png," + Md5OfBytes("png") + "\r\n"),
            std::string::npos);
  EXPECT_EQ(digests.find(".svn"), std::string::npos);
  // A cancelled run's clean-up takes every file the collector wrote into the temporary folder
  // (each is in the archive list), once the last export has written its file.
  for (int i = 0; i < 50 && !FileExists(temp + "SYS_FILE_RunStart_1.txt"); ++i)
    ::Sleep(100);
  DiscardUpdaterFiles(temp);
  for (const std::string& entry : list) {
    if (StartsWithTextAscii(entry, temp)) {
      EXPECT_FALSE(FileExists(entry)) << entry;
    }
  }
  collector.reset();

  // ".EXE" is taken as a folder name, which does not exist: no install-folder entries.
  SetLocation("C:\\KovraFetch\\NimbrelFetch.EXE");
  collector = CreateUpdaterCollector(frame_, run.log, staging_.Folder());
  EXPECT_FALSE(Has(collector->ArchiveList(), kInstall + "bugreport.txt"));
}

}  // namespace
}  // namespace kovra::win
