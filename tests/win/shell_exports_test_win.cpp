// reg export through the shell (Wine's real reg.exe) and the file listings.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "base/string_list.h"
#include "collectors/common/shell_exports_win.h"
#include "platform/console_capture_win.h"
#include "platform/child_process_win.h"
#include "platform/files_win.h"
#include "platform/staging_folder_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "test_run_log_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

class RegExportTest : public ::testing::Test {
 protected:
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\KovraExportTest"); }
};

TEST_F(RegExportTest, ReplacesWhatStandsAtTheNameAndNeverHangsOnALockedOne) {
  UniqueHkey key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\KovraExportTest", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, key.receive(), nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(key.get(), L"marker", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"exported"), 18);
  FakeDir staging("export-staging");
  const std::string target_folder = ScratchFolder(ScratchState::kEmpty, "export-target");
  const std::string file = target_folder + "kovra-export.reg";
  const std::string pointed_at = target_folder + "pointed-at.txt";
  struct Case {
    const char* name;
    std::function<void()> plant;
    const char* note;  // what the run log says, empty for nothing
  } const cases[] = {
      {"no file there", [&] { DeleteFilePath(file); }, ""},
      {"an older export", [&] { WriteFileBytes(file, "an older export"); }, ""},
      // A hard link to another file: the name is removed and noted, the other file stays.
      {"a link to another file",
       [&] {
         DeleteFilePath(file);
         WriteFileBytes(pointed_at, "not ours");
         ASSERT_TRUE(::CreateHardLinkW(Widen(file).c_str(), Widen(pointed_at).c_str(), nullptr));
       },
       "a second name of another file stood at this name; removed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.plant();
    TestRunLog run;
    ASSERT_TRUE(RunRegExport("HKEY_CURRENT_USER\\Software\\KovraExportTest", file, staging.Folder(),
                             run.log));
    const std::string bytes = ReadFileBytes(file);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_NE(bytes.find(std::string("e\0x\0p\0o\0r\0t\0e\0d\0", 16)), std::string::npos);
    if (*c.note == '\0') {
      EXPECT_TRUE(run.Notes().empty());
    } else {
      ASSERT_EQ(run.Notes().size(), 1u);
      EXPECT_NE(run.Notes()[0].find(file + ": " + c.note), std::string::npos) << run.Notes()[0];
    }
  }
  EXPECT_EQ(ReadFileBytes(pointed_at), "not ours");

  {
    // The name held open without sharing: reg writes its own file and ends; putting it in
    // place fails and says why, and nothing is left in the staging folder.
    UniqueHandle lock(
        ::CreateFileW(Widen(file).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock.valid());
    TestRunLog run;
    EXPECT_TRUE(RunRegExport("HKEY_CURRENT_USER\\Software\\KovraExportTest", file, staging.Folder(),
                             run.log));
    EXPECT_EQ(CountProcesses("reg.exe"), 0u) << "reg export still waits";
    ASSERT_EQ(run.Notes().size(), 1u);
    // Skipped with the system's reason (Wine says "access denied" where Windows says it is
    // held by another program).
    EXPECT_EQ(run.Notes()[0].rfind("skipped reg export to " + file + ": ", 0), 0u)
        << run.Notes()[0];
  }
  StringList left;
  ListFilesRecursive(ExcludeTrailingBackslash(staging.Folder()), left);
  EXPECT_EQ(left, StringList{staging.Path("kovra-fake-dir")});
  (void)RemoveTreeNoFollow(target_folder);
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

// The wait for exports running side by side: it ends with the last of them; one still running at
// its limit of about 3.1 s is ended then (its program gone, its file not moved into place).
TEST(RegExportWait, EndsWithTheLastOrEndsTheOneStillRunning) {
  FakeDir fake("wait");
  const std::string quick = fake.Path("quick.txt"), slow = fake.Path("slow.txt");
  WriteFileBytes(quick, "s 300\n");
  WriteFileBytes(slow, "s 60000\n");
  struct Case {
    std::vector<std::string> scripts;
    bool one_ended;
  } const cases[] = {
      {{quick, quick, quick}, false},
      {{quick, slow}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scripts.size());
    std::vector<RunningExport> started;
    std::vector<UniqueHandle> kept;
    for (const std::string& path : c.scripts) {
      RunningExport e{StartConsoleProgram(FakeCommand({"script", path}), fake.Setting()), path, "",
                      ""};
      HANDLE copy = nullptr;
      ::DuplicateHandle(::GetCurrentProcess(), e.program.process(), ::GetCurrentProcess(), &copy, 0,
                        FALSE, DUPLICATE_SAME_ACCESS);
      kept.emplace_back(copy);
      started.push_back(std::move(e));
    }
    TestRunLog run;
    const ULONGLONG start = ::GetTickCount64();
    WaitForRegExports(started, run.log);
    const ULONGLONG took = ::GetTickCount64() - start;
    EXPECT_TRUE(started.empty());
    // Every program has ended when the wait returns: by itself, or ended by the wait.
    for (const UniqueHandle& process : kept)
      EXPECT_EQ(::WaitForSingleObject(process.get(), 0), WAIT_OBJECT_0);
    if (c.one_ended) {
      EXPECT_GE(took, 3000u) << "the wait ended before its limit";
      EXPECT_EQ(run.Notes(), StringList{"limit reg export of " + slow +
                                        ": time limit of 3.1 s reached, kept no file"});
    } else {
      // Not at its limit: the wait ended with the last quick one (each takes 0.3 s).
      EXPECT_LT(took, 3000u) << "the wait did not end with the last";
      EXPECT_TRUE(run.Notes().empty());
    }
  }
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
