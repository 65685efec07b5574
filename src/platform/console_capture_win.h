// The capture engine: console programs run hidden with their output captured. Every program
// runs in a job object under a time limit; at the limit, at the size bound or once the run is
// cancelled the job is ended (with any grandchildren still holding the output pipe), the output
// so far is kept and the caller goes on. It knows no report: the collectors that use it (the
// scheduled tasks, systeminfo) live in collectors/.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/run_log.h"
#include "base/string_list.h"
#include "platform/cancellation.h"
#include "platform/child_process_win.h"
#include "platform/handles_win.h"

namespace kovra::win {

// The time limit of a capture that names none.
inline constexpr DWORD kCaptureLimitMs = 120000;
// Output still arriving after the program itself ended comes from its children; they get this
// long before the job is ended.
inline constexpr DWORD kAfterExitMs = 2000;

// How a captured program's output ended: by itself, or cut where the program was ended.
enum class CaptureEnd { kEnded, kTimeLimit, kSizeLimit, kCancelled };

// Notes a cut capture in the run log (which limit, that the output so far was kept); nothing
// for one that ended by itself.
void RecordCaptureEnd(RunLog& log, std::string_view program, CaptureEnd end, DWORD time_limit_ms);

// Runs the program (StartConsoleProgram, with `setting`) with its output on a pipe and appends
// its output lines, decoded from the ANSI code page; says how the output ended. A requested
// `cancel` ends the program within one round (10 ms) and keeps the output so far. Throws
// std::runtime_error when the pipe cannot be created ("Failed to create pipe！" and the system's
// reason) or the program cannot start.
CaptureEnd CaptureConsoleOutput(const ConsoleCommand& command, const ChildSetting& setting,
                                StringList& output, const RunCancellation& cancel,
                                DWORD time_limit_ms = kCaptureLimitMs);

// Runs the commands as CaptureConsoleOutput does, up to `at_once` of them at a time, each
// under its own time limit, and appends their outputs in the order of the list; their ends in
// the same order; once `cancel` is requested no further one starts. Throws when one cannot
// start (the ones already running are ended).
std::vector<CaptureEnd> CaptureConsoleOutputs(const std::vector<ConsoleCommand>& commands,
                                              const ChildSetting& setting, StringList& output,
                                              const RunCancellation& cancel, DWORD time_limit_ms,
                                              size_t at_once);

// True when the file cannot be opened exclusively (missing or locked).
bool IsFileInUse(const std::string& path);

}  // namespace kovra::win
