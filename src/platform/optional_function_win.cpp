#include "platform/optional_function_win.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace kovra::win {

namespace {

// The system folder's copy of `module`, loaded by its full path: the search order never
// comes into it, so a DLL of the same name beside the program or in the current folder is
// never taken. Its own dependencies are looked for in the system folder first (the altered
// search order starts at the folder of the DLL being loaded).
HMODULE SystemModule(const wchar_t* module) {
  wchar_t folder[MAX_PATH] = {};
  const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH)
    return nullptr;
  const std::wstring path = std::wstring(folder, n) + L"\\" + module;
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
