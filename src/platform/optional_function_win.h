// Optional system functions: looked up by name once per process, so that the executable loads
// on every Windows it supports and a missing function only skips its step.
#pragma once

#include <windows.h>

namespace kovra::win {

// The address of `name` in the system module `module` ("kernel32.dll"), or nullptr. A module
// not yet in the process is loaded from the system folder (never from the program's folder)
// and stays loaded. Answers are cached; safe to call from any thread.
void* LookupSystemFunction(const wchar_t* module, const char* name);

template <typename Fn>
Fn SystemFunction(const wchar_t* module, const char* name) {
  return reinterpret_cast<Fn>(LookupSystemFunction(module, name));
}

// GetNativeSystemInfo where the system has it, GetSystemInfo otherwise.
SYSTEM_INFO NativeSystemInfo();

}  // namespace kovra::win
