// The registry export writer's walk on Wine's real registry (a 64-bit prefix: the tests run
// under WOW64).
#include <windows.h>

#include <gtest/gtest.h>

#include "base/string_list.h"
#include "collectors/common/registry_export_win.h"
#include "platform/handles_win.h"
#include "platform/registry_win.h"
#include "platform/wow64_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

// A 64-bit tree with a sub-key named like the mirror.
class RegistryExportTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(IsWow64()) << "the tests expect a 64-bit prefix";
    UniqueHkey tree =
        CreateTestKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KovraTree\\A\\Deep", KEY_WOW64_64KEY);
    SetTextValue(tree.get(), L"DisplayIcon", L"C:\\A\\b.exe,0");
    UniqueHkey mirror = CreateTestKey(HKEY_LOCAL_MACHINE,
                                      L"SOFTWARE\\KovraTree\\Wow6432Node\\Hidden", KEY_WOW64_64KEY);
    UniqueHkey b = CreateTestKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KovraTree\\B", KEY_WOW64_64KEY);
    const DWORD two = 2;
    ::RegSetValueExW(b.get(), L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&two), 4);
  }
  void TearDown() override {
    DeleteTestTree(HKEY_LOCAL_MACHINE, L"SOFTWARE", L"KovraTree", KEY_WOW64_64KEY);
  }
};

TEST_F(RegistryExportTest, TreesInWalkOrderWithoutTheMirror) {
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
}

}  // namespace
}  // namespace kovra::win
