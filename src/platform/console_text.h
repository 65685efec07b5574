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
// bare name would be searched in the program's own folder first, where anything may lie. No
// command interpreter stands between: a name or path reaches the program as one argument and is
// never expanded or split.

// One argument as the standard command-line parsing (CommandLineToArgvW, the C runtime) reads it
// back unchanged: quoted when empty or holding a blank, a tab, a line break or a double quote;
// inside quotes a double quote is escaped and the backslashes before it or before the closing
// quote are doubled.
std::string QuoteArgument(std::string_view argument);

// The command line of a program and its arguments: the program path always quoted (the parsing
// reads the first word without escapes, and a path holds no double quote), each argument by
// QuoteArgument, one blank between them.
std::string BuildCommandLine(std::string_view program, const StringList& arguments);

// The verbose query of one task.
StringList TaskQueryArguments(std::string_view task_name);
// The list of all tasks, as CSV (for the names) or, before Vista, verbose.
StringList TaskListArguments(bool verbose);

// `reg export KEY FILE`: no overwrite switch, as the file is always a fresh name (the reg of
// XP knows no such switch, the later ones ask nothing for a file that is not there).
StringList RegExportArguments(std::string_view key, std::string_view file);

// The variables of a child program's environment, gathered from the system (never from the
// tool's own environment, which the user can set): folders without a trailing backslash.
struct ChildEnvironmentFacts {
  std::string windows_folder;  // the system's Windows folder ("C:\Windows")
  std::string system_folder;   // the system folder as the tool sees it
  std::string temp_folder;     // TEMP and TMP: the run's staging folder
  // "x86", "AMD64", ...: of the tool's own view, and of the machine where they differ (a
  // 32-bit program on 64-bit Windows), else empty.
  std::string processor_architecture;
  std::string native_architecture;
  std::string processor_identifier;  // empty when unknown
  unsigned processor_level = 0;
  unsigned processor_revision = 0;
  unsigned processors = 0;
};

// The name of a processor architecture code of SYSTEM_INFO, empty for one unknown.
std::string ProcessorArchitectureName(unsigned code);

// "NAME=value" entries of the environment every child program gets: SystemRoot, windir,
// SystemDrive, ComSpec, PATH (system folder, Windows folder, Wbem), PATHEXT, OS, TEMP, TMP,
// NUMBER_OF_PROCESSORS and the PROCESSOR_ variables; sorted by name, case ignored, as Windows
// requires of an environment block.
StringList ChildEnvironmentEntries(const ChildEnvironmentFacts& facts);

// The entries (UTF-8) as an environment block: UTF-16, each entry ended by a NUL, one more NUL
// at the end (two for no entries).
std::u16string EnvironmentBlock(const StringList& entries);

// TEMP + "SystemInfo_" + yyyymmddhhmmsszzz + ".txt".
std::string SystemInfoTempFileName(std::string_view temp_folder, int year, int month, int day,
                                   int hour, int minute, int second, int millisecond);

// Lines of a text, ending at CR LF, CR or LF.
StringList SplitTextLines(std::string_view text);

}  // namespace kovra
