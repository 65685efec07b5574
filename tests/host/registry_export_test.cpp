#include "collectors/common/registry_export.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "collectors/product/product_summary.h"
#include "collectors/common/file_facts.h"
#include "collectors/system/services.h"

namespace kovra {
namespace {

// A registry tree in memory; records the keys opened, in order.
class FakeTree : public RegTreeSource {
 public:
  struct Key {
    std::vector<RegValue> values;
    StringList subkeys;
  };
  std::map<std::string, Key> keys;
  StringList opened;
  std::string current;

  bool Open(const std::string& path) override {
    opened.push_back(path);
    current = keys.count(path) ? path : "";
    return !current.empty();
  }
  std::vector<RegValue> Values() override { return keys[current].values; }
  StringList SubKeyNames() override { return keys[current].subkeys; }
};

RegValue Str(const char* name, const char* data) {
  return {name, RegDataKind::String, data, std::nullopt};
}

FakeTree UninstallTree() {
  FakeTree t;
  t.keys["U"] = {{Str("", "default")}, {"A", "Missing", "B"}};
  t.keys["U\\A"] = {{Str("DisplayIcon", "C:\\A\\b.exe,0"),
                     Str("Quote", "say \"hi\""),
                     {"EstimatedSize", RegDataKind::Integer, "dword:0000FFFF", 0xFFFF},
                     {"Empty", RegDataKind::Binary, "", std::nullopt},
                     {"Deps", RegDataKind::Unknown, "hex:61,00,00,00,00,00", std::nullopt},
                     {"Gone", RegDataKind::Unknown, "kovrareaderror", std::nullopt}},
                    {"Deep"}};
  t.keys["U\\A\\Deep"] = {{{"Path", RegDataKind::ExpandString, "%SystemRoot%\\x", std::nullopt}},
                          {}};
  t.keys["U\\B"] = {};
  return t;
}

TEST(RegistryExport, RegFileLinesInWalkOrder) {
  FakeTree tree = UninstallTree();
  StringList lines{"Windows Registry Editor Version 5.00"};
  ExportRegTree(tree, "U", "HKEY_LOCAL_MACHINE", RegExportStyle::kRegFile, lines);
  EXPECT_EQ(lines, (StringList{
                       "Windows Registry Editor Version 5.00",
                       "",
                       "[HKEY_LOCAL_MACHINE\\U]",
                       "\"\"=\"default\"",
                       "",
                       "[HKEY_LOCAL_MACHINE\\U\\A]",
                       "\"DisplayIcon\"=\"C:\\\\A\\\\b.exe,0\"",
                       "\"Quote\"=\"say \"hi\"\"",
                       "\"EstimatedSize\"=dword:0000FFFF",
                       "\"Empty\"=",
                       "\"Deps\"=hex:61,00,00,00,00,00",
                       "\"Gone\"=kovrareaderror",
                       "",
                       "[HKEY_LOCAL_MACHINE\\U\\A\\Deep]",
                       "\"Path\"=\"%SystemRoot%\\\\x\"",
                       "",
                       "[HKEY_LOCAL_MACHINE\\U\\B]",
                   }));
  // Depth first; a key that does not open is left out with its subtree.
  EXPECT_EQ(tree.opened, (StringList{"U", "U\\A", "U\\A\\Deep", "U\\Missing", "U\\B"}));

  StringList none;
  ExportRegTree(tree, "Nowhere", "HKEY_CURRENT_USER", RegExportStyle::kRegFile, none);
  EXPECT_TRUE(none.empty());
}

TEST(RegistryExport, ServicesDumpKeepsStringsAndDwordsOnly) {
  FakeTree tree;
  tree.keys["S"] = {{}, {"x"}};
  tree.keys["S\\x"] = {{{"ImagePath", RegDataKind::ExpandString,
                         "\\SystemRoot\\System32\\drivers\\x.sys", std::nullopt},
                        {"Start", RegDataKind::Integer, "dword:00000002", 2},
                        {"Broken", RegDataKind::Integer, "kovrareaderror", std::nullopt},
                        {"DependOnService", RegDataKind::Unknown, "hex:41,00", std::nullopt},
                        {"Blob", RegDataKind::Binary, "hex:01", std::nullopt}},
                       {}};
  StringList lines;
  ExportRegTree(tree, "S", "ignored", RegExportStyle::kServices, lines);
  EXPECT_EQ(lines, (StringList{"", "[HKEY_LOCAL_MACHINE\\S]", "", "[HKEY_LOCAL_MACHINE\\S\\x]",
                               "\"ImagePath\"=\"\\SystemRoot\\System32\\drivers\\x.sys\"",
                               "\"Start\"=dword:00000002"}));
}

TEST(RegistryExport, ALinkLoopEndsAtTheNestingLimit) {
  // A key whose only sub-key leads back to itself, as a registry link can.
  class Loop : public RegTreeSource {
   public:
    int opens = 0;
    bool Open(const std::string&) override { return ++opens < 100000; }
    std::vector<RegValue> Values() override { return {}; }
    StringList SubKeyNames() override { return {"again"}; }
  } loop;
  StringList lines;
  ExportRegTree(loop, "L", "HKEY_LOCAL_MACHINE", RegExportStyle::kRegFile, lines);
  EXPECT_EQ(loop.opens, 513);
}

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
  EXPECT_EQ(FixedVersionText(0x00060001, 0x1DB1446A), "6.1.7601.17514");
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

TEST(ProductSummary, BlocksFollowTheGenerationDigits) {
  StringList list;
  AddProductBlock(list, "ZTN", "8.0.1", 1234567, "8.0.1.22");
  EXPECT_EQ(list, (StringList{"====ZTN====", "Display Version:\t8.0.1",
                              "Exefile Version:\t8.0.1.22", "Exefile Size:\t1234567 Bytes", ""}));

  auto keys = [](const GenerationDigits& d) {
    std::vector<std::string> out;
    for (const ProductBlockPlan& p : ProductSummaryPlan(d))
      out.push_back(p.block + "@" + p.key + p.file +
                    (p.date_value.empty() ? "" : "+" + p.date_value));
    return out;
  };
  EXPECT_EQ(keys(GenerationDigits{}),
            (std::vector<std::string>{"ZTN@Zentrix Tune 8_is1\\ztn.exe",
                                      "OD@Orbelo Disk_is1\\Kovra OrbeloDisk.exe",
                                      "ZTN@Zentrix Tune 7_is1\\ZTN.exe",
                                      "Refresher@Zentrix Tune 7_is1\\Refresher.exe+InstallDate",
                                      "ZTNAvSvc@Zentrix Tune 7_is1\\ZTNAvSvc.exe"}));
  const std::vector<std::string> previous = keys(GenerationDigits{"7", "6"});
  EXPECT_EQ(previous[0], "ZTN@Zentrix Tune 7_is1\\ztn.exe");
  EXPECT_EQ(previous[4], "ZTNAvSvc@Zentrix Tune 6_is1\\ZTNAvSvc.exe");
  EXPECT_EQ(TopEditionPathValue(GenerationDigits{}), "ztnpv8uninstallpath");
  EXPECT_EQ(ProductServiceName(GenerationDigits{"7", "6"}), "ZentrixTuneService7");
}

}  // namespace
}  // namespace kovra
