#include "platform/console_text.h"

#include <algorithm>

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

std::string QuoteArgument(std::string_view argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos)
    return std::string(argument);
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes are literal unless a double quote follows them.
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

std::string BuildCommandLine(std::string_view program, const StringList& arguments) {
  std::string line = "\"" + std::string(program) + "\"";
  for (const std::string& argument : arguments)
    line += " " + QuoteArgument(argument);
  return line;
}

StringList TaskQueryArguments(std::string_view task_name) {
  return {"/query", "/V", "/TN", std::string(task_name), "/FO", "list"};
}

StringList TaskListArguments(bool verbose) {
  if (verbose)
    return {"/query", "/V", "/FO", "list"};
  return {"/query", "/FO", "csv"};
}

StringList RegExportArguments(std::string_view key, std::string_view file) {
  return {"export", std::string(key), std::string(file)};
}

std::string ProcessorArchitectureName(unsigned code) {
  switch (code) {
    case 0:
      return "x86";
    case 5:
      return "ARM";
    case 6:
      return "IA64";
    case 9:
      return "AMD64";
    case 12:
      return "ARM64";
    default:
      return std::string();
  }
}

StringList ChildEnvironmentEntries(const ChildEnvironmentFacts& facts) {
  const std::string windows(StripTrailingSeparators(facts.windows_folder));
  const std::string system(StripTrailingSeparators(facts.system_folder));
  std::string temp(StripTrailingSeparators(facts.temp_folder));
  if (temp.size() == 2 && temp[1] == ':')
    temp += '\\';  // a drive's root keeps its backslash
  StringList entries = {
      "ComSpec=" + system + "\\cmd.exe",
      "NUMBER_OF_PROCESSORS=" + std::to_string(facts.processors),
      "OS=Windows_NT",
      "PATH=" + system + ";" + windows + ";" + system + "\\Wbem",
      "PATHEXT=.COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC",
      "PROCESSOR_LEVEL=" + std::to_string(facts.processor_level),
      StrPrintf("PROCESSOR_REVISION=%04x", facts.processor_revision & 0xFFFFu),
      "SystemDrive=" + windows.substr(0, windows.size() >= 2 && windows[1] == ':' ? 2 : 0),
      "SystemRoot=" + windows,
      "TEMP=" + temp,
      "TMP=" + temp,
      "windir=" + windows,
  };
  if (!facts.processor_architecture.empty())
    entries.push_back("PROCESSOR_ARCHITECTURE=" + facts.processor_architecture);
  if (!facts.native_architecture.empty() &&
      facts.native_architecture != facts.processor_architecture)
    entries.push_back("PROCESSOR_ARCHITEW6432=" + facts.native_architecture);
  if (!facts.processor_identifier.empty())
    entries.push_back("PROCESSOR_IDENTIFIER=" + facts.processor_identifier);
  // Windows keeps an environment sorted by name, upper-cased for the comparison.
  const auto name_key = [](const std::string& entry) {
    return AsciiUpperCase(std::string_view(entry).substr(0, entry.find('=')));
  };
  std::stable_sort(entries.begin(), entries.end(), [&](const std::string& a, const std::string& b) {
    return name_key(a) < name_key(b);
  });
  return entries;
}

std::u16string EnvironmentBlock(const StringList& entries) {
  std::u16string block;
  for (const std::string& entry : entries) {
    block += Utf8ToUtf16(entry);
    block += u'\0';
  }
  if (block.empty())
    block += u'\0';
  block += u'\0';
  return block;
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
