// The table "helpers": the browser helper objects, one record per "class, server" line.
#pragma once

#include "tables/block_parser.h"

namespace kovra {

inline constexpr auto kHelpers = MakeSchema<TableId::kHelpers>({
    {"class_name", F::kText, "class name"},
    {"server_path", F::kText, "in-process server"},
});
inline constexpr TableDefinition kHelpersTable{TableId::kHelpers, "helpers", "Browser helpers",
                                               SourceFile::kMainInfo, kHelpers.fields};

inline constexpr char kHelpersHeader[] = "===== BHOs =====";

[[nodiscard]] std::unique_ptr<BlockParser> MakeHelpersBlock(RecordSink& sink);

}  // namespace kovra
