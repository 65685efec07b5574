// The table "resources": the memory, atom and desktop-heap lines above the process table, one
// record.
#pragma once

#include "tables/block_parser.h"

namespace kovra {

inline constexpr auto kResources = MakeSchema<TableId::kResources>({
    {"virtual_free_mb", F::kNumber, "Virtual memory: available virtual memory, MiB"},
    {"virtual_total_mb", F::kNumber, "Virtual memory: total virtual memory, MiB"},
    {"page_free_mb", F::kNumber, "PageSize: available page file, MiB"},
    {"page_total_mb", F::kNumber, "PageSize: total page file, MiB"},
    {"drive_free", F::kText, "SysDrv: free space of the system drive"},
    {"drive_total", F::kText, "SysDrv: size of the system drive"},
    {"atoms", F::kNumber, "GlobalAtomInfo: global atoms"},
    {"registered_names", F::kNumber, "GlobalAtomInfo: registered names (RWM)"},
    {"largest_group", F::kText, "GlobalAtomInfo: name of the largest atom group"},
    {"largest_group_count", F::kNumber, "its count"},
    {"second_group", F::kText, "GlobalAtomInfo: name of the next largest group"},
    {"second_group_count", F::kNumber, "its count"},
    {"desktop_heap", F::kText, "DesktopHeap: the Windows subsystem command line"},
    {"virtual_memory_line", F::kText, "the Virtual memory line as printed"},
    {"atom_line", F::kText, "the GlobalAtomInfo line as printed"},
});
inline constexpr TableDefinition kResourcesTable{TableId::kResources, "resources", "Resources",
                                                 SourceFile::kMainInfo, kResources.fields};

// Whether a line is one of the resource lines (they open the process block).
[[nodiscard]] bool IsResourceLine(std::string_view line);

[[nodiscard]] std::unique_ptr<BlockParser> MakeResourcesBlock(RecordSink& sink);

}  // namespace kovra
