// The table "services_registry": services.txt: the services key of the registry, one record per key
// and per value.
#pragma once

#include "tables/registry_text.h"

namespace kovra {

inline constexpr auto kServicesRegistry = MakeSchema<TableId::kServicesRegistry>({
    {"file", F::kText, "source file"},
    {"key", F::kText, "registry key"},
    {"value", F::kText, "value name"},
    {"kind", F::kText, "key, string or dword"},
    {"data", F::kText, "data"},
});
static_assert(kServicesRegistry.fields.size() == kRegistryFieldCount);
inline constexpr TableDefinition kServicesRegistryTable{
    TableId::kServicesRegistry, "services_registry", "Services in the registry",
    SourceFile::kServicesTree, kServicesRegistry.fields};

[[nodiscard]] std::unique_ptr<RecordParser> MakeServicesRegistryParser(std::string file_name,
                                                                       RecordCallback emit);

}  // namespace kovra
