// The process table with system resources: the facts gathered through Win32.
#pragma once

#include <windows.h>

#include <string>

namespace kovra::win {

// The section body: one line per process, an empty line and the three summary lines, joined
// with CR LF.
std::string CollectProcessTable();

std::string GetProcessImagePath(HANDLE process);
std::string DevicePathToDrivePath(const std::string& device_path);
bool EnablePrivilege(const wchar_t* name, bool enable);
std::string GetVirtualMemoryInfo();
std::string GetGlobalAtomInfo();
std::string GetDesktopHeapInfo();
// The first character of the thread locale's decimal separator, read once; "," on failure.
std::string DecimalSeparator();

}  // namespace kovra::win
