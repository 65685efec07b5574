#include "archive/archive_names.h"

#include <gtest/gtest.h>

#include <string_view>

namespace kovra {
namespace {

TEST(ArchiveNames, StoredNamesAndPatterns) {
  EXPECT_EQ(
      ZipStoredName("C:\\Users\\anna\\AppData\\Local\\Temp\\GetInfoDir\\Kovra_Debug_Info.txt"),
      "Users/anna/AppData/Local/Temp/GetInfoDir/Kovra_Debug_Info.txt");
  EXPECT_EQ(ZipStoredName("\\\\server\\share\\logs\\a.log"), "logs/a.log");
  EXPECT_EQ(ZipStoredName("d:x.txt"), "x.txt");
  EXPECT_EQ(ZipStoredName("\\top\\x.txt"), "top/x.txt");
  EXPECT_TRUE(IsArchivePattern("C:\\a\\*.*"));
  EXPECT_TRUE(IsArchivePattern("C:\\a\\file?.txt"));
  EXPECT_TRUE(IsArchivePattern("C:\\a\\<ab>.txt"));
  EXPECT_FALSE(IsArchivePattern("C:\\a\\b.txt"));
  EXPECT_FALSE(IsArchivePattern(""));
}

TEST(ArchiveNames, Wildcards) {
  const struct {
    const char *name, *pattern;
    bool matches;
    const char* why;
  } cases[] = {
      {"anything.txt", "*.*", true, ""},
      {"README", "*.*", true, ""},
      {"README", "*", true, ""},
      {"README", "*.", true, "no dot: matched as if it ended with one"},
      {"a.txt", "*.", false, ""},
      {"Shortcut.LNK", "*.lnk", true, ""},
      {"Shortcut.lnk.txt", "*.lnk", false, ""},
      {"log1.txt", "log?.txt", true, ""},
      {"log12.txt", "log?.txt", false, ""},
      {"crash_b.dmp", "crash_<abc>.dmp", true, ""},
      {"crash_7.dmp", "crash_<0-9>.dmp", true, ""},
      {"crash_d.dmp", "crash_<abc>.dmp", false, ""},
      {"a<b", "a<b", true, "an unclosed bracket stands for itself"},
      {"aaa.b.c", "*a*.c", true, ""},
      {"", "*", true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "'" << c.name << "' against '" << c.pattern << "' " << c.why);
    EXPECT_EQ(MatchFileWildcard(std::string_view(c.name), std::string_view(c.pattern)), c.matches);
  }
}

}  // namespace
}  // namespace kovra
