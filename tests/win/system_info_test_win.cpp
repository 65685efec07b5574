// systeminfo's capture through the stand-in over systeminfo.exe (installed by the test fixture):
// the header, a hanging program, the capture started ahead.
#include <gtest/gtest.h>

#include "base/string_list.h"
#include "base/text.h"
#include "collectors/system/system_info_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "test_run_log_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

// SystemInfo_*.txt files in a folder (removed where asked).
size_t SystemInfoLeftovers(const std::string& folder, bool remove) {
  size_t n = 0;
  WIN32_FIND_DATAW d;
  const std::wstring temp = Widen(IncludeTrailingBackslash(folder));
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
  SystemInfoLeftovers(TempFolder(), true);  // from runs of older versions of the tool
  TestRunLog run;
  const StringList info = CaptureSystemInfo(fake.Folder(), run.log, never);
  EXPECT_TRUE(run.Notes().empty());
  ASSERT_GE(info.size(), 5u);
  EXPECT_FALSE(info[0].empty());
  EXPECT_EQ(info[1], "");
  EXPECT_EQ(info[2], "===== System =====");
  EXPECT_EQ(info[3], "");
  EXPECT_EQ(info[4], "Host Name:                 KOVRA-PC");
  EXPECT_EQ(info.back(), "                           [02]: KB5032189");
  EXPECT_EQ(SystemInfoLeftovers(fake.Folder(), false), 0u) << "the output file stays";
  EXPECT_EQ(SystemInfoLeftovers(TempFolder(), false), 0u) << "written in the user's temp folder";
}

TEST(SystemInfo, AHangingProgramIsEndedAndTheHeaderStays) {
  FakeDir fake("sysinfo-hang");
  fake.Put("hang-systeminfo", "");
  const ULONGLONG start = ::GetTickCount64();
  TestRunLog run;
  const StringList info = CaptureSystemInfo(fake.Folder(), run.log, never, 2000);
  EXPECT_EQ(run.Notes(),
            StringList{"limit systeminfo: time limit of 2 s reached, kept the output so far"});
  EXPECT_LT(::GetTickCount64() - start, 15000u);
  ASSERT_GE(info.size(), 3u);
  EXPECT_EQ(info[2], "===== System =====");
  for (int i = 0; i < 50 && CountProcesses("systeminfo.exe") > 0; ++i)
    ::Sleep(100);
  EXPECT_EQ(CountProcesses("systeminfo.exe"), 0u);
  EXPECT_EQ(SystemInfoLeftovers(fake.Folder(), false), 0u) << "the output file stays";
}

TEST(SystemInfo, StartedAheadThenCollectedOrDropped) {
  FakeDir fake("sysinfo-ahead");
  // The stand-in takes its time, then prints and says so in its log: Collect() after that has
  // nothing left to wait for, while one that started the program only then would wait 3 s.
  fake.Put("systeminfo-delay.txt", "3000");
  {
    TestRunLog run;
    SystemInfoCapture ahead(fake.Folder(), never);
    // Other stages at work meanwhile, until the program has ended (60 s at most).
    for (int i = 0; i < 600 && CountProcesses("systeminfo.exe") == 0; ++i)
      ::Sleep(100);
    for (int i = 0; i < 600 && CountProcesses("systeminfo.exe") > 0; ++i)
      ::Sleep(100);
    const ULONGLONG start = ::GetTickCount64();
    const StringList info = ahead.Collect(run.log);
    EXPECT_LT(::GetTickCount64() - start, 2500u) << "it did not run while we waited";
    ASSERT_GE(info.size(), 5u);
    EXPECT_EQ(info[4], "Host Name:                 KOVRA-PC");
  }
  // A capture dropped while systeminfo still runs ends it and leaves no file.
  fake.Put("systeminfo-delay.txt", "60000");
  { SystemInfoCapture dropped(fake.Folder(), never); }
  EXPECT_EQ(CountProcesses("systeminfo.exe"), 0u);
  EXPECT_EQ(SystemInfoLeftovers(fake.Folder(), false), 0u) << "the output file stays";
}
}  // namespace
}  // namespace kovra::win
