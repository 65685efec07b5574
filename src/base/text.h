// Text helpers shared by every unit. Report text is held as UTF-8 in std::string; it becomes
// UTF-16 only at the edges (Win32 calls, saved report files).
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace kovra {

// UTF-8 to UTF-16. Lone surrogates encoded as three-byte sequences (as Utf16ToUtf8 writes them)
// come back unchanged, so any Windows file name survives the round trip. Malformed bytes become
// U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

// UTF-16 to UTF-8; a lone surrogate is kept as its three-byte form instead of being lost.
std::string Utf16ToUtf8(std::u16string_view utf16);

// UTF-16 code units from bytes, two a unit, little-endian unless `big_endian`; an odd last
// byte is dropped. The one byte decoder of saved report files and captured UTF-16 output.
std::u16string Utf16FromBytes(std::string_view bytes, bool big_endian = false);

// Text measured as the platform counts characters: in UTF-16 units. Padding and "the first n
// characters" of report text go through these, never through byte counts.
size_t TextLength(std::string_view utf8);
// The first `count` characters (UTF-16 units; a pair is never split, so it may be one less).
std::string FirstChars(std::string_view utf8, size_t count);
// Blanks added on the right (left) up to `width` characters; longer text is left as it is.
std::string PadRightText(std::string_view utf8, size_t width);
std::string PadLeftText(std::string_view utf8, size_t width);

// Text in code page 437 (the ZIP format's default for names, the DOS console's) as UTF-8.
std::string Cp437ToUtf8(std::string_view bytes);

// Letter case of A to Z only; every other character compares exactly.
char AsciiToLower(char c);
char AsciiToUpper(char c);
std::string AsciiLowerCase(std::string_view s);
std::string AsciiUpperCase(std::string_view s);
bool SameTextAscii(std::string_view a, std::string_view b);
bool StartsWithTextAscii(std::string_view s, std::string_view prefix);
bool EndsWithTextAscii(std::string_view s, std::string_view suffix);
// Index of the first occurrence of needle in haystack ignoring A-Z case, or npos.
size_t FindTextAscii(std::string_view haystack, std::string_view needle, size_t from = 0);
// Every occurrence of `from` (A-Z case ignored) replaced by `to`, scanning left to right.
std::string ReplaceAllTextAscii(std::string_view s, std::string_view from, std::string_view to);

// printf-style formatting into a std::string.
#if defined(_WIN32)
#define KOVRA_PRINTF_FORMAT gnu_printf
#else
#define KOVRA_PRINTF_FORMAT printf
#endif
std::string StrPrintf(const char* format, ...) __attribute__((format(KOVRA_PRINTF_FORMAT, 1, 2)));
std::string StrVPrintf(const char* format, va_list args);

// Ensures a trailing backslash.
std::string IncludeTrailingBackslash(std::string_view path);
std::string ExcludeTrailingBackslash(std::string_view path);
// The folder part of a path: everything up to and including the last backslash or colon.
std::string FolderPart(std::string_view path);
// `name` below `folder`: one backslash between them whether or not the folder ends in one.
std::string JoinPath(std::string_view folder, std::string_view name);
// The path without any of its trailing backslashes and slashes.
std::string_view StripTrailingSeparators(std::string_view path);

}  // namespace kovra
