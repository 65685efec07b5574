// The .reg-style texts that three tables read (uninstall, services_registry, registry_exports):
// "[key]" lines and "name"=data values, each key and each value one record of the fields
// file, key, value, kind, data.
#pragma once

#include <memory>
#include <string>

#include "tables/table.h"

namespace kovra {

// The fields the three registry tables share, in order; each table explains them its own way.
constexpr size_t kRegistryFieldCount = 5;

enum class RegistryStyle {
  kRegFile,   // uninstall.txt: strings with backslashes doubled, nothing else escaped
  kServices,  // services.txt: strings as read
  kRegExe,    // `reg export`: backslashes and quotes escaped, "@" for the default value, long hex
              // values continued on the next line after a "\"
};

[[nodiscard]] std::unique_ptr<RecordParser> MakeRegistryParser(std::string file_name,
                                                               RecordCallback emit, TableId table,
                                                               RegistryStyle style);

}  // namespace kovra
