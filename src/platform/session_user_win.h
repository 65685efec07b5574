// The interactive user and the account that owns a process.
#pragma once

#include <windows.h>

#include <string>

namespace kovra::win {

// User name of the interactive session; empty when unknown.
std::string GetSessionUserName();
// Account name that owns the process; empty when unknown.
std::string GetProcessUserName(DWORD process_id);

}  // namespace kovra::win
