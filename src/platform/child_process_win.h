// How the tool starts every program: by its full path with a command line quoted by the
// standard rules, hidden in a new console, with an environment built from system facts alone
// (TEMP and TMP the run's staging folder) and the system folder as its current folder. Nothing
// the user can set (the tool's own environment, the folder it was started from, a command
// interpreter's start-up commands) reaches the program.
#pragma once

#include <windows.h>

#include <string>

#include "base/string_list.h"
#include "platform/handles_win.h"

namespace kovra::win {

// A program by its full path and its arguments, each passed as one argument.
struct ConsoleCommand {
  std::string program;
  StringList arguments;
};

// What every started program gets besides its command line.
struct ChildSetting {
  std::wstring environment;  // a UTF-16 environment block
  std::wstring current_folder;
};

// The minimal environment (console_text.h: ChildEnvironmentEntries) gathered from the system,
// with TEMP and TMP set to `temp_folder`, and the system folder as current folder.
ChildSetting ChildSettingFor(const std::string& temp_folder);

// The handles of a process just created.
struct StartedProcess {
  UniqueHandle process, thread;
};

// A started program: its handles and the job it runs in, if the system let it join one.
class JobProcess {
 public:
  // Takes over a process created suspended, puts it in a job and lets it run.
  void Adopt(StartedProcess started);
  HANDLE process() const { return process_.get(); }
  bool Exited() const;
  // Ends the program and everything it started inside the job.
  void End();
  // Ends it and waits (a few seconds at most) until its processes are gone, so that the files
  // they held are closed.
  void EndAndWait();

 private:
  UniqueHandle process_, job_;
  bool in_job_ = false;
};

// Standard output and error of a started program: inheritable handles the caller opened (a
// pipe's write end, a file it created); none for a program whose console takes its output.
struct ChildOutput {
  HANDLE output = nullptr;
  HANDLE error = nullptr;
};

// How a program starts: hidden in a new console and suspended (to join a job before it runs),
// or shown and running at once (a window for the user).
enum class ChildStart { kHiddenConsoleSuspended, kShown };

// The one start of a program: `program` by its full path as application name, `command_line`
// as it reaches the program (its first word the program's quoted path), the setting's
// environment and current folder. Throws SystemError ("Cannot start PROGRAM: reason").
StartedProcess StartProgram(const std::string& program, const std::string& command_line,
                            const ChildSetting& setting, const ChildOutput& output, ChildStart how);

// Starts the command hidden in a new console, in a job, its arguments quoted by BuildCommandLine.
// Throws as StartProgram does.
JobProcess StartConsoleProgram(const ConsoleCommand& command, const ChildSetting& setting,
                               const ChildOutput& output = {});

}  // namespace kovra::win
