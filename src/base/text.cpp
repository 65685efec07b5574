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

std::string Cp437ToUtf8(std::string_view bytes) {
  static constexpr char16_t kCp437High[128] = {
      0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8,
      0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2,
      0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1,
      0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD,
      0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562,
      0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534,
      0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
      0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
      0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393,
      0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6,
      0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0,
      0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
  };
  std::u16string text;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    text += b < 0x80 ? static_cast<char16_t>(b) : kCp437High[b - 0x80];
  }
  return Utf16ToUtf8(text);
}

std::u16string Utf16FromBytes(std::string_view bytes, bool big_endian) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    units += static_cast<char16_t>(big_endian ? (first << 8 | second) : (second << 8 | first));
  }
  return units;
}

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

std::string FolderPart(std::string_view path) {
  const size_t at = path.find_last_of("\\:");
  return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at + 1));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string r = IncludeTrailingBackslash(folder);
  r.append(name);
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
