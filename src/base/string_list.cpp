#include "base/string_list.h"

#include "base/text.h"

namespace kovra {

const std::string& StarRule() {
  static const std::string rule(81, '*');
  return rule;
}

void AppendList(StringList& to, const StringList& from) {
  to.insert(to.end(), from.begin(), from.end());
}

StringList SplitAtCrLf(std::string_view text) {
  StringList lines;
  for (size_t pos = 0;;) {
    const size_t end = text.find("\r\n", pos);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(pos));
      return lines;
    }
    lines.emplace_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
}

std::string EncodeListUtf16Le(const StringList& list) {
  std::string out("\xFF\xFE", 2);
  auto put = [&out](char16_t c) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  };
  for (const std::string& entry : list) {
    for (char16_t c : Utf8ToUtf16(entry))
      put(c);
    put(u'\r');
    put(u'\n');
  }
  return out;
}

StringList DecodeUtf16LeLines(const std::string& bytes) {
  const bool marked = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
  const std::u16string text = Utf16FromBytes(std::string_view(bytes).substr(marked ? 2 : 0));
  StringList lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(u"\r\n", pos);
    if (end == std::u16string::npos) {
      lines.push_back(Utf16ToUtf8(text.substr(pos)));
      break;
    }
    lines.push_back(Utf16ToUtf8(text.substr(pos, end - pos)));
    pos = end + 2;
  }
  return lines;
}

}  // namespace kovra
