// Optional system functions: looked up by name once per process, so that the executable loads
// on every Windows it supports and a missing function only skips its step.
#pragma once

#include <windows.h>

namespace kovra::win {

// The address of `name` in the system module `module` ("kernel32.dll"), or nullptr. The
// module is always the system folder's file, named by its full path (never one beside the
// program, in the current folder or on PATH), and stays loaded. This is how the tool reaches
// every DLL that is not one of the system's known DLLs: such a DLL is never a static import,
// which the loader would look for in the program's folder first. Answers are cached; safe to
// call from any thread.
void* LookupSystemFunction(const wchar_t* module, const char* name);

// Loads the system folder's copy of `module` by its full path, as LookupSystemFunction does,
// and keeps it loaded; false when the system has none.
[[nodiscard]] bool LoadSystemModule(const wchar_t* module);

template <typename Fn>
Fn SystemFunction(const wchar_t* module, const char* name) {
  return reinterpret_cast<Fn>(LookupSystemFunction(module, name));
}

// GetNativeSystemInfo where the system has it, GetSystemInfo otherwise.
SYSTEM_INFO NativeSystemInfo();

}  // namespace kovra::win
