// The table "inventory": the product folder's files, one record per "path   Ver:   MD5:   DT:"
// line.
#pragma once

#include <string_view>

#include "tables/block_parser.h"

namespace kovra {

inline constexpr auto kInventory = MakeSchema<TableId::kInventory>({
    {"path", F::kText, "path below the product folder"},
    {"version", F::kText, "file version"},
    {"md5", F::kText, "MD5"},
    {"date", F::kDateTime, "last change (local time)"},
});
inline constexpr TableDefinition kInventoryTable{TableId::kInventory, "inventory", "Product files",
                                                 SourceFile::kMainInfo, kInventory.fields};

// Whether a line has the three labels of an inventory line.
[[nodiscard]] bool LooksLikeInventoryLine(std::string_view line);

[[nodiscard]] std::unique_ptr<BlockParser> MakeInventoryBlock(RecordSink& sink);

}  // namespace kovra
