// The registry export writer on the real registry, and the uninstall.txt export.
#pragma once

#include <windows.h>

#include <string>

#include "base/run_log.h"
#include "base/string_list.h"
#include "collectors/common/registry_export.h"
#include "platform/registry_win.h"

namespace kovra::win {

// The keys of a TRegistry's root, opened for reading only, with its view rules; the values as
// the export writes them. A value that cannot be read as its kind promises is written by its
// value text.
class RegistryTreeSource : public RegTreeSource {
 public:
  explicit RegistryTreeSource(TRegistry& registry) : registry_(registry) {}
  bool Open(const std::string& path) override;
  std::vector<RegValue> Values() override;
  StringList SubKeyNames() override;

 private:
  TRegistry& registry_;
};

// The recursive writer: `path` below the root the caller has set on `registry`.
void ExportRegKey(TRegistry& registry, const std::string& path, const std::string& root_name,
                  StringList& lines);

// The products' and the system's Uninstall trees, in the order of uninstall.txt. Never throws:
// an error ends the export, keeps the lines appended so far and is reported through the run log.
void ExportUninstallKeys(StringList& lines, RunLog& log);

}  // namespace kovra::win
