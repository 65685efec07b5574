#include "tables/field_text.h"

#include <regex>

#include "base/text.h"
#include "report_regex.h"

namespace kovra {

bool StartsWith(std::string_view s, std::string_view p) {
  return s.substr(0, p.size()) == p;
}

bool EndsWith(std::string_view s, std::string_view p) {
  return s.size() >= p.size() && s.substr(s.size() - p.size()) == p;
}

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
    s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
    s.remove_suffix(1);
  return s;
}

bool IsStarRule(std::string_view line) {
  return line.size() == 81 && line.find_first_not_of('*') == std::string_view::npos;
}

std::string BoolField(std::string_view text) {
  return text == "True" ? "true" : text == "False" ? "false" : "";
}

std::string Flag(bool b) {
  return b ? "true" : "false";
}

std::string NumberField(std::string_view text) {
  static const std::regex number("^-?[0-9]+(\\.[0-9]+)?$");
  const std::string t(TrimView(text));
  if (!RegexMatch(t, number))
    return std::string();
  size_t i = t[0] == '-' ? 1 : 0;
  while (i + 1 < t.size() && t[i] == '0' && t[i + 1] != '.')
    ++i;
  std::string out = (t[0] == '-' ? "-" : "") + t.substr(i);
  return out == "-0" ? "0" : out;
}

std::string HexField(std::string_view hex) {
  if (hex.empty() || hex.size() > 15 ||
      hex.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
    return std::string();
  return std::to_string(std::stoull(std::string(hex), nullptr, 16));
}

std::string DurationMs(const std::string& text) {
  static const std::regex ms("^([0-9]+) ms$"), s("^([0-9]+)\\D{1,4}([0-9]{2}) s$"),
      min("^([0-9]+):([0-9]{2}) min$"), h("^([0-9]+):([0-9]{2}) h$");
  std::smatch m;
  auto n = [&](int i) { return std::stoull(m[i].str()); };
  if (RegexMatch(text, m, ms))
    return std::to_string(n(1));
  if (RegexMatch(text, m, s))
    return std::to_string(n(1) * 1000 + n(2) * 10);
  if (RegexMatch(text, m, min))
    return std::to_string(n(1) * 60000 + n(2) * 1000);
  if (RegexMatch(text, m, h))
    return std::to_string(n(1) * 3600000 + n(2) * 60000);
  return std::string();
}

std::string CommandFile(std::string_view command) {
  command = TrimView(command);
  if (StartsWith(command, "\"")) {
    const size_t end = command.find('"', 1);
    return std::string(command.substr(1, end == std::string_view::npos ? end : end - 1));
  }
  const std::string lower = AsciiLowerCase(command);
  size_t best = std::string::npos;
  for (const char* ext : {".exe", ".com", ".bat", ".cmd", ".dll", ".sys", ".lnk", ".vbs", ".scr"}) {
    const size_t at = lower.find(ext);
    if (at != std::string::npos && (best == std::string::npos || at + 4 < best))
      best = at + 4;
  }
  if (best != std::string::npos)
    return std::string(command.substr(0, best));
  return std::string(command.substr(0, command.find(' ')));
}

std::string DateSortKey(std::string_view date) {
  static const std::regex forms[] = {
      // 12/9/2026 9:46:03 PM, 2026-12-09 21:46:03, 09.12.2026 21:46
      std::regex("^([0-9]{1,2})/([0-9]{1,2})/([0-9]{4})(?: ([0-9]{1,2}):([0-9]{2})(?::([0-9]{2}))?"
                 "(?: ?([AaPp])\\.?[Mm]\\.?)?)?$"),
      std::regex("^([0-9]{4})[-/.]([0-9]{1,2})[-/.]([0-9]{1,2})(?: ([0-9]{1,2}):([0-9]{2})(?::([0-"
                 "9]{2}))?(?: ?([AaPp])\\.?[Mm]\\.?)?)?$"),
      std::regex("^([0-9]{1,2})[.-]([0-9]{1,2})[.-]([0-9]{4})(?: ([0-9]{1,2}):([0-9]{2})(?::([0-9]"
                 "{2}))?)?$"),
  };
  const std::string text(TrimView(date));
  std::smatch m;
  for (int form = 0; form < 3; ++form) {
    if (!RegexMatch(text, m, forms[form]))
      continue;
    int year, month, day;
    if (form == 1) {
      year = std::stoi(m[1]), month = std::stoi(m[2]), day = std::stoi(m[3]);
    } else {
      year = std::stoi(m[3]);
      const int a = std::stoi(m[1]), b = std::stoi(m[2]);
      // Slashes: month first, as the US short date has it, unless the first cannot be a month.
      const bool day_first = form == 2 || a > 12;
      month = day_first ? b : a, day = day_first ? a : b;
    }
    int hour = m[4].matched ? std::stoi(m[4]) : 0;
    const int minute = m[5].matched ? std::stoi(m[5]) : 0;
    const int second = m[6].matched ? std::stoi(m[6]) : 0;
    if (form != 2 && m[7].matched) {
      const bool pm = m[7].str() == "P" || m[7].str() == "p";
      hour = hour % 12 + (pm ? 12 : 0);
    }
    return StrPrintf("%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
  }
  return text;
}

bool OutsideWindowsFolders(std::string_view command) {
  std::string file = AsciiLowerCase(CommandFile(command));
  if (file.empty() || file.find('\\') == std::string::npos)
    return false;  // a bare program name is found through the search path
  if (StartsWith(file, "\\??\\"))
    file = file.substr(4);
  for (const char* inside :
       {"%systemroot%", "%windir%", "\\systemroot\\", "system32\\", "syswow64\\"}) {
    if (StartsWith(file, inside))
      return false;
  }
  return !(file.size() >= 11 && file[1] == ':' && file.compare(2, 9, "\\windows\\") == 0);
}

}  // namespace kovra
