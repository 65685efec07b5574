#include "platform/registry_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kovra {
namespace {

TEST(RegistryRules, ViewSelectionPerPath) {
  constexpr uint32_t kRead = 0x00020019;
  const struct {
    const char* why;
    uint32_t access;
    const char *path, *open_path;
    bool wow64, automatic;
    uint32_t view;
  } cases[] = {
      // Under WOW64 with automatic views: the 64-bit view unless the path names Wow6432Node.
      {"64-bit path", kRead, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", "", true,
       true, kRead | 0x0100},
      {"mirror in any case", kRead | 0x0100,
       "SOFTWARE\\wOW6432nODE\\Microsoft\\Windows\\CurrentVersion", "", true, true, kRead},
      // A relative path is tested after the open key's path.
      {"relative below the mirror", kRead | 0x0100, "Vendor", "SOFTWARE\\Wow6432Node", true, true,
       kRead},
      {"absolute from the mirror", kRead, "\\SOFTWARE\\Vendor", "SOFTWARE\\Wow6432Node", true, true,
       kRead | 0x0100},
      // Not WOW64, or automatic views off: the mask stays, whatever it holds.
      {"not WOW64", kRead, "SOFTWARE\\X", "", false, true, kRead},
      {"automatic views off", kRead | 0x0100, "SOFTWARE\\Wow6432Node\\X", "", true, false,
       kRead | 0x0100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(SelectRegistryView(c.access, c.path, c.open_path, c.wow64, c.automatic), c.view);
  }
  // KEY_WOW64_32KEY is never set.
  EXPECT_EQ(SelectRegistryView(kRead, "SOFTWARE\\Wow6432Node", "", true, true) & 0x0200, 0u);
}

TEST(RegistryRules, EnumerationFilterKindsAndValueText) {
  const struct {
    const char* name;
    bool mirror;
  } names[] = {{"Wow6432Node", true},   {" WOW6432NODE ", true}, {"\twow6432node", true},
               {"Wow6432Nodes", false}, {"   ", false},          {"Microsoft", false}};
  for (const auto& c : names) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsWow6432NodeName(c.name), c.mirror);
  }

  const struct {
    uint32_t type;
    RegDataKind kind;
  } kinds[] = {
      {1, RegDataKind::String},      {2, RegDataKind::ExpandString}, {3, RegDataKind::Binary},
      {4, RegDataKind::Integer},     {0, RegDataKind::Unknown},      {5, RegDataKind::Unknown},
      {6, RegDataKind::Unknown},     {7, RegDataKind::Unknown},      {8, RegDataKind::Unknown},
      {9, RegDataKind::Unknown},     {10, RegDataKind::Unknown},     {11, RegDataKind::Unknown},
      {0xFFFF, RegDataKind::Unknown}};
  for (const auto& c : kinds) {
    SCOPED_TRACE(c.type);
    EXPECT_EQ(RegKindFromType(c.type), c.kind);
  }

  const struct {
    uint32_t value;
    const char* text;
  } dwords[] = {{31, "dword:0000001F"}, {0xFFFFFFFF, "dword:FFFFFFFF"}, {0, "dword:00000000"}};
  for (const auto& c : dwords) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(RegDwordText(c.value), c.text);
  }

  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* text;
  } hex[] = {
      {"three bytes", {1, 171, 0}, "hex:01,AB,00"},
      {"REG_MULTI_SZ \"a\" in UTF-16", {0x61, 0, 0, 0, 0, 0}, "hex:61,00,00,00,00,00"},
  };
  for (const auto& c : hex) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(RegHexText(c.bytes.data(), c.bytes.size()), c.text);
  }
  std::vector<uint8_t> long_value(300, 0xEE);
  const std::string text = RegHexText(long_value.data(), long_value.size());
  EXPECT_EQ(text.size(), 4 + 300 * 3 - 1);  // one line, no continuation
  EXPECT_EQ(text.find('\n'), std::string::npos);
}

}  // namespace
}  // namespace kovra
