// The table "registry_exports": the exports of `reg export` (SW_REG_*, LP_REG_*, ZTN*_*,
// SYS_FILE_*), one record per key and per value.
#pragma once

#include "tables/registry_text.h"

namespace kovra {

inline constexpr auto kRegistryExports = MakeSchema<TableId::kRegistryExports>({
    {"file", F::kText, "export file"},
    {"key", F::kText, "registry key"},
    {"value", F::kText, "value name (empty: the default value)"},
    {"kind", F::kText, "key, string, dword, hex, hex(N), empty"},
    {"data", F::kText, "data"},
});
static_assert(kRegistryExports.fields.size() == kRegistryFieldCount);
inline constexpr TableDefinition kRegistryExportsTable{
    TableId::kRegistryExports, "registry_exports", "Registry exports", SourceFile::kRegistryExports,
    kRegistryExports.fields};

[[nodiscard]] std::unique_ptr<RecordParser> MakeRegistryExportsParser(std::string file_name,
                                                                      RecordCallback emit);

}  // namespace kovra
