#include "collectors/product/product_files.h"

#include <gtest/gtest.h>

namespace kovra {
namespace {

TEST(ProductFolder, CluesGiveTheirFolders) {
  EXPECT_EQ(FolderBeforeQuarantine("C:\\Data\\Antivirus\\BackupRec\\"), "C:\\Data\\");
  EXPECT_EQ(FolderBeforeQuarantine("D:\\q\\ANTIVIRUS\\bakcuprec"), "D:\\q\\");
  EXPECT_EQ(FolderBeforeQuarantine("C:\\Data\\Quarantine\\"), "");
}

TEST(ProductInventory, FilterAndLines) {
  const std::vector<std::string> exts = ExtensionFilter("*.exe|*.dll|*.sys");
  EXPECT_EQ(exts, (std::vector<std::string>{".exe", ".dll", ".sys"}));
  struct Case {
    const char* name;
    bool passes;
  };
  const Case cases[] = {{"ztn.exe", true},     {"ZTN.EXE", true},        {"filter.sys", true},
                        {"Readme.txt", false}, {"noextension", false},   {"a.exe.bak", false},
                        {"lib.Dll", true},     {"archive.tar.dll", true}};
  for (const Case& c : cases)
    EXPECT_EQ(PassesExtensionFilter(c.name, exts), c.passes) << c.name;
  EXPECT_TRUE(PassesExtensionFilter("anything", ExtensionFilter("")));
  EXPECT_EQ(InventoryLine("Drivers\\filter.sys", "1.2.3.4", "0123456789abcdef0123456789abcdef",
                          "09.12.2026 07:31:47"),
            "Drivers\\filter.sys   Ver:1.2.3.4   MD5:0123456789abcdef0123456789abcdef   "
            "DT:09.12.2026 07:31:47");
  EXPECT_EQ(RelativeTo("C:\\P\\APP\\Drivers\\x.sys", "C:\\P\\App\\"), "Drivers\\x.sys");
  EXPECT_EQ(RelativeTo("D:\\other.sys", "C:\\P\\App\\"), "D:\\other.sys");
}

TEST(LogCollection, MacrosExpandToTheirFoldersAndTargets) {
  const MacroFolders f{"",
                       "C:\\Users\\a\\AppData\\Roaming",
                       "C:\\ProgramData",
                       "C:\\Program Files (x86)\\",
                       "C:\\Windows",
                       "Zentrix Tune V8"};
  MacroExpansion e;
  ASSERT_TRUE(ExpandMacroPattern("%PulseSync%\\*.log", f, "C:\\Temp\\GetInfoDir", e));
  EXPECT_EQ(e.pattern, "C:\\Program Files (x86)\\Kovra\\PulseSync\\*.log");
  EXPECT_EQ(e.base, "C:\\Program Files (x86)\\Kovra\\PulseSync\\");
  EXPECT_EQ(e.target_prefix, "C:\\Temp\\GetInfoDir\\PulseSync\\");
  ASSERT_TRUE(ExpandMacroPattern("%ProgramData%\\kovra\\Zentrix Tune V8\\*.db", f, "S\\", e));
  EXPECT_EQ(e.pattern, "C:\\ProgramData\\kovra\\Zentrix Tune V8\\*.db");
  EXPECT_EQ(e.base, "C:\\ProgramData\\kovra\\Zentrix Tune V8\\");
  EXPECT_EQ(e.target_prefix, "S\\ProgramData\\");
  ASSERT_TRUE(ExpandMacroPattern("%minidump%\\*.dmp", f, "S\\", e));
  EXPECT_EQ(e.pattern, "C:\\Windows\\Minidump\\*.dmp");
  // %AppPath% without a product folder, and a pattern without a macro: nothing to copy.
  EXPECT_FALSE(ExpandMacroPattern("%AppPath%\\*.log", f, "S\\", e));
  EXPECT_FALSE(ExpandMacroPattern("C:\\x\\*.log", f, "S\\", e));
}

}  // namespace
}  // namespace kovra
