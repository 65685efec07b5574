#include "collectors/system/services.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kovra {
namespace {

TEST(ServicesTable, RowsPadTheNameInCharacters) {
  ServiceRow row;
  row.type = 0x10;
  row.state = 4;
  row.start_type = 2;
  row.binary_path = "C:\\svc.exe";
  row.file_facts = ServiceFileFactsText("6.1.7601.17514", "d41d8cd98f00b204e9800998ecf8427e");
  struct Case {
    std::string name, expected_prefix;
  };
  const Case cases[] = {
      {std::string(30, 'a'), std::string(30, 'a') + " 10  4  0 2 C:\\svc.exe Ver:"},
      {std::string(35, 'b'), std::string(35, 'b') + " 10  4  0 2 C:\\svc.exe Ver:"},
      {"Short", "Short" + std::string(25, ' ') + " 10  4  0 2 C:\\svc.exe Ver:"},
      // Seven Cyrillic letters (14 bytes) are padded by 23 blanks, not 16.
      {"\xD1\x81\xD0\xBB\xD1\x83\xD0\xB6\xD0\xB1\xD0\xB0\x21",
       "\xD1\x81\xD0\xBB\xD1\x83\xD0\xB6\xD0\xB1\xD0\xB0\x21" + std::string(23, ' ') + " 10"},
  };
  for (const Case& c : cases) {
    row.display_name = c.name;
    const std::string text = ServiceRowText(row);
    EXPECT_EQ(text.substr(0, c.expected_prefix.size()), c.expected_prefix) << text;
  }
  row.display_name = "x";
  EXPECT_EQ(ServiceRowText(row), "x" + std::string(29, ' ') +
                                     " 10  4  0 2 C:\\svc.exe Ver:6.1.7601.17514   "
                                     "MD5:d41d8cd98f00b204e9800998ecf8427e");
  // A service whose configuration could not be read.
  ServiceRow unread;
  unread.display_name = "y";
  unread.type = 1;
  unread.state = 1;
  unread.exit_code = 1077;
  EXPECT_EQ(ServiceRowText(unread), "y" + std::string(29, ' ') + " 1  1  1077 -1  ");
}

TEST(ServicesTable, BinaryPathsResolveToTheirFiles) {
  const std::set<std::string> files = {"C:\\Windows\\system32\\drivers\\disk.sys",
                                       "C:\\Windows\\system32\\DRIVERS\\x.sys", "C:\\here.exe"};
  auto exists = [&](const std::string& p) { return files.count(p) > 0; };
  auto expand = [](const std::string& p) {
    const size_t at = p.find("%SystemRoot%");
    return at == std::string::npos ? p : p.substr(0, at) + "C:\\Windows" + p.substr(at + 12);
  };
  struct Case {
    const char *path, *file;
  };
  const Case cases[] = {
      {"\\??\\C:\\here.exe", "C:\\here.exe"},
      {"\\SystemRoot\\system32\\drivers\\disk.sys", "C:\\Windows\\system32\\drivers\\disk.sys"},
      {"\\systemroot\\system32\\drivers\\disk.sys", "C:\\Windows\\system32\\drivers\\disk.sys"},
      {"system32\\DRIVERS\\x.sys", "C:\\Windows\\system32\\DRIVERS\\x.sys"},
      {"SysWOW64\\y.sys", "C:\\Windows\\SysWOW64\\y.sys"},
      // A command line names no file; it goes through expansion unchanged.
      {"C:\\Windows\\system32\\svchost.exe -k netsvcs",
       "C:\\Windows\\system32\\svchost.exe -k netsvcs"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ResolveServiceFilePath(c.path, exists, expand), c.file) << c.path;
  // An expansion that fails leaves the path as it was completed.
  EXPECT_EQ(ResolveServiceFilePath("System32\\z.sys", exists,
                                   [](const std::string&) { return std::string(); }),
            "%SystemRoot%\\System32\\z.sys");
}

}  // namespace
}  // namespace kovra
