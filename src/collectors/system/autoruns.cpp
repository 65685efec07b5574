#include "collectors/system/autoruns.h"

#include "base/text.h"

namespace kovra {

namespace {

bool IsSeparator(char c) {
  return static_cast<unsigned char>(c) >= 1 && static_cast<unsigned char>(c) <= 32;
}
bool EndsItem(char c) {
  return static_cast<unsigned char>(c) <= 32 || c == ',';
}

}  // namespace

std::vector<std::string> SplitDelimitedValue(std::string_view s) {
  std::vector<std::string> items;
  size_t i = 0;
  while (i < s.size() && IsSeparator(s[i]))
    ++i;
  while (i < s.size()) {
    std::string item;
    if (s[i] == '"') {
      ++i;
      while (i < s.size()) {
        if (s[i] == '"') {
          if (i + 1 < s.size() && s[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += s[i++];
      }
    } else {
      while (i < s.size() && !EndsItem(s[i]))
        item += s[i++];
    }
    items.push_back(std::move(item));
    while (i < s.size() && IsSeparator(s[i]))
      ++i;
    if (i < s.size() && s[i] == ',') {
      ++i;
      if (i == s.size())
        items.emplace_back();
      while (i < s.size() && IsSeparator(s[i]))
        ++i;
    } else if (i < s.size() && s[i] == '\0') {
      ++i;  // a NUL ends an item like a blank; it is no item of its own
    }
  }
  return items;
}

bool IsBlankItem(std::string_view item) {
  for (const char c : item) {
    if (static_cast<unsigned char>(c) > 32)
      return false;
  }
  return true;
}

StringList DelimitedValueLines(std::string_view text) {
  StringList lines;
  for (std::string& item : SplitDelimitedValue(text)) {
    if (!IsBlankItem(item))
      lines.push_back(std::move(item));
  }
  return lines;
}

StringList ShellValueLines(std::string_view text, std::string_view program,
                           std::string_view system_folder, std::string_view windows_folder) {
  std::vector<std::string> items = SplitDelimitedValue(text);
  StringList lines;
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string& item = items[i];
    if (i == 0) {
      const std::string in_system = std::string(system_folder) + "\\" + std::string(program);
      const std::string in_windows = std::string(windows_folder) + "\\" + std::string(program);
      if (SameTextAscii(item, program) || SameTextAscii(item, in_system) ||
          SameTextAscii(item, in_windows))
        continue;
    }
    if (!IsBlankItem(item))
      lines.push_back(item);
  }
  return lines;
}

StringList RunOnceExLines(std::string_view entry) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= entry.size()) {
    size_t bar = entry.find('|', start);
    if (bar == std::string_view::npos)
      bar = entry.size();
    if (bar > start)
      parts.emplace_back(entry.substr(start, bar - start));
    start = bar + 1;
  }
  StringList lines;
  const size_t n = parts.size();
  const bool blank0 = n < 1 || IsBlankItem(parts[0]);
  const bool blank1 = n < 2 || IsBlankItem(parts[1]);
  if (n >= 1 && !blank0)
    lines.push_back("rundll32.exe " + parts[0]);
  if (n >= 2 && !blank1)
    lines.push_back("rundll32.exe " + parts[0] + "," + parts[1]);
  if (n >= 3) {
    if (blank0 && blank1)
      lines.push_back(parts[2]);
    else
      lines.push_back("rundll32.exe " + parts[0] + "," + parts[1] + " " + parts[2]);
  }
  return lines;
}

std::string BrowserHelperLine(const std::string& class_name, const std::string& server_path) {
  return class_name + ", " + server_path;
}

std::string RunValueLine(const std::string& name, const std::string& data) {
  return name + "=" + data;
}

AutorunsBlock::AutorunsBlock() : lines_{"", "===== Autoruns =====", ""} {}

void AutorunsBlock::Section(const char* header) {
  header_ = header;
}

void AutorunsBlock::Add(std::string line) {
  if (header_ != nullptr) {
    lines_.emplace_back(header_);
    header_ = nullptr;
  }
  lines_.push_back(std::move(line));
}

void AutorunsBlock::Add(const StringList& lines) {
  for (const std::string& line : lines)
    Add(line);
}

}  // namespace kovra
