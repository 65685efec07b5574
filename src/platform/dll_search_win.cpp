#include "platform/dll_search_win.h"

#include <initializer_list>

#include "platform/optional_function_win.h"

namespace kovra::win {

namespace {

// Not in the XP headers the code is built against.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;

}  // namespace

DllSearchLimit LimitDllSearchToSystemFolder() {
  using SetDefaultFn = BOOL(WINAPI*)(DWORD);
  const auto set_default =
      SystemFunction<SetDefaultFn>(L"kernel32.dll", "SetDefaultDllDirectories");
  if (set_default && set_default(kLoadLibrarySearchSystem32))
    return DllSearchLimit::kSystemFolderOnly;
  // Looked up too: SetDllDirectoryW came with XP SP1.
  using SetDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
  const auto set_directory = SystemFunction<SetDirectoryFn>(L"kernel32.dll", "SetDllDirectoryW");
  if (set_directory && set_directory(L""))
    return DllSearchLimit::kWithoutCurrentFolder;
  return DllSearchLimit::kUnchanged;
}

void PreloadSystemDlls() {
  for (const wchar_t* dll : {L"version.dll", L"msimg32.dll", L"wtsapi32.dll", L"psapi.dll"}) {
    // Absent: the look-ups into it find nothing, and their callers fall back.
    static_cast<void>(LoadSystemModule(dll));
  }
}

}  // namespace kovra::win
