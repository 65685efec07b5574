#include "collectors/common/registry_export_win.h"

#include "platform/errors_win.h"
#include "platform/wow64_win.h"

namespace kovra::win {

bool RegistryTreeSource::Open(const std::string& path) {
  // Read rights only, whatever the instance was made with: keys that grant reading alone (those
  // of protected services, say) are exported too.
  registry_.CloseKey();
  return registry_.OpenKeyReadOnly(path);
}

std::vector<RegValue> RegistryTreeSource::Values() {
  StringList names;
  registry_.GetValueNames(names);
  std::vector<RegValue> values;
  values.reserve(names.size());
  for (std::string& name : names) {
    RegValue v;
    v.kind = registry_.GetDataType(name);
    try {
      if (v.kind == RegDataKind::String || v.kind == RegDataKind::ExpandString) {
        v.data = registry_.ReadString(name);
      } else {
        if (v.kind == RegDataKind::Integer)
          v.dword = registry_.ReadDword(name);
        v.data = registry_.ReadValueText(name);
      }
    } catch (const ERegistryException&) {
      // Changed or gone since it was listed: written by what can be read of it now.
      v.kind = RegDataKind::Unknown;
      v.dword.reset();
      v.data = registry_.ReadValueText(name);
    }
    v.name = std::move(name);
    values.push_back(std::move(v));
  }
  return values;
}

StringList RegistryTreeSource::SubKeyNames() {
  StringList names;
  if (registry_.HasSubKeys())
    registry_.GetKeyNames(names);
  return names;
}

void ExportRegKey(TRegistry& registry, const std::string& path, const std::string& root_name,
                  StringList& lines) {
  RegistryTreeSource source(registry);
  ExportRegTree(source, path, root_name, RegExportStyle::kRegFile, lines);
}

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
