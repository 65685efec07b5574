#include "platform/files_info_win.h"

#include <shlobj.h>

#include <vector>

#include "base/text.h"
#include "platform/buffer_win.h"
#include "platform/file_walk_win.h"
#include "platform/files_win.h"
#include "platform/folders.h"
#include "platform/optional_function_win.h"
#include "platform/os_version_win.h"
#include "platform/registry_win.h"
#include "platform/user_domain_win.h"
#include "platform/win_text_win.h"
#include "platform/wow64_win.h"

namespace kovra::win {

namespace {

// The version API of version.dll, looked up once from the system folder's copy: a static
// import of it would be looked for beside the program first. When any of the three is
// missing no file has a version resource that can be read (the callers' fallback).
struct VersionApi {
  decltype(&::GetFileVersionInfoSizeW) size = nullptr;
  decltype(&::GetFileVersionInfoW) read = nullptr;
  decltype(&::VerQueryValueW) query = nullptr;
};

const VersionApi& Version() {
  static const VersionApi api = [] {
    const wchar_t* dll = L"version.dll";
    VersionApi v;
    v.size = SystemFunction<decltype(v.size)>(dll, "GetFileVersionInfoSizeW");
    v.read = SystemFunction<decltype(v.read)>(dll, "GetFileVersionInfoW");
    v.query = SystemFunction<decltype(v.query)>(dll, "VerQueryValueW");
    return v.size && v.read && v.query ? v : VersionApi{};
  }();
  return api;
}

// VerQueryValueW over a block that ReadVersionBlock filled (so the API is there).
bool QueryValue(const std::vector<uint8_t>& block, const wchar_t* sub_block, void** value,
                UINT* length) {
  return Version().query(block.data(), sub_block, value, length) != FALSE;
}

bool QueryText(const std::vector<uint8_t>& block, const std::string& sub_block, std::string& out) {
  void* value = nullptr;
  UINT length = 0;
  if (!QueryValue(block, Widen(sub_block).c_str(), &value, &length) || value == nullptr) {
    return false;
  }
  // The length the call gives, in characters; never read past it for a terminator.
  const auto* text = static_cast<const wchar_t*>(value);
  out = Narrow(std::wstring_view(text, wcsnlen(text, length)));
  return true;
}

std::string Trimmed(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos)
    return std::string();
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string EnvironmentVariable(const std::string& name) {
  const std::wstring w = Widen(name);
  return Narrow(GrowWideBuffer(
      [&w](wchar_t* b, DWORD n) { return ::GetEnvironmentVariableW(w.c_str(), b, n); }));
}

// The drive of the loaded kernel32.dll, "C:" and the like.
std::string Kernel32Drive() {
  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  const std::wstring path = GrowWideBuffer(
      [kernel32](wchar_t* b, DWORD n) { return ::GetModuleFileNameW(kernel32, b, n); });
  return path.size() >= 2 ? Narrow(path.substr(0, 2)) : std::string();
}

// The file's version resource; false when it has none that can be read.
bool ReadVersionBlock(const std::string& path, std::vector<uint8_t>& block) {
  const VersionApi& api = Version();
  if (api.size == nullptr)
    return false;
  const std::wstring wpath = Widen(path);
  DWORD ignored = 0;
  const DWORD size = api.size(wpath.c_str(), &ignored);
  if (size == 0)
    return false;
  block.assign(size, 0);
  return api.read(wpath.c_str(), 0, size, block.data()) != FALSE;
}

}  // namespace

bool GetFixedFileVersion(const std::string& path, uint32_t& ms, uint32_t& ls) {
  std::vector<uint8_t> block;
  void* value = nullptr;
  UINT length = 0;
  if (!ReadVersionBlock(path, block) || !QueryValue(block, L"\\", &value, &length) ||
      value == nullptr || length < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  ms = fixed->dwFileVersionMS;
  ls = fixed->dwFileVersionLS;
  return true;
}

bool ReadFileInfo(const std::string& path, TFileInfo& info, const std::string& extra_key) {
  try {
    std::vector<uint8_t> block;
    if (!ReadVersionBlock(path, block))
      return false;

    void* value = nullptr;
    UINT length = 0;
    if (!QueryValue(block, L"\\VarFileInfo\\Translation", &value, &length) || value == nullptr ||
        length < 4) {
      return false;
    }
    const DWORD translation = *static_cast<const DWORD*>(value);
    std::string prefix = StringTablePrefix(LOWORD(translation), HIWORD(translation));
    if (!QueryValue(block, Widen(prefix.substr(0, prefix.size() - 1)).c_str(), &value, &length)) {
      // The translation table names a table that is not there: take the first one there is.
      if (QueryValue(block, L"\\StringFileInfo\\", &value, &length) && value != nullptr) {
        const std::u16string key = FirstStringTableKey(block.data(), block.size());
        if (!key.empty())
          prefix = "\\StringFileInfo\\" + Utf16ToUtf8(key) + "\\";
      }
    }
    for (const FileInfoKey& k : kFileInfoKeys)
      QueryText(block, prefix + k.name, info.*k.field);
    if (QueryValue(block, L"\\", &value, &length) && value != nullptr &&
        length >= sizeof(info.Fixed)) {
      memcpy(info.Fixed, value, sizeof(info.Fixed));
    }
    if (!extra_key.empty())
      QueryText(block, prefix + extra_key, info.Extra);
    return true;
  } catch (...) {
    return false;
  }
}

std::string GetFileVersionText(const std::string& path, VersionField field,
                               const std::string& default_text) {
  TFileInfo info;
  if (!ReadFileInfo(path, info, "WOW Version"))
    return default_text;
  return FileInfoFieldText(info, field);
}

std::string GetShellFolder(HWND owner, int csidl) {
  // The user's own folders as the tool may use them; the system's as they are.
  if (IsPerUserShellFolder(csidl))
    return JudgedShellFolder(csidl).path;
  wchar_t buffer[MAX_PATH + 1] = {};
  if (!::SHGetSpecialFolderPathW(owner, buffer, csidl, FALSE))
    return std::string();
  return Narrow(buffer);
}

std::string ThreadUserName() {
  wchar_t buffer[257] = {};
  DWORD size = std::size(buffer);
  if (!::GetUserNameW(buffer, &size))
    return std::string();
  return Narrow(buffer);
}

std::string GetSpecialFolder(HWND owner, int csidl) {
  const std::string answer = GetShellFolder(owner, csidl);
  if (answer.size() > 2)
    return answer;
  const std::string variable = SpecialFolderVariable(csidl, IsWow64());
  if (variable.empty())
    return answer;
  const std::string from_environment = Trimmed(EnvironmentVariable(variable));
  if (!from_environment.empty())
    return from_environment;
  return BuiltSpecialFolder(csidl, Kernel32Drive(), ThreadUserName(), WindowsMajorVersion(),
                            IsWow64());
}

std::string GetAppDataFallback(bool all_users) {
  const std::string shell =
      GetShellFolder(nullptr, all_users ? kCsidlCommonAppData : kCsidlAppData);
  if (!shell.empty() && DirectoryExists(shell))
    return shell;
  TRegistry registry(KEY_QUERY_VALUE);
  registry.SetAutoView(false);
  registry.SetRootKey(all_users ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER);
  if (registry.OpenKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders")) {
    // A value of another kind than text counts as absent.
    std::string value;
    if (registry.ReadTextValue(all_users ? "Common AppData" : "AppData", value) && !value.empty() &&
        DirectoryExists(value))
      return value;
  }
  wchar_t windows[MAX_PATH] = {};
  const UINT n = ::GetWindowsDirectoryW(windows, MAX_PATH);
  const std::string drive = n >= 2 ? Narrow(std::wstring_view(windows, 2)) : std::string();
  const std::string built =
      BuiltAppDataFolder(all_users, drive, ThreadUserName(), WindowsMajorVersion());
  return DirectoryExists(built) ? built : std::string();
}

std::string GetSystemDriveRoot() {
  wchar_t system[MAX_PATH] = {};
  const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
  return n >= 2 ? Narrow(std::wstring_view(system, 2)) + "\\" : std::string();
}

uint64_t GetFolderSize(const std::string& mask) {
  const std::wstring w = Widen(mask);
  const size_t slash = w.find_last_of(L"\\/");
  WalkOptions options;
  options.skip_hidden_system = false;
  options.visit_folders = true;
  options.top_mask = slash == std::wstring::npos ? w : w.substr(slash + 1);
  // Only plain folders (the directory attribute and nothing else) are entered.
  options.enter = [](const WIN32_FIND_DATAW& d) {
    return d.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY && d.cFileName[0] != L'.';
  };
  uint64_t total = 0;
  WalkFolder(slash == std::wstring::npos ? L"." : w.substr(0, slash), options,
             [&total](const std::wstring&, const WIN32_FIND_DATAW& d) {
               total += static_cast<uint64_t>(d.nFileSizeHigh) << 32 | d.nFileSizeLow;
               return true;
             });
  return total;
}

OsGeneration GetOSGeneration() {
  OSVERSIONINFOEXW v;
  if (!QueryVersionEx(v))
    return OsGeneration::kNotNt;
  const SYSTEM_INFO si = NativeSystemInfo();
  OsVersionFacts facts;
  facts.nt_platform = v.dwPlatformId == VER_PLATFORM_WIN32_NT;
  facts.major = v.dwMajorVersion;
  facts.minor = v.dwMinorVersion;
  facts.product_type = v.wProductType;
  facts.processor_architecture = si.wProcessorArchitecture;
  return OsGenerationOf(facts);
}

}  // namespace kovra::win
