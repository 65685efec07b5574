#include "app/report_path.h"

#include <gtest/gtest.h>

namespace kovra {
namespace {

// A stand-in for the platform's case mapping: ASCII, Latin-1 and the basic Cyrillic letters.
std::u16string Upper(std::u16string_view s) {
  std::u16string r(s);
  for (char16_t& c : r) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
        (c >= 0x430 && c <= 0x44F))
      c = static_cast<char16_t>(c - 0x20);
    else if (c >= 0x450 && c <= 0x45F)
      c = static_cast<char16_t>(c - 0x50);
  }
  return r;
}

TEST(ReportFolder, OwnerReplacedBySessionUserBetweenBackslashes) {
  struct Case {
    const char *folder, *session, *owner, *expected;
  };
  const Case cases[] = {
      {"C:\\Users\\admin\\Desktop", "anna", "admin", "C:\\Users\\anna\\Desktop"},
      // Case ignored; every occurrence replaced.
      {"C:\\Users\\ADMIN\\x\\Admin\\Desktop", "anna", "admin", "C:\\Users\\anna\\x\\anna\\Desktop"},
      // Case of any letter, by the platform's mapping: Cyrillic and Latin-1 names.
      {"C:\\Users\\\xD0\x90\xD0\xB4\xD0\xBC\xD0\xB8\xD0\xBD\\Desktop", "anna",
       "\xD0\xB0\xD0\xB4\xD0\xBC\xD0\xB8\xD0\xBD", "C:\\Users\\anna\\Desktop"},
      {"C:\\Users\\\xC3\x84nna\\Desktop", "bob", "\xC3\xA4nna", "C:\\Users\\bob\\Desktop"},
      // The same user in another letter case, Cyrillic included: unchanged.
      {"C:\\Users\\Admin\\Desktop", "ADMIN", "admin", "C:\\Users\\Admin\\Desktop"},
      {"C:\\Users\\\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\\Desktop", "\xD0\x98\xD0\x92\xD0\x90\xD0\x9D",
       "\xD0\xB8\xD0\xB2\xD0\xB0\xD0\xBD", "C:\\Users\\\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\\Desktop"},
      // Owner name not between backslashes: a prefix, a suffix, or at the end.
      {"C:\\Users\\administrator\\Desktop", "anna", "admin", "C:\\Users\\administrator\\Desktop"},
      {"C:\\Users\\myadmin\\Desktop", "anna", "admin", "C:\\Users\\myadmin\\Desktop"},
      {"C:\\Users\\admin", "anna", "admin", "C:\\Users\\admin"},
      // Unknown names.
      {"C:\\Users\\admin\\Desktop", "", "admin", "C:\\Users\\admin\\Desktop"},
      {"C:\\Users\\admin\\Desktop", "anna", "", "C:\\Users\\admin\\Desktop"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(AdjustReportFolder(c.folder, c.session, c.owner, Upper), c.expected) << c.folder;
}

TEST(ReportFileName, FolderAndDateText) {
  EXPECT_EQ(ReportFileName("C:\\Users\\anna\\Desktop", "20261209"),
            "C:\\Users\\anna\\Desktop\\nf_logs_20261209.log");
  EXPECT_EQ(ReportFileName("C:\\", "0"), "C:\\nf_logs_0.log");
}

}  // namespace
}  // namespace kovra
