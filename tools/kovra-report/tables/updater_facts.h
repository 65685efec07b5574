// The table "updater_facts": InfoVersion.txt, the updater's version and display ("=====X====="
// headers and "Label:value" facts), one record.
#pragma once

#include "tables/table.h"

namespace kovra {

inline constexpr auto kUpdaterFacts = MakeSchema<TableId::kUpdaterFacts>({
    {"log_version", F::kText, "This Log Version"},
    {"created", F::kDateTime, "This Log Create Time"},
    {"screen_width", F::kNumber, "Screen.Width"},
    {"screen_height", F::kNumber, "Screen.Height"},
    {"dpi_api", F::kNumber, "DPI API"},
    {"dpi_log_pixels", F::kNumber, "DPI LogPixels"},
    {"dpi_applied", F::kNumber, "DPI AppliedDPI"},
});
inline constexpr TableDefinition kUpdaterFactsTable{TableId::kUpdaterFacts, "updater_facts",
                                                    "Updater version and display",
                                                    SourceFile::kInfoVersion, kUpdaterFacts.fields};

[[nodiscard]] std::unique_ptr<RecordParser> MakeUpdaterFactsParser(std::string file_name,
                                                                   RecordCallback emit);

}  // namespace kovra
