#include "base/text.h"

#include <cstdio>
#include <vector>

namespace kovra {

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view in) {
  std::u16string out;
  out.reserve(in.size());
  size_t i = 0;
  const size_t n = in.size();
  while (i < n) {
    const auto b0 = static_cast<unsigned char>(in[i]);
    if (b0 < 0x80) {
      out += static_cast<char16_t>(b0);
      ++i;
      continue;
    }
    int len = 0;
    uint32_t cp = 0;
    uint32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
      len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
      len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
      len = 4, cp = b0 & 0x07, min = 0x10000;
    }
    bool ok = len > 0 && i + len <= n;
    for (int k = 1; ok && k < len; ++k) {
      const auto b = static_cast<unsigned char>(in[i + k]);
      if ((b & 0xC0) != 0x80) {
        ok = false;
      } else {
        cp = (cp << 6) | (b & 0x3F);
      }
    }
    if (!ok || cp < min || cp > 0x10FFFF) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view in) {
  std::string out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    uint32_t c = in[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
        in[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    }
    AppendUtf8(out, c);
  }
  return out;
}

namespace {

// Length of the UTF-8 sequence that starts with `b`, and the UTF-16 units it stands for;
// malformed bytes count as one unit each, as the converter turns them into U+FFFD.
void SequenceAt(std::string_view s, size_t i, size_t& bytes, size_t& units) {
  const auto b = static_cast<unsigned char>(s[i]);
  size_t len = b < 0x80             ? 1
               : (b & 0xE0) == 0xC0 ? 2
               : (b & 0xF0) == 0xE0 ? 3
               : (b & 0xF8) == 0xF0 ? 4
                                    : 1;
  for (size_t k = 1; k < len; ++k) {
    if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
      len = 1;
      break;
    }
  }
  bytes = len;
  units = len == 4 ? 2 : 1;
}

}  // namespace

size_t TextLength(std::string_view utf8) {
  size_t units = 0;
  for (size_t i = 0; i < utf8.size();) {
    size_t b, u;
    SequenceAt(utf8, i, b, u);
    i += b;
    units += u;
  }
  return units;
}

std::string FirstChars(std::string_view utf8, size_t count) {
  size_t units = 0, i = 0;
  while (i < utf8.size()) {
    size_t b, u;
    SequenceAt(utf8, i, b, u);
    if (units + u > count)
      break;
    i += b;
    units += u;
  }
  return std::string(utf8.substr(0, i));
}

std::string PadRightText(std::string_view utf8, size_t width) {
  std::string r(utf8);
  const size_t n = TextLength(utf8);
  if (n < width)
    r.append(width - n, ' ');
  return r;
}

std::string PadLeftText(std::string_view utf8, size_t width) {
  const size_t n = TextLength(utf8);
  return n < width ? std::string(width - n, ' ') + std::string(utf8) : std::string(utf8);
}

char AsciiToLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
char AsciiToUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

std::string AsciiLowerCase(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    c = AsciiToLower(c);
  return r;
}

std::string AsciiUpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    c = AsciiToUpper(c);
  return r;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiToLower(a[i]) != AsciiToLower(b[i]))
      return false;
  }
  return true;
}

bool StartsWithTextAscii(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameTextAscii(s.substr(0, prefix.size()), prefix);
}

bool EndsWithTextAscii(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && SameTextAscii(s.substr(s.size() - suffix.size()), suffix);
}

size_t FindTextAscii(std::string_view haystack, std::string_view needle, size_t from) {
  if (needle.empty())
    return from <= haystack.size() ? from : std::string_view::npos;
  for (size_t i = from; i + needle.size() <= haystack.size(); ++i) {
    if (SameTextAscii(haystack.substr(i, needle.size()), needle))
      return i;
  }
  return std::string_view::npos;
}

std::string ReplaceAllTextAscii(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty())
    return std::string(s);
  std::string out;
  size_t pos = 0;
  for (;;) {
    const size_t hit = FindTextAscii(s, from, pos);
    if (hit == std::string_view::npos)
      break;
    out.append(s.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(s.substr(pos));
  return out;
}

std::string StrVPrintf(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char small[256];
  const int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0)
    return std::string();
  if (static_cast<size_t>(n) < sizeof small)
    return std::string(small, n);
  std::vector<char> big(static_cast<size_t>(n) + 1);
  std::vsnprintf(big.data(), big.size(), format, args);
  return std::string(big.data(), n);
}

std::string StrPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string r = StrVPrintf(format, args);
  va_end(args);
  return r;
}

std::string IncludeTrailingBackslash(std::string_view path) {
  std::string r(path);
  if (r.empty() || r.back() != '\\')
    r += '\\';
  return r;
}

std::string_view StripTrailingSeparators(std::string_view path) {
  while (!path.empty() && (path.back() == '\\' || path.back() == '/'))
    path.remove_suffix(1);
  return path;
}

std::string ExcludeTrailingBackslash(std::string_view path) {
  std::string r(path);
  if (!r.empty() && r.back() == '\\')
    r.pop_back();
  return r;
}

}  // namespace kovra
