// The table "digests": NFMD5.txt, the updater's files with their MD5 ("path,md5" lines).
#pragma once

#include "tables/table.h"

namespace kovra {

inline constexpr auto kDigests = MakeSchema<TableId::kDigests>({
    {"path", F::kText, "file below the updater's install folder"},
    {"md5", F::kText, "MD5"},
});
inline constexpr TableDefinition kDigestsTable{TableId::kDigests, "digests", "Updater digests",
                                               SourceFile::kDigests, kDigests.fields};

[[nodiscard]] std::unique_ptr<RecordParser> MakeDigestsParser(std::string file_name,
                                                              RecordCallback emit);

}  // namespace kovra
