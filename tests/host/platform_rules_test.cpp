#include <gtest/gtest.h>

#include "platform/folders.h"
#include "platform/registry_text.h"

namespace kovra {
namespace {

TEST(RegistryRules, ViewSelectionPerPath) {
  constexpr uint32_t kRead = 0x00020019;
  // Under WOW64 with automatic views: the 64-bit view unless the path names Wow6432Node.
  EXPECT_EQ(SelectRegistryView(kRead, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", "",
                               true, true),
            kRead | 0x0100);
  EXPECT_EQ(SelectRegistryView(kRead | 0x0100,
                               "SOFTWARE\\wOW6432nODE\\Microsoft\\Windows\\CurrentVersion", "",
                               true, true),
            kRead);
  // A relative path is tested after the open key's path.
  EXPECT_EQ(SelectRegistryView(kRead | 0x0100, "Vendor", "SOFTWARE\\Wow6432Node", true, true),
            kRead);
  EXPECT_EQ(SelectRegistryView(kRead, "\\SOFTWARE\\Vendor", "SOFTWARE\\Wow6432Node", true, true),
            kRead | 0x0100);
  // Not WOW64, or automatic views off: the mask stays, whatever it holds.
  EXPECT_EQ(SelectRegistryView(kRead, "SOFTWARE\\X", "", false, true), kRead);
  EXPECT_EQ(SelectRegistryView(kRead | 0x0100, "SOFTWARE\\Wow6432Node\\X", "", true, false),
            kRead | 0x0100);
  // KEY_WOW64_32KEY is never set.
  EXPECT_EQ(SelectRegistryView(kRead, "SOFTWARE\\Wow6432Node", "", true, true) & 0x0200, 0u);
}

TEST(RegistryRules, EnumerationFilterKindsAndValueText) {
  EXPECT_TRUE(IsWow6432NodeName("Wow6432Node"));
  EXPECT_TRUE(IsWow6432NodeName(" WOW6432NODE "));
  EXPECT_TRUE(IsWow6432NodeName("\twow6432node"));
  EXPECT_FALSE(IsWow6432NodeName("Wow6432Nodes"));
  EXPECT_FALSE(IsWow6432NodeName("   "));
  EXPECT_FALSE(IsWow6432NodeName("Microsoft"));

  EXPECT_EQ(RegKindFromType(1), RegDataKind::String);
  EXPECT_EQ(RegKindFromType(2), RegDataKind::ExpandString);
  EXPECT_EQ(RegKindFromType(3), RegDataKind::Binary);
  EXPECT_EQ(RegKindFromType(4), RegDataKind::Integer);
  for (uint32_t other : {0u, 5u, 6u, 7u, 8u, 9u, 10u, 11u, 0xFFFFu})
    EXPECT_EQ(RegKindFromType(other), RegDataKind::Unknown) << other;

  EXPECT_EQ(RegDwordText(31), "dword:0000001F");
  EXPECT_EQ(RegDwordText(0xFFFFFFFF), "dword:FFFFFFFF");
  EXPECT_EQ(RegDwordText(0), "dword:00000000");
  const uint8_t bytes[] = {1, 171, 0};
  EXPECT_EQ(RegHexText(bytes, 3), "hex:01,AB,00");
  const uint8_t multi_a[] = {0x61, 0, 0, 0, 0, 0};  // REG_MULTI_SZ "a" in UTF-16
  EXPECT_EQ(RegHexText(multi_a, 6), "hex:61,00,00,00,00,00");
  std::vector<uint8_t> long_value(300, 0xEE);
  const std::string text = RegHexText(long_value.data(), long_value.size());
  EXPECT_EQ(text.size(), 4 + 300 * 3 - 1);  // one line, no continuation
  EXPECT_EQ(text.find('\n'), std::string::npos);
}

TEST(FolderRules, SystemAndCommonPathTables) {
  const struct {
    int kind, csidl;
  } shell_rows[] = {{3, 32},  {4, 33},  {5, 34},  {6, 8},   {7, 16},  {8, 2},   {9, 6},   {10, 7},
                    {11, 40}, {12, 26}, {13, 28}, {15, 38}, {16, 43}, {17, 11}, {18, 35}, {19, 28},
                    {20, 20}, {21, 21}, {22, 19}, {23, 9},  {24, 13}, {25, 14}, {26, 27}, {27, 39},
                    {28, 41}, {29, 42}, {30, 43}, {31, 44}, {32, 48}, {33, 56}, {34, 59}, {35, 5}};
  for (const auto& row : shell_rows) {
    const SystemPathKind k = SystemPathKindOf(static_cast<SystemFolder>(row.kind));
    EXPECT_EQ(k.source, SystemPathSource::kShell) << row.kind;
    EXPECT_EQ(k.csidl, row.csidl) << row.kind;
  }
  EXPECT_EQ(SystemPathKindOf(SystemFolder::kWindows).source, SystemPathSource::kWindowsDirectory);
  EXPECT_EQ(SystemPathKindOf(SystemFolder::kSystem).source, SystemPathSource::kSystemDirectory);
  EXPECT_EQ(SystemPathKindOf(SystemFolder::kTemp).source, SystemPathSource::kTempPath);
  for (int none : {14, 36, 100, -1})
    EXPECT_EQ(SystemPathKindOf(static_cast<SystemFolder>(none)).source, SystemPathSource::kNone)
        << none;

  const int common[] = {35, 25, 23, 22, 31, 22, 24, 45, 46, 47, 53, 54, 55};
  for (int kind = 0; kind < 13; ++kind)
    EXPECT_EQ(CommonPathCsidl(kind), common[kind]) << kind;
  EXPECT_EQ(CommonPathCsidl(13), -1);
  EXPECT_EQ(CommonPathCsidl(-1), -1);
}

TEST(FolderRules, SpecialFolderFallbacks) {
  EXPECT_EQ(SpecialFolderVariable(26, false), "APPDATA");
  EXPECT_EQ(SpecialFolderVariable(28, true), "LOCALAPPDATA");
  EXPECT_EQ(SpecialFolderVariable(35, true), "ProgramData");
  EXPECT_EQ(SpecialFolderVariable(38, true), "ProgramFiles(x86)");
  EXPECT_EQ(SpecialFolderVariable(38, false), "ProgramFiles");
  EXPECT_EQ(SpecialFolderVariable(43, true), "CommonProgramFiles(x86)");
  EXPECT_EQ(SpecialFolderVariable(43, false), "CommonProgramFiles");
  EXPECT_EQ(SpecialFolderVariable(16, false), "");

  // New layout (Vista and later) and old layout (major version 5 and below).
  EXPECT_EQ(BuiltSpecialFolder(26, "C:", "Bob", 6, false), "C:\\Users\\Bob\\AppData\\Roaming");
  EXPECT_EQ(BuiltSpecialFolder(26, "C:", "Bob", 5, false),
            "C:\\Documents and Settings\\Bob\\Application Data");
  EXPECT_EQ(BuiltSpecialFolder(28, "D:", "Bob", 10, false), "D:\\Users\\Bob\\AppData\\Local");
  EXPECT_EQ(BuiltSpecialFolder(28, "C:", "Bob", 5, false),
            "C:\\Documents and Settings\\Bob\\Local Settings\\Application Data");
  EXPECT_EQ(BuiltSpecialFolder(35, "C:", "Bob", 6, false), "C:\\ProgramData");
  EXPECT_EQ(BuiltSpecialFolder(35, "C:", "Bob", 5, false),
            "C:\\Documents and Settings\\All Users\\Application Data");
  for (unsigned major : {5u, 10u}) {
    EXPECT_EQ(BuiltSpecialFolder(38, "C:", "Bob", major, true), "C:\\Program Files (x86)");
    EXPECT_EQ(BuiltSpecialFolder(38, "C:", "Bob", major, false), "C:\\Program Files");
    EXPECT_EQ(BuiltSpecialFolder(43, "C:", "Bob", major, true),
              "C:\\Program Files (x86)\\Common Files");
    EXPECT_EQ(BuiltSpecialFolder(43, "C:", "Bob", major, false), "C:\\Program Files\\Common Files");
  }
  EXPECT_EQ(BuiltSpecialFolder(16, "C:", "Bob", 10, false), "");

  EXPECT_EQ(BuiltAppDataFolder(true, "C:", "Bob", 6), "C:\\ProgramData");
  EXPECT_EQ(BuiltAppDataFolder(false, "C:", "Bob", 6), "C:\\Users\\Bob\\AppData\\Roaming");
  EXPECT_EQ(BuiltAppDataFolder(true, "C:", "Bob", 5),
            "C:\\Documents and Settings\\All Users\\Application Data");
  EXPECT_EQ(BuiltAppDataFolder(false, "C:", "Bob", 5),
            "C:\\Documents and Settings\\Bob\\Application Data");
}

TEST(FolderRules, OsGenerationRows) {
  auto gen = [](bool nt, unsigned major, unsigned minor, unsigned type = 1, unsigned arch = 0) {
    return static_cast<int>(OsGenerationOf({nt, major, minor, type, arch}));
  };
  EXPECT_EQ(gen(false, 4, 10), 1);
  EXPECT_EQ(gen(true, 3, 51), 2);
  EXPECT_EQ(gen(true, 4, 0), 2);
  EXPECT_EQ(gen(true, 5, 0), 3);
  EXPECT_EQ(gen(true, 5, 1), 4);
  EXPECT_EQ(gen(true, 5, 2, 1, 9), 4);  // XP x64
  EXPECT_EQ(gen(true, 5, 2, 3, 9), 5);  // Server 2003 x64
  EXPECT_EQ(gen(true, 5, 2, 1, 0), 5);
  EXPECT_EQ(gen(true, 6, 0), 6);
  EXPECT_EQ(gen(true, 6, 1), 7);
  EXPECT_EQ(gen(true, 6, 2), 8);
  EXPECT_EQ(gen(true, 6, 3), 8);
  EXPECT_EQ(gen(true, 6, 4), 10);
  EXPECT_EQ(gen(true, 10, 0), 10);
  EXPECT_EQ(gen(true, 11, 0), 10);
  EXPECT_EQ(gen(true, 6, 5), 0);
  EXPECT_EQ(gen(true, 5, 3), 0);
  EXPECT_EQ(gen(true, 2, 0), 0);
}

}  // namespace
}  // namespace kovra
