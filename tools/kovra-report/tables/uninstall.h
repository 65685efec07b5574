// The table "uninstall": uninstall.txt: the uninstall entries and product keys, one record per key
// and per value.
#pragma once

#include "tables/registry_text.h"

namespace kovra {

inline constexpr auto kUninstall = MakeSchema<TableId::kUninstall>({
    {"file", F::kText, "source file"},
    {"key", F::kText, "registry key"},
    {"value", F::kText, "value name (empty: the default value)"},
    {"kind", F::kText, "key (the key line itself), string, dword, hex, hex(N), empty or error"},
    {"data", F::kText, "data (strings unescaped; dword and hex as their digits)"},
});
static_assert(kUninstall.fields.size() == kRegistryFieldCount);
inline constexpr TableDefinition kUninstallTable{TableId::kUninstall, "uninstall",
                                                 "Uninstall entries and product keys",
                                                 SourceFile::kUninstall, kUninstall.fields};

[[nodiscard]] std::unique_ptr<RecordParser> MakeUninstallParser(std::string file_name,
                                                                RecordCallback emit);

}  // namespace kovra
