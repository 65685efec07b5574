#include "collectors/system/services_win.h"

#include "base/parallel_for.h"
#include "base/text.h"
#include "collectors/common/file_facts_win.h"
#include "collectors/common/registry_export_win.h"
#include "collectors/system/services.h"
#include "crypto/crypto_files_win.h"
#include "platform/buffer_win.h"
#include "platform/errors_win.h"
#include "platform/files_info_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/registry_win.h"
#include "platform/win_text_win.h"
#include "platform/wow64_win.h"

namespace kovra::win {

namespace {

// Service rows made at once.
constexpr unsigned kServiceRowMakers = 4;

}  // namespace

std::string ServiceFileFacts(const std::string& binary_path) {
  // System32 in a service's path means the native folder, not the 32-bit one.
  ScopedWow64RedirectionOff native;
  const std::string file = ResolveServiceFilePath(
      binary_path, [](const std::string& p) { return FileExists(p); }, &ExpandEnvironmentText);
  if (!FileExists(file))
    return std::string();
  const FileVersionAndDigest facts = GetFileVersionAndDigest(file);
  return ServiceFileFactsText(facts.version, facts.md5);
}

void ListServicesAndDrivers(StringList& out, RunLog& log) {
  // The rights the enumeration needs and no more: full access is refused to all but the system
  // on some machines.
  UniqueServiceHandle manager(
      ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
  if (!manager)
    return;
  DWORD count = 0;
  const std::vector<uint8_t> records =
      GrowByteBuffer([&manager, &count](uint8_t* buffer, DWORD size, DWORD* needed) {
        DWORD resume = 0;  // every call enumerates from the start
        return ::EnumServicesStatusW(manager.get(), SERVICE_TYPE_ALL, SERVICE_STATE_ALL,
                                     reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer), size, needed,
                                     &count, &resume) != FALSE;
      });
  if (records.empty())
    return;
  count = std::min<DWORD>(count, records.size() / sizeof(ENUM_SERVICE_STATUSW));
  out.push_back(StarRule());
  try {
    const auto* status = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(records.data());
    // Each row asks the service manager and reads the service's file: requests that mostly
    // wait, so several rows are made at once; they are written in the enumeration's order.
    MapInOrder<ServiceRow>(
        count, kServiceRowMakers,
        [&manager, status](size_t i) {
          const ENUM_SERVICE_STATUSW& s = status[i];
          ServiceRow row;
          row.display_name = Narrow(s.lpDisplayName);
          row.type = s.ServiceStatus.dwServiceType;
          row.state = static_cast<int32_t>(s.ServiceStatus.dwCurrentState);
          row.exit_code = static_cast<int32_t>(s.ServiceStatus.dwWin32ExitCode);
          if (QueryServiceStartAndPath(manager.get(), s.lpServiceName ? s.lpServiceName : L"",
                                       row.start_type, row.binary_path))
            row.file_facts = ServiceFileFacts(row.binary_path);
          return row;
        },
        [&out](ServiceRow&& row) { out.push_back(ServiceRowText(row)); });
  } catch (...) {
    // The rows so far stay.
    RecordCaught(log, "services and drivers");
  }
}

void ExportServicesTree(StringList& out, RunLog& log) {
  try {
    TRegistry registry(KEY_READ);
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    out.push_back(StarRule());
    RegistryTreeSource source(registry);
    ExportRegTree(source, "SYSTEM\\CurrentControlSet\\services", "HKEY_LOCAL_MACHINE",
                  RegExportStyle::kServices, out);
  } catch (...) {
    RecordCaught(log, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services");
  }
}

}  // namespace kovra::win
