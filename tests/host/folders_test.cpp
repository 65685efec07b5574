#include "platform/folders.h"

#include <gtest/gtest.h>

namespace kovra {
namespace {

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
  const struct {
    int csidl;
    bool wow64;
    const char* variable;
  } variables[] = {{26, false, "APPDATA"},
                   {28, true, "LOCALAPPDATA"},
                   {35, true, "ProgramData"},
                   {38, true, "ProgramFiles(x86)"},
                   {38, false, "ProgramFiles"},
                   {43, true, "CommonProgramFiles(x86)"},
                   {43, false, "CommonProgramFiles"},
                   {16, false, ""}};
  for (const auto& c : variables) {
    SCOPED_TRACE(testing::Message() << c.csidl << (c.wow64 ? " wow64" : ""));
    EXPECT_EQ(SpecialFolderVariable(c.csidl, c.wow64), c.variable);
  }

  // New layout (Vista and later) and old layout (major version 5 and below).
  const struct {
    int csidl;
    const char* drive;
    unsigned major;
    bool wow64;
    const char* folder;
  } built[] = {
      {26, "C:", 6, false, "C:\\Users\\Bob\\AppData\\Roaming"},
      {26, "C:", 5, false, "C:\\Documents and Settings\\Bob\\Application Data"},
      {28, "D:", 10, false, "D:\\Users\\Bob\\AppData\\Local"},
      {28, "C:", 5, false, "C:\\Documents and Settings\\Bob\\Local Settings\\Application Data"},
      {35, "C:", 6, false, "C:\\ProgramData"},
      {35, "C:", 5, false, "C:\\Documents and Settings\\All Users\\Application Data"},
      {38, "C:", 5, true, "C:\\Program Files (x86)"},
      {38, "C:", 5, false, "C:\\Program Files"},
      {43, "C:", 5, true, "C:\\Program Files (x86)\\Common Files"},
      {43, "C:", 5, false, "C:\\Program Files\\Common Files"},
      {38, "C:", 10, true, "C:\\Program Files (x86)"},
      {38, "C:", 10, false, "C:\\Program Files"},
      {43, "C:", 10, true, "C:\\Program Files (x86)\\Common Files"},
      {43, "C:", 10, false, "C:\\Program Files\\Common Files"},
      {16, "C:", 10, false, ""},
  };
  for (const auto& c : built) {
    SCOPED_TRACE(testing::Message()
                 << c.csidl << " " << c.drive << " " << c.major << (c.wow64 ? " wow64" : ""));
    EXPECT_EQ(BuiltSpecialFolder(c.csidl, c.drive, "Bob", c.major, c.wow64), c.folder);
  }

  const struct {
    bool all_users;
    unsigned major;
    const char* folder;
  } app_data[] = {
      {true, 6, "C:\\ProgramData"},
      {false, 6, "C:\\Users\\Bob\\AppData\\Roaming"},
      {true, 5, "C:\\Documents and Settings\\All Users\\Application Data"},
      {false, 5, "C:\\Documents and Settings\\Bob\\Application Data"},
  };
  for (const auto& c : app_data) {
    SCOPED_TRACE(testing::Message() << (c.all_users ? "all users " : "user ") << c.major);
    EXPECT_EQ(BuiltAppDataFolder(c.all_users, "C:", "Bob", c.major), c.folder);
  }
}

TEST(FolderRules, OsGenerationRows) {
  const struct {
    bool nt;
    unsigned major, minor, type, arch;
    int generation;
    const char* what;
  } rows[] = {
      {false, 4, 10, 1, 0, 1, "Windows 98"},
      {true, 3, 51, 1, 0, 2, "NT 3.51"},
      {true, 4, 0, 1, 0, 2, "NT 4"},
      {true, 5, 0, 1, 0, 3, "2000"},
      {true, 5, 1, 1, 0, 4, "XP"},
      {true, 5, 2, 1, 9, 4, "XP x64"},
      {true, 5, 2, 3, 9, 5, "Server 2003 x64"},
      {true, 5, 2, 1, 0, 5, "5.2"},
      {true, 6, 0, 1, 0, 6, "Vista"},
      {true, 6, 1, 1, 0, 7, "7"},
      {true, 6, 2, 1, 0, 8, "8"},
      {true, 6, 3, 1, 0, 8, "8.1"},
      {true, 6, 4, 1, 0, 10, "6.4"},
      {true, 10, 0, 1, 0, 10, "10"},
      {true, 11, 0, 1, 0, 10, "11"},
      {true, 6, 5, 1, 0, 0, "6.5"},
      {true, 5, 3, 1, 0, 0, "5.3"},
      {true, 2, 0, 1, 0, 0, "2.0"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(static_cast<int>(OsGenerationOf({r.nt, r.major, r.minor, r.type, r.arch})),
              r.generation);
  }
}

}  // namespace
}  // namespace kovra
