// The pure text rules of the console capture: splitting captured
// bytes into lines, picking root-folder task names out of the CSV task list, the command lines
// and file names the capture builds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/string_list.h"

namespace kovra {

// Splits output into lines as it arrives: CR ends a line, LF is dropped, every other byte
// belongs to the line; lines carry over from one chunk to the next. Lines are raw bytes (the
// caller decodes them).
class ConsoleLineSplitter {
 public:
  void Feed(const char* data, size_t size, StringList& lines);
  // The last line when the output did not end with a line break; nothing otherwise.
  void Finish(StringList& lines);

 private:
  std::string line_;
  bool pending_ = false;
};

// Adds the names of the root-folder tasks of a `schtasks /query /FO csv` listing to `names`,
// skipping the header line, tasks in sub-folders and names already there (case ignored).
void AddRootTaskNames(const StringList& csv_lines, StringList& names);

// Whether a task name can be handed to schtasks as one quoted argument without changing the
// query: no double quote, no backslash, no control character.
bool IsPassableTaskName(std::string_view name);

// Every program is started by its full path (given here as `schtasks`, `reg`, `systeminfo`): a
// bare name would be searched in the program's own folder first, where anything may lie.

// The verbose query of one task, run directly (no command interpreter).
std::string TaskQueryCommand(std::string_view schtasks, std::string_view task_name);

// The cmd.exe parameters of a registry export on Windows of the given major version: from 6
// (Vista) on with /y, which answers the overwrite question; the reg of earlier versions knows
// no such switch and fails on it, so there the callers' deleting the file first is all.
std::string RegExportParameters(std::string_view reg, std::string_view key, std::string_view file,
                                unsigned windows_major);

// The cmd.exe parameters of a command.
std::string CommandParameters(std::string_view program, std::string_view arguments);
// The cmd.exe parameters of a command with its output written to a file.
std::string RedirectParameters(std::string_view program, std::string_view arguments,
                               std::string_view file);

// TEMP + "SystemInfo_" + yyyymmddhhmmsszzz + ".txt".
std::string SystemInfoTempFileName(std::string_view temp_folder, int year, int month, int day,
                                   int hour, int minute, int second, int millisecond);

// Lines of a text, ending at CR LF, CR or LF.
StringList SplitTextLines(std::string_view text);

}  // namespace kovra
