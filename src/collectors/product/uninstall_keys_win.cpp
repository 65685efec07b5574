#include "collectors/product/uninstall_keys_win.h"

#include "collectors/common/registry_export_win.h"
#include "platform/errors_win.h"
#include "platform/registry_win.h"
#include "platform/wow64_win.h"

namespace kovra::win {

void ExportUninstallKeys(StringList& lines, RunLog& log) {
  try {
    TRegistry registry(KEY_READ);
    const bool wow64 = IsWow64();
    constexpr char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    constexpr char kUninstall32[] =
        "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    ExportRegKey(registry, wow64 ? "SOFTWARE\\Wow6432Node\\Kovra" : "SOFTWARE\\Kovra",
                 "HKEY_LOCAL_MACHINE", lines);
    ExportRegKey(registry, kUninstall, "HKEY_LOCAL_MACHINE", lines);
    if (wow64)
      ExportRegKey(registry, kUninstall32, "HKEY_LOCAL_MACHINE", lines);
    registry.SetRootKey(HKEY_CURRENT_USER);
    ExportRegKey(registry, kUninstall, "HKEY_CURRENT_USER", lines);
    if (wow64)
      ExportRegKey(registry, kUninstall32, "HKEY_CURRENT_USER", lines);
  } catch (...) {
    RecordCaught(log, "uninstall keys");
  }
}

}  // namespace kovra::win
