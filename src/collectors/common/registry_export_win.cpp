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

}  // namespace kovra::win
