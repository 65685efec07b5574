// systeminfo's capture through the stand-in over systeminfo.exe (installed by the test fixture):
// the header, a hanging program, the capture started ahead.
#include <gtest/gtest.h>

#include "base/string_list.h"
#include "collectors/system/system_info_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "test_run_log_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

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
}  // namespace
}  // namespace kovra::win
