#include "base/string_list.h"

#include <gtest/gtest.h>

#include <string>

namespace kovra {
namespace {

TEST(ListFile, EmptyListIsJustTheByteOrderMark) {
  EXPECT_EQ(EncodeListUtf16Le({}), std::string("\xFF\xFE", 2));
}

TEST(ListFile, EveryEntryEndsWithCrLfInUtf16Le) {
  const std::string bytes = EncodeListUtf16Le({"A", "", "\xC3\xA9"});
  EXPECT_EQ(bytes, std::string("\xFF\xFE"
                               "A\0\r\0\n\0"
                               "\r\0\n\0"
                               "\xE9\0\r\0\n\0",
                               2 + 6 + 4 + 6));
}

TEST(ListFile, EmbeddedLineBreaksAreWrittenUnchanged) {
  const std::string bytes = EncodeListUtf16Le({"a\r\nb\nc"});
  EXPECT_EQ(bytes, std::string("\xFF\xFE"
                               "a\0\r\0\n\0b\0\n\0c\0\r\0\n\0",
                               2 + 16));
  EXPECT_EQ(DecodeUtf16LeLines(bytes), (StringList{"a", "b\nc"}));
}

// Splitting a text at CR LF and saving the lines writes the bytes of the text saved as one entry.
TEST(ListFile, SplitAtCrLfKeepsTheSavedBytes) {
  const struct {
    std::string text;
    StringList lines;
  } cases[] = {
      {"", {""}},           {"a", {"a"}},
      {"a\r\n", {"a", ""}}, {"a\r\n\r\nb\r\n", {"a", "", "b", ""}},
      {"\r\n", {"", ""}},   {"a\nb\rc\r\nd", {"a\nb\rc", "d"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitAtCrLf(c.text), c.lines) << c.text;
    EXPECT_EQ(EncodeListUtf16Le(SplitAtCrLf(c.text)), EncodeListUtf16Le({c.text})) << c.text;
  }
}

TEST(ListFile, CharactersOutsideTheBasicPlaneBecomeSurrogatePairs) {
  const std::string bytes = EncodeListUtf16Le({"\xF0\x9F\x98\x80"});  // U+1F600
  EXPECT_EQ(bytes.substr(2, 4), std::string("\x3D\xD8\x00\xDE", 4));
  EXPECT_EQ(DecodeUtf16LeLines(bytes), StringList{"\xF0\x9F\x98\x80"});
}

}  // namespace
}  // namespace kovra
