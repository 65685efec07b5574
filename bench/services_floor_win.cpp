// The floor of the services steps: what a bare program spends on the same system calls, with
// no text made. It enumerates the services and drivers with the service manager and reads each
// one's configuration, then walks the services tree of the registry reading every value of
// every key (the services dump). Prints the count and the milliseconds of each half.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "bench_clock_win.h"
#include "platform/handles_win.h"

namespace {

using kovra::win::UniqueHkey;
using kovra::win::UniqueServiceHandle;

unsigned ServiceManagerPass() {
  UniqueServiceHandle manager(
      ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_CONNECT));
  if (!manager)
    return 0;
  DWORD needed = 0, count = 0, resume = 0;
  ::EnumServicesStatusExW(manager.get(), SC_ENUM_PROCESS_INFO, SERVICE_DRIVER | SERVICE_WIN32,
                          SERVICE_STATE_ALL, nullptr, 0, &needed, &count, &resume, nullptr);
  std::vector<BYTE> buffer(needed + 4096);
  resume = 0;
  if (!::EnumServicesStatusExW(manager.get(), SC_ENUM_PROCESS_INFO, SERVICE_DRIVER | SERVICE_WIN32,
                               SERVICE_STATE_ALL, buffer.data(), static_cast<DWORD>(buffer.size()),
                               &needed, &count, &resume, nullptr))
    return 0;
  const auto* services = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
  std::vector<BYTE> config(8192);
  for (DWORD i = 0; i < count; ++i) {
    UniqueServiceHandle service(
        ::OpenServiceW(manager.get(), services[i].lpServiceName, SERVICE_QUERY_CONFIG));
    DWORD size = 0;
    if (service)
      ::QueryServiceConfigW(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()),
                            static_cast<DWORD>(config.size()), &size);
  }
  return count;
}

unsigned WalkKey(HKEY parent, const wchar_t* name) {
  UniqueHkey key;
  if (::RegOpenKeyExW(parent, name, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
    return 0;
  unsigned keys = 1;
  wchar_t value_name[16384];
  std::vector<BYTE> data(65536);
  for (DWORD i = 0;; ++i) {
    DWORD name_size = 16384, data_size = static_cast<DWORD>(data.size()), type = 0;
    const LONG r = ::RegEnumValueW(key.get(), i, value_name, &name_size, nullptr, &type,
                                   data.data(), &data_size);
    if (r != ERROR_SUCCESS && r != ERROR_MORE_DATA)
      break;
  }
  for (DWORD i = 0;; ++i) {
    wchar_t sub[256];
    DWORD sub_size = 256;
    if (::RegEnumKeyExW(key.get(), i, sub, &sub_size, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    keys += WalkKey(key.get(), sub);
  }
  return keys;
}

}  // namespace

int main() {
  const double t0 = BenchSeconds();
  const unsigned services = ServiceManagerPass();
  const double t1 = BenchSeconds();
  const unsigned keys = WalkKey(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services");
  const double t2 = BenchSeconds();
  std::printf("services %u %.1f\nkeys %u %.1f\n", services, (t1 - t0) * 1000, keys,
              (t2 - t1) * 1000);
  return 0;
}
