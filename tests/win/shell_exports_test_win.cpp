// reg export through the shell (Wine's real reg.exe) and the file listings.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/string_list.h"
#include "collectors/common/shell_exports_win.h"
#include "platform/console_capture_win.h"
#include "platform/files_win.h"
#include "platform/staging_folder_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

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

TEST(FileListings, TheTwoWalks) {
  const std::string root = TempFolder() + "kovra-walk-" + std::to_string(::GetCurrentProcessId());
  (void)RemoveTreeNoFollow(root);
  ASSERT_TRUE(ForceDirectories(root + "\\.svn\\deep"));
  ASSERT_TRUE(ForceDirectories(root + "\\sub"));
  WriteFileBytes(root + "\\plain.txt", "p");
  WriteFileBytes(root + "\\.svn\\entries", "e");
  WriteFileBytes(root + "\\.svn\\deep\\x", "x");
  WriteFileBytes(root + "\\sub\\hidden.txt", "h");
  ::SetFileAttributesW(Widen(root + "\\sub\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);

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
  (void)RemoveTreeNoFollow(root);
}

// The wait for exports running side by side: it ends with the last of them, and never lasts much
// past its limit of about 3.1 s while one still runs (which is left running).
TEST(RegExportWait, EndsWithTheLastOrAtItsLimit) {
  const std::string folder = TempFolder();
  const std::string pid = std::to_string(::GetCurrentProcessId());
  const auto script = [&](const std::string& name, const std::string& text) {
    const std::string path = folder + "kovra-wait-" + pid + "-" + name + ".txt";
    WriteFileBytes(path, text);
    return path;
  };
  const std::string quick = script("quick", "s 300\n"), slow = script("slow", "s 20000\n");
  struct Case {
    std::vector<std::string> scripts;
    ULONGLONG at_least_ms, below_ms;
  } cases[] = {
      {{quick, quick, quick}, 0, 2500},
      {{quick, slow}, 3000, 5000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scripts.size());
    std::vector<UniqueHandle> started, kept;
    for (const std::string& path : c.scripts) {
      std::string command = Fake() + " script \"" + path + "\"";
      STARTUPINFOA si = {};
      si.cb = sizeof si;
      PROCESS_INFORMATION pi = {};
      ASSERT_TRUE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE,
                                   CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi));
      UniqueHandle thread(pi.hThread);
      HANDLE copy = nullptr;
      ::DuplicateHandle(::GetCurrentProcess(), pi.hProcess, ::GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
      kept.emplace_back(copy);
      started.emplace_back(pi.hProcess);
    }
    const ULONGLONG start = ::GetTickCount64();
    WaitForRegExports(started);
    const ULONGLONG took = ::GetTickCount64() - start;
    EXPECT_TRUE(started.empty());
    EXPECT_GE(took, c.at_least_ms);
    EXPECT_LT(took, c.below_ms);
    for (UniqueHandle& process : kept)
      ::TerminateProcess(process.get(), 1);
  }
  DeleteFilePath(quick);
  DeleteFilePath(slow);
}

// An export is started unless the key is in neither registry view.
TEST(RegExportKey, AbsentOnlyWhenInNeitherView) {
  for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
    DeleteTestTree(HKEY_LOCAL_MACHINE, L"SOFTWARE", L"KovraMayExist", view);
  CreateTestKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KovraMayExist\\Native", KEY_WOW64_64KEY);
  CreateTestKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KovraMayExist\\Wow", KEY_WOW64_32KEY);
  CreateTestKey(HKEY_CURRENT_USER, L"Software\\KovraMayExist", 0);
  const struct {
    const char* key;
    bool may_exist;
  } cases[] = {
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\KovraMayExist\\Native", true},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\KovraMayExist\\Wow", true},
      {"HKLM\\SOFTWARE\\KovraMayExist\\Wow", true},
      {"HKEY_CURRENT_USER\\Software\\KovraMayExist", true},
      {"hkey_current_user\\Software\\KovraMayExist", true},
      {"HKEY_CLASSES_ROOT\\*", true},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\KovraMayExist\\Neither", false},
      {"HKEY_CURRENT_USER\\Software\\KovraNoSuchKey", false},
      {"HKEY_NOWHERE\\Software", true},  // a root reg may know and we do not
  };
  for (const auto& c : cases)
    EXPECT_EQ(RegExportKeyMayExist(c.key), c.may_exist) << c.key;
  for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
    DeleteTestTree(HKEY_LOCAL_MACHINE, L"SOFTWARE", L"KovraMayExist", view);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\KovraMayExist");
}

}  // namespace
}  // namespace kovra::win
