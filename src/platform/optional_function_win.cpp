#include "platform/optional_function_win.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace kovra::win {

namespace {

HMODULE SystemModule(const wchar_t* module) {
  if (HMODULE loaded = ::GetModuleHandleW(module))
    return loaded;
  wchar_t folder[MAX_PATH] = {};
  const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH)
    return nullptr;
  const std::wstring path = std::wstring(folder, n) + L"\\" + module;
  // Kept loaded for the life of the process: the cached addresses point into it.
  return ::LoadLibraryW(path.c_str());
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
