// The table "store_app_log": metrologinfo.txt, the store-app step log (the local time, a
// colon, the step).
#pragma once

#include "tables/table.h"

namespace kovra {

inline constexpr auto kStoreAppLog = MakeSchema<TableId::kStoreAppLog>({
    {"time", F::kText, "local time of the step"},
    {"message", F::kText, "the step"},
});
inline constexpr TableDefinition kStoreAppLogTable{TableId::kStoreAppLog, "store_app_log",
                                                   "Store-app log", SourceFile::kStoreAppLog,
                                                   kStoreAppLog.fields};

[[nodiscard]] std::unique_ptr<RecordParser> MakeStoreAppLogParser(std::string file_name,
                                                                  RecordCallback emit);

}  // namespace kovra
