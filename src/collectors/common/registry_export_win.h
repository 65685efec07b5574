// The registry export writer on the real registry.
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
  [[nodiscard]] bool Open(const std::string& path) override;
  std::vector<RegValue> Values() override;
  StringList SubKeyNames() override;

 private:
  TRegistry& registry_;
};

// The recursive writer: `path` below the root the caller has set on `registry`.
void ExportRegKey(TRegistry& registry, const std::string& path, const std::string& root_name,
                  StringList& lines);

}  // namespace kovra::win
