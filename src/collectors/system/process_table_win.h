// The process table with system resources: the facts gathered through Win32.
#pragma once

#include <windows.h>

#include <string>

#include "base/run_log.h"

namespace kovra::win {

// The section body: one line per process, an empty line and the three summary lines, joined
// with CR LF. Never throws; a summary line that cannot be gathered is the report's "error"
// text and its failure is reported through the run log.
std::string CollectProcessTable(RunLog& log);

std::string GetProcessImagePath(HANDLE process);
std::string DevicePathToDrivePath(const std::string& device_path);
bool EnablePrivilege(const wchar_t* name, bool enable);
// The three summary lines; "error" on a failure, which is reported through the run log.
std::string GetVirtualMemoryInfo(RunLog& log);
std::string GetGlobalAtomInfo(RunLog& log);
std::string GetDesktopHeapInfo(RunLog& log);
// The first character of the thread locale's decimal separator, read once; "," on failure.
std::string DecimalSeparator();

}  // namespace kovra::win
