#include "platform/files_info.h"

#include <gtest/gtest.h>

#include <vector>

namespace kovra {
namespace {

TEST(FileInfoFields, CodesPickTheirTexts) {
  TFileInfo info;
  int n = 0;
  for (const FileInfoKey& k : kFileInfoKeys)
    info.*k.field = k.name + std::to_string(n++);
  info.Extra = "wow";
  const char* expected[] = {"Comments9",
                            "CompanyName0",
                            "FileDescription1",
                            "FileVersion2",
                            "InternalName3",
                            "LegalCopyright4",
                            "LegalTrademarks5",
                            "OriginalFileName6",
                            "ProductName7",
                            "ProductVersion8",
                            "wow"};
  for (int code = 0; code <= 10; ++code)
    EXPECT_EQ(FileInfoFieldText(info, static_cast<VersionField>(code)), expected[code]) << code;
  EXPECT_EQ(FileInfoFieldText(info, static_cast<VersionField>(11)), "");
  EXPECT_EQ(FileInfoFieldText(info, static_cast<VersionField>(-1)), "");
}

TEST(FileInfoFields, StringTablePrefixIsUpperCaseHex) {
  EXPECT_EQ(StringTablePrefix(0x0409, 0x04B0), "\\StringFileInfo\\040904B0\\");
  EXPECT_EQ(StringTablePrefix(0xabc, 0xdef), "\\StringFileInfo\\0ABC0DEF\\");
}

// Builds a version-resource block: length, value length, type, key, padding, value, children.
std::vector<uint8_t> Block(const std::u16string& key, const std::vector<uint8_t>& value,
                           const std::vector<std::vector<uint8_t>>& children) {
  std::vector<uint8_t> b(6, 0);
  for (char16_t c : key + u'\0') {
    b.push_back(static_cast<uint8_t>(c));
    b.push_back(static_cast<uint8_t>(c >> 8));
  }
  while (b.size() % 4)
    b.push_back(0);
  b.insert(b.end(), value.begin(), value.end());
  for (const auto& child : children) {
    while (b.size() % 4)
      b.push_back(0);
    b.insert(b.end(), child.begin(), child.end());
  }
  b[0] = static_cast<uint8_t>(b.size());
  b[1] = static_cast<uint8_t>(b.size() >> 8);
  b[2] = static_cast<uint8_t>(value.size());
  return b;
}

TEST(FileInfoFields, FirstStringTableKeyWalksTheBlocks) {
  const auto table = Block(u"041D04E4", {}, {Block(u"FileVersion", {'1', 0, 0, 0}, {})});
  const auto root = Block(u"VS_VERSION_INFO", std::vector<uint8_t>(52, 0),
                          {Block(u"VarFileInfo", {}, {}), Block(u"StringFileInfo", {}, {table})});
  EXPECT_EQ(FirstStringTableKey(root.data(), root.size()), u"041D04E4");

  const auto without =
      Block(u"VS_VERSION_INFO", std::vector<uint8_t>(52, 0), {Block(u"VarFileInfo", {}, {})});
  EXPECT_EQ(FirstStringTableKey(without.data(), without.size()), u"");
  // A damaged length never reads past the buffer.
  auto damaged = root;
  damaged[0] = 0xFF;
  damaged[1] = 0xFF;
  EXPECT_EQ(FirstStringTableKey(damaged.data(), damaged.size()), u"");
  EXPECT_EQ(FirstStringTableKey(root.data(), 5), u"");
}

}  // namespace
}  // namespace kovra
