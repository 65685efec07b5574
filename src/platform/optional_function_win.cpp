#include "platform/optional_function_win.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace kovra::win {

namespace {

// The folder that holds the system's DLLs of this process's kind, without a trailing
// backslash. A 32-bit process under WOW64 names SysWOW64 itself: on a thread that has turned
// file-system redirection off, "System32" would be the native folder of 64-bit DLLs.
std::wstring SystemDllFolder() {
  wchar_t folder[MAX_PATH] = {};
#if !defined(_WIN64)
  // Looked up: not every 32-bit kernel32 exports it, and it fails where the system is not
  // 64-bit.
  using Wow64DirectoryFn = UINT(WINAPI*)(LPWSTR, UINT);
  const auto wow64_directory = reinterpret_cast<Wow64DirectoryFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetSystemWow64DirectoryW")));
  if (wow64_directory) {
    const UINT n = wow64_directory(folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
      return std::wstring(folder, n);
  }
#endif
  const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(folder, n) : std::wstring();
}

// The system folder's copy of `module`, loaded by its full path: the search order never
// comes into it, so a DLL of the same name beside the program or in the current folder is
// never taken. Its own dependencies are looked for in the system folder first (the altered
// search order starts at the folder of the DLL being loaded).
HMODULE SystemModule(const wchar_t* module) {
  const std::wstring folder = SystemDllFolder();
  if (folder.empty())
    return nullptr;
  const std::wstring path = folder + L"\\" + module;
  // Kept loaded for the life of the process: the cached addresses point into it. A module
  // the process has already loaded from that path is only counted once more.
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

void* LookupSystemFunction(const wchar_t* module, const char* name) {
  static std::mutex mutex;
  static std::map<std::pair<std::wstring, std::string>, void*> cache;
  std::lock_guard<std::mutex> lock(mutex);
  const auto key = std::make_pair(std::wstring(module), std::string(name));
  const auto hit = cache.find(key);
  if (hit != cache.end())
    return hit->second;
  void* address = nullptr;
  if (HMODULE m = SystemModule(module))
    address = reinterpret_cast<void*>(::GetProcAddress(m, name));
  cache.emplace(key, address);
  return address;
}

bool LoadSystemModule(const wchar_t* module) {
  return SystemModule(module) != nullptr;
}

SYSTEM_INFO NativeSystemInfo() {
  SYSTEM_INFO si = {};
  const auto native =
      SystemFunction<void(WINAPI*)(SYSTEM_INFO*)>(L"kernel32.dll", "GetNativeSystemInfo");
  if (native)
    native(&si);
  else
    ::GetSystemInfo(&si);
  return si;
}

}  // namespace kovra::win
