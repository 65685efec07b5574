#include "collectors/common/registry_export.h"

#include <gtest/gtest.h>

#include <map>

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

}  // namespace
}  // namespace kovra
