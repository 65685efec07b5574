// Whole-text pattern matching for the report's lines. std::regex recurses once per character of
// the text it matches, so a long line could exhaust the stack: texts longer than kRegexLimit
// match no pattern (the parsers keep such lines as unrecognised).
#pragma once

#include <regex>
#include <string>

namespace kovra {

constexpr size_t kRegexLimit = 4096;

inline bool RegexMatch(const std::string& text, const std::regex& pattern) {
  return text.size() <= kRegexLimit && std::regex_match(text, pattern);
}
inline bool RegexMatch(const std::string& text, std::smatch& m, const std::regex& pattern) {
  return text.size() <= kRegexLimit && std::regex_match(text, m, pattern);
}

}  // namespace kovra
