// The OS summary gathered for real under Wine, checked by shape where Wine's values vary and
// against the system's own answers where they do not.
#include <gtest/gtest.h>

#include <windows.h>

#include <iostream>

#include "base/string_list.h"
#include "base/text.h"
#include "collectors/system/os_summary_win.h"
#include "platform/win_text_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

// A value of the system's own version key, read here without the code under test.
std::string CurrentVersionValue(const wchar_t* name) {
  wchar_t buffer[256] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  ::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", name,
                 RRF_RT_REG_SZ, nullptr, buffer, &size);
  return Narrow(buffer);
}

TEST(OsSummaryUnderWine, CompleteAndConsistent) {
  const StringList lines = CollectOSSummary();
  for (const std::string& l : lines)
    std::cout << l << "\n";
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[0], StarRule());
  // The product name and version as the system's version key states them.
  std::string product = CurrentVersionValue(L"ProductName");
  if (StartsWithTextAscii(product, "Microsoft "))
    product = product.substr(10);
  EXPECT_TRUE(StartsWithTextAscii(lines[1], "OS Name:\t" + product + " ")) << lines[1];
  EXPECT_NE(lines[1].find(" x64"), std::string::npos);  // a 64-bit prefix
  EXPECT_EQ(lines[2], "OS Version:\t" + CurrentVersionValue(L"CurrentVersion") + "." +
                          CurrentVersionValue(L"CurrentBuildNumber"));
  EXPECT_EQ(lines[3], "SP Version:\t" + CurrentVersionValue(L"CSDVersion"));
  EXPECT_TRUE(Matches(lines[4], "system lan:\t.+"));
  EXPECT_TRUE(Matches(lines[5], "ComputerName:\t[^\\x00]+")) << lines[5];
  EXPECT_EQ(lines[6], "OS Type:\t64bit");
  EXPECT_TRUE(Matches(lines[7], "Memory Size:\t[1-9][0-9]* MB"));
  EXPECT_TRUE(Matches(lines[8], "Free Size:\t[0-9]+ MB"));
  EXPECT_TRUE(Matches(lines[9], "VMemory Size:\t[1-9][0-9]* MB"));
  EXPECT_TRUE(Matches(lines[10], "VFree Size:\t[0-9]+ MB"));
  EXPECT_TRUE(Matches(lines[11], "VFreeExt Size:\t[0-9]+ MB"));
  EXPECT_TRUE(Matches(lines[12], "PF Size:\t[0-9]+ MB"));
  EXPECT_TRUE(Matches(lines[13], "PF Free:\t[0-9]+ MB"));
  EXPECT_EQ(lines[14], "System Drive:\tC:");
  EXPECT_TRUE(Matches(lines[15], "Total Space:\t[0-9]+\\.[0-9]{2} GB"));
  EXPECT_TRUE(Matches(lines[16], "Free Space:\t[0-9]+\\.[0-9]{2} GB"));
  // One user runs everything in the test prefix: the session's and the process's are the same.
  wchar_t user[256] = {};
  DWORD user_size = 256;
  ASSERT_TRUE(::GetUserNameW(user, &user_size));
  EXPECT_EQ(lines[17], "Cur Users:\t" + Narrow(user) + "[" + Narrow(user) + "]");
  EXPECT_TRUE(Matches(lines[18], "User Level:\t[0-9A-F]{4,}")) << lines[18];
  EXPECT_EQ(lines[19], "");
}
}  // namespace
}  // namespace kovra::win
