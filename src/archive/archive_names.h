// Naming rules of the report archive: which archive-list entries are patterns, how a file's
// path becomes its stored name, and how a pattern's wildcard matches file names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kovra {

// An entry holding "*", "?", "<" or ">" is a folder pattern, expanded by a walk.
bool IsArchivePattern(std::string_view entry);

// The path without its drive ("C:" or the server and share of a UNC path) and the backslash
// after it, with forward slashes: C:\Users\a\x.txt -> Users/a/x.txt.
std::string ZipStoredName(std::string_view path);

// The stored time and date of an entry as one number that orders like the time itself.
inline uint32_t DosStamp(uint16_t dos_date, uint16_t dos_time) {
  return static_cast<uint32_t>(dos_date) << 16 | dos_time;
}

namespace detail {
template <typename C>
C FoldAscii(C c) {
  return c >= 'a' && c <= 'z' ? static_cast<C>(c - 'a' + 'A') : c;
}

// "*" any run, "?" any one character, "<set>" one character of the set (ranges as "a-z"); an
// unclosed "<" and a lone ">" stand for themselves. Letters compare without regard to ASCII case;
// callers fold other letters beforehand.
template <typename C>
bool Match(std::basic_string_view<C> n, std::basic_string_view<C> p) {
  size_t ni = 0, pi = 0, star_p = std::basic_string_view<C>::npos, star_n = 0;
  while (ni < n.size()) {
    bool advanced = false;
    if (pi < p.size()) {
      const C pc = p[pi];
      if (pc == '*') {
        star_p = ++pi;
        star_n = ni;
        continue;
      }
      if (pc == '?') {
        ++pi, ++ni;
        continue;
      }
      size_t close = pc == '<' ? p.find(static_cast<C>('>'), pi + 1) : p.npos;
      if (close != p.npos) {
        const C c = FoldAscii(n[ni]);
        bool in_set = false;
        for (size_t i = pi + 1; i < close; ++i) {
          if (i + 2 < close && p[i + 1] == '-') {
            in_set |= c >= FoldAscii(p[i]) && c <= FoldAscii(p[i + 2]);
            i += 2;
          } else {
            in_set |= c == FoldAscii(p[i]);
          }
        }
        if (in_set) {
          pi = close + 1, ++ni;
          advanced = true;
        }
      } else if (FoldAscii(pc) == FoldAscii(n[ni])) {
        ++pi, ++ni;
        advanced = true;
      }
    }
    if (advanced)
      continue;
    if (star_p == std::basic_string_view<C>::npos)
      return false;
    pi = star_p;
    ni = ++star_n;
  }
  while (pi < p.size() && p[pi] == '*')
    ++pi;
  return pi == p.size();
}
}  // namespace detail

// Whether a file name matches the last component of a pattern: "*.*" is taken as "*", and a
// name without a dot also matches as if it ended with one (so "*." finds names without one).
template <typename C>
bool MatchFileWildcard(std::basic_string_view<C> name, std::basic_string_view<C> wildcard) {
  static constexpr C kStarDotStar[] = {'*', '.', '*', 0};
  static constexpr C kStar[] = {'*', 0};
  if (wildcard == kStarDotStar)
    wildcard = kStar;
  if (detail::Match(name, wildcard))
    return true;
  if (name.find(static_cast<C>('.')) != std::basic_string_view<C>::npos)
    return false;
  std::basic_string<C> dotted(name);
  dotted += static_cast<C>('.');
  return detail::Match(std::basic_string_view<C>(dotted), wildcard);
}

}  // namespace kovra
