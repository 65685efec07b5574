#include "collectors/system/os_summary_win.h"

#include <windows.h>

#include <vector>

#include "collectors/system/os_summary.h"
#include "platform/optional_function_win.h"
#include "platform/os_version_win.h"
#include "platform/session_user_win.h"
#include "platform/win_text_win.h"
#include "platform/wow64_win.h"

namespace kovra::win {

namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);

std::string ComputeDisplayName() {
  OsNameFacts facts;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (::GetVersion() & 0x80000000u) {
    OSVERSIONINFOA a = {};
    a.dwOSVersionInfoSize = sizeof a;
    ::GetVersionExA(&a);
    facts.platform = a.dwPlatformId;
    facts.major = a.dwMajorVersion;
    facts.minor = a.dwMinorVersion;
    facts.build = a.dwBuildNumber;
    facts.service_pack = a.szCSDVersion;  // widened byte by byte
  } else {
    OSVERSIONINFOEXW v = {};
    v.dwOSVersionInfoSize = sizeof v;
    const auto rtl_get_version = SystemFunction<RtlGetVersionFn>(L"ntdll.dll", "RtlGetVersion");
    if (!rtl_get_version || rtl_get_version(&v) != 0) {
      if (!QueryVersionEx(v)) {
        v.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
        ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&v));
      }
    }
    facts.platform = v.dwPlatformId;
    facts.major = v.dwMajorVersion;
    facts.minor = v.dwMinorVersion;
    facts.build = v.dwBuildNumber;
    facts.product_type = v.wProductType;
    facts.service_pack = Narrow(std::wstring_view(v.szCSDVersion, wcsnlen(v.szCSDVersion, 128)));
  }
#pragma GCC diagnostic pop
  facts.server_r2 = ::GetSystemMetrics(SM_SERVERR2) != 0;
  facts.tablet_pc = ::GetSystemMetrics(SM_TABLETPC) != 0;
  facts.starter = ::GetSystemMetrics(SM_STARTER) != 0;
  facts.media_center = ::GetSystemMetrics(SM_MEDIACENTER) != 0;
  facts.x64 = NativeSystemInfo().wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
  return OsDisplayName(facts);
}

}  // namespace

std::string GetOSDisplayName() {
  static std::string name;
  if (name.empty())
    name = ComputeDisplayName();
  return name;
}

StringList CollectOSSummary() {
  OsSummaryFacts f;
  f.display_name = GetOSDisplayName();
  OSVERSIONINFOEXW v{};
  if (!QueryVersionEx(v))
    v = OSVERSIONINFOEXW{};  // unknown: the numbers read 0
  f.major = v.dwMajorVersion;
  f.minor = v.dwMinorVersion;
  f.build = v.dwBuildNumber;
  f.service_pack = Narrow(std::wstring_view(v.szCSDVersion, wcsnlen(v.szCSDVersion, 128)));

  char language[260] = {};
  if (::GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE, language, sizeof language) > 0)
    f.system_language = CodePageToUtf8(language, CP_ACP);

  DWORD size = 0;
  ::GetComputerNameW(nullptr, &size);
  if (size > 0) {
    std::vector<wchar_t> name(size + 1, L'\0');
    DWORD capacity = size;
    if (::GetComputerNameW(name.data(), &capacity)) {
      f.has_computer_name = true;
      f.computer_name = Narrow(name.data());
    }
  }
  f.wow64 = IsWow64();

  MEMORYSTATUSEX m = {};
  m.dwLength = sizeof m;
  if (::GlobalMemoryStatusEx(&m)) {
    const uint64_t values[7] = {m.ullTotalPhys,
                                m.ullAvailPhys,
                                m.ullTotalVirtual,
                                m.ullAvailVirtual,
                                m.ullAvailExtendedVirtual,
                                m.ullTotalPageFile,
                                m.ullAvailPageFile};
    std::copy(std::begin(values), std::end(values), f.memory);
  }

  wchar_t system[256] = {};
  if (::GetSystemDirectoryW(system, 255) >= 2) {
    const std::wstring drive(system, 2);
    f.system_drive = Narrow(drive);
    ULARGE_INTEGER free_to_caller, total, total_free;
    if (::GetDiskFreeSpaceExW(drive.c_str(), &free_to_caller, &total, &total_free)) {
      f.has_disk = true;
      f.disk_total = static_cast<int64_t>(total.QuadPart);
      f.disk_free_to_caller = static_cast<int64_t>(free_to_caller.QuadPart);
    }
  }

  f.session_user = GetSessionUserName();
  f.process_user = GetProcessUserName(::GetCurrentProcessId());
  const UniqueToken explorer = DuplicateProcessToken("explorer.exe", GetSessionUserName());
  f.integrity_rid = explorer ? GetTokenIntegrityRid(explorer.get()) : 0;
  return RenderOsSummary(f);
}

}  // namespace kovra::win
