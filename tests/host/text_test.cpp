#include "base/string_list.h"
#include "base/text.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kovra {
namespace {

TEST(Text, MeasuredInUtf16Units) {
  struct Case {
    const char* text;
    size_t length;
    const char* first3;
  };
  const Case cases[] = {
      {"abcd", 4, "abc"},
      {"\xD0\x90\xD0\x91\xD0\x92\xD0\x93", 4, "\xD0\x90\xD0\x91\xD0\x92"},
      {"\xE6\x97\xA5\xE6\x9C\xAC", 2, "\xE6\x97\xA5\xE6\x9C\xAC"},
      // An emoji is a surrogate pair: two units, never split.
      {"a\xF0\x9F\x98\x80"
       "b",
       4, "a\xF0\x9F\x98\x80"},
      {"ab\xF0\x9F\x98\x80", 4, "ab"},
      // A stray byte counts as the one replacement character it becomes.
      {"\xFF"
       "ab",
       3,
       "\xFF"
       "ab"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextLength(c.text), c.length) << c.text;
    EXPECT_EQ(FirstChars(c.text, 3), c.first3) << c.text;
    EXPECT_EQ(TextLength(PadRightText(c.text, 6)), std::max<size_t>(6, c.length)) << c.text;
  }
  EXPECT_EQ(PadLeftText("\xD0\x90", 3), "  \xD0\x90");
}

TEST(Utf, LoneSurrogatesSurviveTheRoundTrip) {
  const std::u16string odd = {u'a', static_cast<char16_t>(0xD800), u'b',
                              static_cast<char16_t>(0xDC01)};
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(odd)), odd);
}

TEST(Utf, Utf16FromBytesInBothByteOrders) {
  const struct {
    std::string bytes;
    bool big_endian;
    std::u16string units;
  } cases[] = {
      {"", false, u""},
      {std::string("A\0\xE9\0", 4), false, u"A\u00E9"},
      {std::string("\0A\0\xE9", 4), true, u"A\u00E9"},
      {std::string("\x3D\xD8\x00\xDE", 4), false, u"\U0001F600"},
      {std::string("A\0B", 3), false, u"A"},  // the odd last byte is dropped
  };
  for (const auto& c : cases)
    EXPECT_EQ(Utf16FromBytes(c.bytes, c.big_endian), c.units) << c.bytes.size();
}

TEST(Utf, MalformedBytesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("\xE2\x82"), u"\uFFFD\uFFFD");  // truncated sequence
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong form
}

TEST(Text, AsciiCaseRules) {
  EXPECT_TRUE(SameTextAscii("Explorer.EXE", "explorer.exe"));
  EXPECT_FALSE(SameTextAscii("\xC3\x84", "\xC3\xA4"));
  EXPECT_EQ(ReplaceAllTextAscii("aXbxc", "x", "--"), "a--b--c");
  EXPECT_EQ(ReplaceAllTextAscii("aaa", "aa", "b"), "ba");
  EXPECT_EQ(FindTextAscii("abcABC", "Bc", 2), 4u);
  EXPECT_EQ(StarRule(), std::string(81, '*'));
  EXPECT_EQ(StrPrintf("%s-%d", std::string(300, 'x').c_str(), 7), std::string(300, 'x') + "-7");
}

// One backslash between a folder and a name, however the folder ends; the empty folder gives
// the root-relative form the callers had before.
TEST(Text, PathRules) {
  struct Case {
    const char *folder, *name, *joined;
  } const cases[] = {
      {"C:\\Temp\\", "a.txt", "C:\\Temp\\a.txt"},
      {"C:\\Program Files\\Common Files", "Kovra\\x", "C:\\Program Files\\Common Files\\Kovra\\x"},
      {"", "drivers", "\\drivers"},
      {"C:\\", "", "C:\\"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(JoinPath(c.folder, c.name), c.joined) << c.folder << " + " << c.name;
  EXPECT_EQ(IncludeTrailingBackslash("C:\\a"), "C:\\a\\");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\a\\"), "C:\\a");
  EXPECT_EQ(FolderPart("C:\\P\\App\\unins000.exe"), "C:\\P\\App\\");
  EXPECT_EQ(FolderPart("C:unins.exe"), "C:");
  EXPECT_EQ(FolderPart("\"C:\\P\\App\\svc.exe\""), "\"C:\\P\\App\\");  // quotes stay: no folder
  EXPECT_EQ(FolderPart("svc.exe"), "");
}

}  // namespace
}  // namespace kovra
