// File facts (version and digest from one open) against the system's own answers (a 64-bit
// prefix: the tests run under WOW64, the native system folder read without redirection).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "collectors/common/file_facts_win.h"
#include "crypto/crypto_files_win.h"
#include "platform/files_win.h"
#include "platform/staging_folder_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "platform/wow64_win.h"
#include "own_view_win.h"

namespace kovra::win {
namespace {

// The version and digest the inventory takes from one open are the system's answers, for the
// system's own libraries (32-bit and, without redirection, 64-bit), the test programs, files
// that are no programs and cut copies of a program.
TEST(FileVersionAndDigest, TheSystemsAnswersForEveryKindOfFile) {
  const std::string scratch = TempFolder() + "kovra-versions\\";
  EXPECT_TRUE(ForceDirectories(scratch));
  std::vector<std::string> files;
  for (const char* name : {"version_none.exe", "version_no_fileversion.exe",
                           "version_other_table.exe", "..\\GetKovraInfo.exe"})
    files.push_back(ExeFolder() + name);
  WriteFileBytes(scratch + "empty.dll", "");
  WriteFileBytes(scratch + "text.dll", std::string(5000, 'x'));
  const std::string program = ReadFileBytes(ExeFolder() + "version_other_table.exe");
  for (size_t size : {size_t{1000}, program.size() / 2, program.size() - 1}) {
    WriteFileBytes(scratch + "cut" + std::to_string(size) + ".dll", program.substr(0, size));
    files.push_back(scratch + "cut" + std::to_string(size) + ".dll");
  }
  files.push_back(scratch + "empty.dll");
  files.push_back(scratch + "text.dll");
  const auto system_libraries = [&files](const std::string& folder) {
    WIN32_FIND_DATAW d;
    UniqueFindHandle find(::FindFirstFileW(Widen(folder + "*.dll").c_str(), &d));
    for (int n = 0; find && n < 120; ++n) {
      files.push_back(folder + Narrow(d.cFileName));
      if (!::FindNextFileW(find.get(), &d))
        break;
    }
  };
  wchar_t system[MAX_PATH] = {};
  ::GetSystemDirectoryW(system, MAX_PATH);
  system_libraries(IncludeTrailingBackslash(Narrow(system)));
  const size_t own_view = files.size();
  int read_by_us = 0;
  const auto check = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
      const FileVersionAndDigest facts = GetFileVersionAndDigest(files[i]);
      EXPECT_EQ(facts.version, FileVersionText(files[i])) << files[i];
      EXPECT_EQ(facts.md5, GetFileMD5(files[i])) << files[i];
      read_by_us += GetFileMD5AndVersion(files[i]).version.find != PeVersionFind::kUnknown;
    }
  };
  check(0, own_view);
  if (InA64BitPrefix()) {
    ScopedWow64RedirectionOff native;
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    system_libraries(IncludeTrailingBackslash(Narrow(windows)) + "system32\\");
    check(own_view, files.size());
  }
  // The system's libraries are plain PE images: nearly all are read without asking the system.
  EXPECT_GT(read_by_us, static_cast<int>(files.size() / 2));
  (void)RemoveTreeNoFollow(scratch);
}

}  // namespace
}  // namespace kovra::win
