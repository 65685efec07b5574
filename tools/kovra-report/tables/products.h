// The table "products": one record per product block ("====ZTN====" and its facts).
#pragma once

#include <optional>
#include <string_view>

#include "tables/block_parser.h"

namespace kovra {

inline constexpr auto kProducts = MakeSchema<TableId::kProducts>({
    {"name", F::kText, "block name (ZTN, OD, Refresher, ZTNAvSvc)"},
    {"display_version", F::kText, "Display Version (Refresher: its install date)"},
    {"file_version", F::kText, "Exefile Version"},
    {"size_bytes", F::kNumber, "Exefile Size"},
    {"versions_differ", F::kBool, "display version and file version disagree"},
});
inline constexpr TableDefinition kProductsTable{TableId::kProducts, "products", "Products",
                                                SourceFile::kMainInfo, kProducts.fields};

// The product a block header names ("====ZTN====": "ZTN"; "=====" headers are not products).
[[nodiscard]] std::optional<std::string> ProductNameOf(std::string_view line);

[[nodiscard]] std::unique_ptr<BlockParser> MakeProductsBlock(RecordSink& sink);

}  // namespace kovra
