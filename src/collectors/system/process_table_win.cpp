#include "collectors/system/process_table_win.h"

#include <psapi.h>
#include <winternl.h>

#include <optional>
#include <vector>

#include "base/parallel_for.h"
#include "collectors/system/process_table.h"
#include "platform/errors_win.h"
#include "platform/handles_win.h"
#include "platform/optional_function_win.h"
#include "platform/registry_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

using NtQuerySystemInformationFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
using GetModuleFileNameExWFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
using QueryFullProcessImageNameWFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
using GetProcessImageFileNameWFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD);
using GetProcessMemoryInfoFn = BOOL(WINAPI*)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);
using GetGuiResourcesFn = DWORD(WINAPI*)(HANDLE, DWORD);
using GlobalMemoryStatusExFn = BOOL(WINAPI*)(LPMEMORYSTATUSEX);

// The optional functions, looked up once by name; an absent one skips its step.
struct Functions {
  NtQuerySystemInformationFn nt_query_system_information;
  GetModuleFileNameExWFn get_module_file_name_ex;
  QueryFullProcessImageNameWFn query_full_process_image_name;
  GetProcessImageFileNameWFn get_process_image_file_name;
  GetProcessMemoryInfoFn get_process_memory_info;
  GetGuiResourcesFn get_gui_resources;
  GlobalMemoryStatusExFn global_memory_status_ex;
};

const Functions& F() {
  static const Functions f = [] {
    Functions r{};
    const wchar_t* ntdll = L"ntdll.dll";
    const wchar_t* kernel32 = L"kernel32.dll";
    const wchar_t* psapi = L"psapi.dll";
    r.nt_query_system_information =
        SystemFunction<NtQuerySystemInformationFn>(ntdll, "NtQuerySystemInformation");
    r.get_module_file_name_ex =
        SystemFunction<GetModuleFileNameExWFn>(psapi, "GetModuleFileNameExW");
    r.query_full_process_image_name =
        SystemFunction<QueryFullProcessImageNameWFn>(kernel32, "QueryFullProcessImageNameW");
    r.get_process_image_file_name =
        SystemFunction<GetProcessImageFileNameWFn>(psapi, "GetProcessImageFileNameW");
    r.get_process_memory_info =
        SystemFunction<GetProcessMemoryInfoFn>(psapi, "GetProcessMemoryInfo");
    r.get_gui_resources = SystemFunction<GetGuiResourcesFn>(L"user32.dll", "GetGuiResources");
    r.global_memory_status_ex =
        SystemFunction<GlobalMemoryStatusExFn>(kernel32, "GlobalMemoryStatusEx");
    return r;
  }();
  return f;
}

constexpr ULONG kSystemProcessInformation = 5;

// Threads asking for the names of the string-atom range at once.
constexpr unsigned kAtomAskers = 4;

// The process records in one buffer: the size the system asks for, twice over; or, when it
// names none, growing sizes from 128 KiB to 4 MiB.
std::vector<uint8_t> QueryProcessRecords() {
  const auto query = F().nt_query_system_information;
  if (!query)
    return {};
  ULONG needed = 0;
  query(kSystemProcessInformation, nullptr, 0, &needed);
  if (needed > 0) {
    std::vector<uint8_t> buffer(static_cast<size_t>(needed) * 2, 0);
    if (query(kSystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
              &needed) >= 0)
      return buffer;
    return {};
  }
  for (size_t size = 65536 * 2; size <= 4194304; size *= 2) {
    std::vector<uint8_t> buffer(size, 0);
    if (query(kSystemProcessInformation, buffer.data(), static_cast<ULONG>(size), &needed) >= 0)
      return buffer;
  }
  return {};
}

std::string SystemDirectory() {
  wchar_t buffer[260] = {};
  const UINT n = ::GetSystemDirectoryW(buffer, 260);
  return n > 0 && n < 260 ? Narrow(buffer) : std::string();
}

uint32_t AgeOf(const FILETIME& created) {
  SYSTEMTIME now_st;
  ::GetSystemTime(&now_st);
  FILETIME now_ft;
  if (!::SystemTimeToFileTime(&now_st, &now_ft))
    return 0;
  const uint64_t now = static_cast<uint64_t>(now_ft.dwHighDateTime) << 32 | now_ft.dwLowDateTime;
  const uint64_t then = static_cast<uint64_t>(created.dwHighDateTime) << 32 | created.dwLowDateTime;
  return AgeFromFileTimeDifference(now > then ? now - then : then - now);
}

// The image name of a record, when it lies inside the records' buffer.
bool ImageNameOf(const SYSTEM_PROCESS_INFORMATION& record, const std::vector<uint8_t>& records,
                 std::wstring& name) {
  const auto* begin = reinterpret_cast<const uint8_t*>(record.ImageName.Buffer);
  if (begin == nullptr || record.ImageName.Length == 0)
    return false;
  if (begin < records.data() || begin + record.ImageName.Length > records.data() + records.size())
    return false;
  name.assign(record.ImageName.Buffer, record.ImageName.Length / sizeof(wchar_t));
  return true;
}

ProcessRow RowOf(const SYSTEM_PROCESS_INFORMATION& record, const std::vector<uint8_t>& records,
                 const std::string& system_directory) {
  ProcessRow row;
  row.process_id = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(record.UniqueProcessId));
  row.session_id = record.SessionId;
  row.threads = record.NumberOfThreads;
  row.handles = record.HandleCount;
  std::wstring image_name;
  if (!ImageNameOf(record, records, image_name)) {
    row.name = "Idle";
    return row;
  }
  std::string path = Narrow(image_name);
  {
    UniqueHandle process(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, row.process_id));
    if (process) {
      const std::string image = GetProcessImagePath(process.get());
      if (!image.empty())
        path = RewriteImagePath(image, system_directory);
      PROCESS_MEMORY_COUNTERS counters = {};
      counters.cb = sizeof counters;
      if (F().get_process_memory_info &&
          F().get_process_memory_info(process.get(), &counters, sizeof counters)) {
        row.working_set_mb = static_cast<uint32_t>(counters.WorkingSetSize / 1048576);
        row.private_mb = static_cast<uint32_t>(counters.PagefileUsage / 1048576);
      }
    }
  }
  SplitImagePath(path, row.folder, row.name);
  if (row.process_id != 0) {
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, row.process_id));
    if (process) {
      FILETIME created, exited, kernel, user;
      if (::GetProcessTimes(process.get(), &created, &exited, &kernel, &user))
        row.age_ms = AgeOf(created);
      row.priority_class = static_cast<int32_t>(::GetPriorityClass(process.get()));
      if (F().get_gui_resources) {
        row.gdi_objects = static_cast<int32_t>(F().get_gui_resources(process.get(), 0));
        row.user_objects = static_cast<int32_t>(F().get_gui_resources(process.get(), 1));
      }
    }
  }
  return row;
}

}  // namespace

std::string DecimalSeparator() {
  static const std::string separator = [] {
    wchar_t buffer[8] = {};
    const int n = ::GetLocaleInfoW(::GetThreadLocale(), LOCALE_SDECIMAL, buffer, 8);
    return n > 1 ? Narrow(std::wstring_view(buffer, 1)) : std::string(",");
  }();
  return separator;
}

bool EnablePrivilege(const wchar_t* name, bool enable) {
  UniqueToken token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.receive()))
    return false;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  if (!::LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid))
    return false;
  privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof privileges, nullptr, nullptr);
  return ::GetLastError() == ERROR_SUCCESS;
}

std::string DevicePathToDrivePath(const std::string& device_path) {
  wchar_t roots[261] = {};
  const DWORD n = ::GetLogicalDriveStringsW(260, roots);
  if (n == 0 || n > 260)
    return std::string();
  std::vector<std::pair<std::string, std::string>> drives;
  for (const wchar_t* root = roots; *root; root += wcslen(root) + 1) {
    const std::wstring drive(root, std::min<size_t>(2, wcslen(root)));
    wchar_t device[MAX_PATH] = {};
    if (::QueryDosDeviceW(drive.c_str(), device, MAX_PATH))
      drives.emplace_back(Narrow(drive), Narrow(device));
  }
  return kovra::DevicePathToDrivePath(device_path, drives);
}

std::string GetProcessImagePath(HANDLE process) {
  wchar_t buffer[MAX_PATH] = {};
  std::string path;
  DWORD size = MAX_PATH;
  if (F().query_full_process_image_name &&
      F().query_full_process_image_name(process, 0, buffer, &size) && size > 0)
    path = Narrow(std::wstring_view(buffer, size));
  if (path.empty() && F().get_process_image_file_name) {
    const DWORD n = F().get_process_image_file_name(process, buffer, MAX_PATH);
    if (n > 0)
      path = DevicePathToDrivePath(Narrow(std::wstring_view(buffer, n)));
  }
  if (path.empty() && F().get_module_file_name_ex) {
    const DWORD n = F().get_module_file_name_ex(process, nullptr, buffer, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
      path = Narrow(std::wstring_view(buffer, n));
  }
  if (path.empty())
    return path;
  wchar_t long_path[MAX_PATH] = {};
  const DWORD n = ::GetLongPathNameW(Widen(path).c_str(), long_path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? Narrow(long_path) : path;
}

std::string GetVirtualMemoryInfo(RunLog& log) {
  try {
    wchar_t windows[MAX_PATH] = {};
    const UINT n = ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring root = n >= 3 ? std::wstring(windows, 3) : std::wstring(L"C:\\");
    ULARGE_INTEGER total{}, total_free{};
    if (!::GetDiskFreeSpaceExW(root.c_str(), nullptr, &total, &total_free))
      total.QuadPart = total_free.QuadPart = 0;
    uint64_t avail_virtual = 0, total_virtual = 0, avail_page = 0, total_page = 0;
    if (F().global_memory_status_ex) {
      MEMORYSTATUSEX m = {};
      m.dwLength = sizeof m;
      F().global_memory_status_ex(&m);
      avail_virtual = m.ullAvailVirtual;
      total_virtual = m.ullTotalVirtual;
      avail_page = m.ullAvailPageFile;
      total_page = m.ullTotalPageFile;
    } else {
      MEMORYSTATUS m = {};
      m.dwLength = sizeof m;
      ::GlobalMemoryStatus(&m);
      avail_virtual = m.dwAvailVirtual;
      total_virtual = m.dwTotalVirtual;
      avail_page = m.dwAvailPageFile;
      total_page = m.dwTotalPageFile;
    }
    return VirtualMemoryText(avail_virtual, total_virtual, avail_page, total_page,
                             total_free.QuadPart, total.QuadPart, DecimalSeparator());
  } catch (...) {
    RecordCaught(log, "virtual memory");
    return "error";
  }
}

std::string GetGlobalAtomInfo(RunLog& log) {
  try {
    // Every value of the string-atom range is asked for its global atom and its registered
    // clipboard format name: 32,768 questions, each a request to the window system, so blocks of
    // the range are asked at once. The names are then counted and grouped in value order.
    constexpr unsigned kFirst = 0xC000, kValues = 0x4000, kBlock = 256;
    struct Names {
      std::optional<std::wstring> atom, format;
    };
    std::vector<Names> names(kValues);
    ForEachIndex(kValues / kBlock, kAtomAskers, [&names](size_t block) {
      wchar_t name[1024];
      for (size_t i = block * kBlock; i < (block + 1) * kBlock; ++i) {
        const unsigned value = kFirst + static_cast<unsigned>(i);
        const UINT a = ::GlobalGetAtomNameW(static_cast<ATOM>(value), name, 1024);
        if (a > 0)
          names[i].atom.emplace(name, a);
        const int r = ::GetClipboardFormatNameW(value, name, 1024);
        if (r > 0)
          names[i].format.emplace(name, static_cast<size_t>(r));
      }
    });
    AtomGroups groups;
    unsigned atoms = 0, registered = 0;
    for (const Names& n : names) {
      if (n.atom) {
        ++atoms;
        groups.Add(Narrow(*n.atom));
      }
      if (n.format) {
        ++registered;
        groups.Add(Narrow(*n.format));
      }
    }
    return "Atom:" + std::to_string(atoms) + ", RWM:" + std::to_string(registered) +
           groups.LargestText();
  } catch (...) {
    RecordCaught(log, "global atom table");
    return "error";
  }
}

std::string GetDesktopHeapInfo(RunLog& log) {
  try {
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!reg.OpenKey("SYSTEM\\CurrentControlSet\\Control\\Session Manager\\SubSystems"))
      return std::string();
    const int size = reg.GetDataSize("Windows");
    if (size <= 0)
      return std::string();
    std::vector<wchar_t> buffer(static_cast<size_t>(size), L'\0');  // twice the bytes
    DWORD type = REG_NONE, bytes = static_cast<DWORD>(size);
    if (::RegQueryValueExW(reg.CurrentKey(), L"Windows", nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer.data()), &bytes) != ERROR_SUCCESS)
      return std::string();
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ)
      return Narrow(std::wstring_view(buffer.data(), wcsnlen(buffer.data(), buffer.size())));
    return Narrow(std::wstring_view(buffer.data(), static_cast<size_t>(size)));
  } catch (...) {
    RecordCaught(log, "desktop heap");
    return "error";
  }
}

std::string CollectProcessTable(RunLog& log) {
  std::vector<ProcessRow> rows;
  rows.reserve(64);
  const std::vector<uint8_t> records = QueryProcessRecords();
  if (!records.empty()) {
    EnablePrivilege(SE_DEBUG_NAME, true);
    const std::string system_directory = SystemDirectory();
    size_t at = 0;
    for (;;) {
      if (at + sizeof(SYSTEM_PROCESS_INFORMATION) > records.size())
        break;
      const auto* record = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(records.data() + at);
      rows.push_back(RowOf(*record, records, system_directory));
      if (record->NextEntryOffset == 0)
        break;
      at += record->NextEntryOffset;
    }
  }
  return ProcessTableText(rows, DecimalSeparator(), GetVirtualMemoryInfo(log),
                          GetGlobalAtomInfo(log), GetDesktopHeapInfo(log));
}

}  // namespace kovra::win
