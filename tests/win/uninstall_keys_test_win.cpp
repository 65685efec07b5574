// The Uninstall export on Wine's real registry: the maker's key from the 32-bit view, the roots
// in order, and keys that deny writing (a 64-bit prefix: the tests run under WOW64).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "base/string_list.h"
#include "collectors/product/uninstall_keys_win.h"
#include "platform/handles_win.h"
#include "platform/wow64_win.h"
#include "read_only_keys_win.h"
#include "test_run_log_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

class UninstallKeysTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(IsWow64()) << "the tests expect a 64-bit prefix";
    // The maker's key in both views, told apart by a value.
    UniqueHkey maker32 = CreateTestKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kovra", KEY_WOW64_32KEY);
    SetTextValue(maker32.get(), L"view", L"32");
    UniqueHkey maker64 = CreateTestKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kovra", KEY_WOW64_64KEY);
    SetTextValue(maker64.get(), L"view", L"64");
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
      DeleteTestTree(HKEY_LOCAL_MACHINE, L"SOFTWARE", L"Kovra", view);
    if (user_had_uninstall_)
      DeleteTestTree(HKEY_CURRENT_USER, kUserUninstall, L"KovraUserApp", KEY_WOW64_64KEY);
    else
      DeleteTestTree(HKEY_CURRENT_USER, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                     L"Uninstall", KEY_WOW64_64KEY);
  }
  static constexpr wchar_t kUserUninstall[] =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  bool user_had_uninstall_ = false;
};

TEST_F(UninstallKeysTest, TheMakersKeyFromThe32BitViewAndTheRootsInOrder) {
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

class ReadOnlyUninstallKeysTest : public ReadOnlyKeysTest {};

TEST_F(ReadOnlyUninstallKeysTest, ExportReadsKeysThatDenyWriting) {
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
}

}  // namespace
}  // namespace kovra::win
