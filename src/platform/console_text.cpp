#include "platform/console_text.h"

#include "base/text.h"

namespace kovra {

void ConsoleLineSplitter::Feed(const char* data, size_t size, StringList& lines) {
  for (size_t i = 0; i < size; ++i) {
    const char c = data[i];
    if (c == '\r') {
      lines.push_back(line_);
      line_.clear();
      pending_ = false;
    } else if (c != '\n') {
      line_ += c;
      pending_ = true;
    }
  }
}

void ConsoleLineSplitter::Finish(StringList& lines) {
  if (pending_)
    lines.push_back(line_);
  line_.clear();
  pending_ = false;
}

void AddRootTaskNames(const StringList& csv_lines, StringList& names) {
  for (size_t i = 1; i < csv_lines.size(); ++i) {
    const std::string& line = csv_lines[i];
    if (line.find('\\') == std::string::npos || line.size() < 2)
      continue;
    const std::string rest = line.substr(2);  // the opening quote and the root's backslash
    const size_t quote = rest.find('"');
    if (quote == std::string::npos)
      continue;
    const std::string name = rest.substr(0, quote);
    if (name.find('\\') != std::string::npos)
      continue;  // a task in a sub-folder
    bool known = false;
    for (const std::string& n : names)
      known = known || SameTextAscii(n, name);
    if (!known)
      names.push_back(name);
  }
}

bool IsPassableTaskName(std::string_view name) {
  if (name.empty())
    return false;
  for (const char c : name) {
    if (c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20)
      return false;
  }
  return true;
}

std::string TaskQueryCommand(std::string_view schtasks, std::string_view task_name) {
  return "\"" + std::string(schtasks) + "\" /query /V /TN \"" + std::string(task_name) +
         "\" /FO list";
}

// cmd.exe /c strips the first and the last quote of a command that starts with one, so the
// quoted program path inside survives.
std::string RegExportParameters(std::string_view reg, std::string_view key, std::string_view file,
                                unsigned windows_major) {
  return "/c \"\"" + std::string(reg) + "\" export \"" + std::string(key) + "\" \"" +
         std::string(file) + (windows_major >= 6 ? "\" /y\"" : "\"\"");
}

std::string CommandParameters(std::string_view program, std::string_view arguments) {
  return "/c \"\"" + std::string(program) + "\" " + std::string(arguments) + "\"";
}

std::string RedirectParameters(std::string_view program, std::string_view arguments,
                               std::string_view file) {
  std::string p = "/c \"\"" + std::string(program) + "\"";
  if (!arguments.empty())
    p += " " + std::string(arguments);
  return p + ">\"" + std::string(file) + "\"\"";
}

std::string SystemInfoTempFileName(std::string_view temp_folder, int year, int month, int day,
                                   int hour, int minute, int second, int millisecond) {
  return std::string(temp_folder) + StrPrintf("SystemInfo_%04d%02d%02d%02d%02d%02d%03d.txt", year,
                                              month, day, hour, minute, second, millisecond);
}

StringList SplitTextLines(std::string_view text) {
  StringList lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
      start = i + 1;
    }
  }
  if (start < text.size())
    lines.emplace_back(text.substr(start));
  return lines;
}

}  // namespace kovra
