// Console programs run hidden with their output captured: the
// scheduled tasks, the system summary, registry exports, and the file listings beside them.
// Every program runs in a job object under a time limit; at the limit the job is ended (with
// any grandchildren still holding the output pipe), the output so far is kept and the caller
// goes on.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/run_log.h"
#include "base/string_list.h"
#include "platform/cancellation.h"
#include "platform/handles_win.h"
#include "platform/os_version_win.h"

namespace kovra::win {

// Time limits of the captured programs.
inline constexpr DWORD kTaskListLimitMs = 120000;
inline constexpr DWORD kTaskQueryLimitMs = 60000;
inline constexpr DWORD kSystemInfoLimitMs = 120000;
// Task detail queries running at the same time.
inline constexpr size_t kTaskQueriesAtOnce = 6;

// How a captured program's output ended: by itself, or cut where the program was ended.
enum class CaptureEnd { kEnded, kTimeLimit, kSizeLimit, kCancelled };

// Notes a cut capture in the run log (which limit, that the output so far was kept); nothing
// for one that ended by itself.
void RecordCaptureEnd(RunLog& log, std::string_view program, CaptureEnd end, DWORD time_limit_ms);

// Runs the command line (converted to the ANSI code page) hidden in a new console and appends
// its output lines; says how the output ended. A requested `cancel` ends the program within
// one round (10 ms) and keeps the output so far. Throws std::runtime_error when the pipe cannot
// be created ("Failed to create pipe！" and the system's reason) or the program cannot start.
CaptureEnd CaptureConsoleOutput(const std::string& command_line, StringList& output,
                                const RunCancellation& cancel,
                                DWORD time_limit_ms = kTaskListLimitMs);

// Runs the command lines as CaptureConsoleOutput does, up to `at_once` of them at a time, each
// under its own time limit, and appends their outputs in the order of the list; their ends in
// the same order; once `cancel` is requested no further one starts. Throws when one cannot
// start (the ones already running are ended).
std::vector<CaptureEnd> CaptureConsoleOutputs(const StringList& command_lines, StringList& output,
                                              const RunCancellation& cancel, DWORD time_limit_ms,
                                              size_t at_once);

// Appends the verbose details of the root folder's scheduled tasks, one query per task. A
// program cut at a limit is noted in the run log; a program that cannot start throws.
void EnumScheduledTasks(StringList& output, RunLog& log, const RunCancellation& cancel);
// EnumScheduledTasks saved in the ANSI code page, no byte-order mark, CR LF after every line.
void SaveScheduledTasks(const std::string& path, RunLog& log, const RunCancellation& cancel);

// Starts `reg export KEY FILE` through cmd.exe hidden, in the form the reg of that Windows
// major version takes (with /y from Vista on), and waits up to about 3.1 s. True when the
// shell started the command. Callers delete an older FILE first.
bool RegExportByShell(const std::string& key, const std::string& file, HWND owner = nullptr,
                      unsigned windows_major = WindowsMajorVersion());
// The same in two halves, so that several exports run at once: the start (true when the shell
// started it; its process joins `started`), and one wait of about 3.1 s for all of them.
bool StartRegExport(const std::string& key, const std::string& file,
                    std::vector<UniqueHandle>& started, HWND owner = nullptr,
                    unsigned windows_major = WindowsMajorVersion());
void WaitForRegExports(std::vector<UniqueHandle>& started);

// The systeminfo output with its three header lines (date and time, an empty line,
// "===== System ====="). A systeminfo ended at its time limit is noted in the run log.
StringList CaptureSystemInfo(RunLog& log, const RunCancellation& cancel,
                             DWORD time_limit_ms = kSystemInfoLimitMs);

// systeminfo started ahead of the stage that needs it, so that it runs while other collectors
// work. Collect() waits for it (the time limit counts from the start) and returns what
// CaptureSystemInfo returns; a capture dropped without Collect() ends the program and removes
// its file.
class SystemInfoCapture {
 public:
  explicit SystemInfoCapture(const RunCancellation& cancel,
                             DWORD time_limit_ms = kSystemInfoLimitMs);
  ~SystemInfoCapture();
  SystemInfoCapture(const SystemInfoCapture&) = delete;
  SystemInfoCapture& operator=(const SystemInfoCapture&) = delete;
  StringList Collect(RunLog& log);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// True when the file cannot be opened exclusively (missing or locked).
bool IsFileInUse(const std::string& path);

// Every file below the folder, depth first in file-system order; SearchFiles passes over
// folders named ".svn" with their content.
void SearchFiles(const std::string& folder, StringList& output);
void ListFilesRecursive(const std::string& folder, StringList& output);

}  // namespace kovra::win
