// The table "unparsed": every line of a source file that fits no pattern of its block, so that
// nothing is dropped. RecordSink::Unparsed makes its records.
#pragma once

#include "tables/table.h"

namespace kovra {

inline constexpr auto kUnparsed = MakeSchema<TableId::kUnparsed>({
    {"file", F::kText, "source file"},
    {"section", F::kText, "the table whose block the line is in"},
    {"line", F::kNumber, "line number in the file"},
    {"text", F::kText, "the line"},
});
inline constexpr TableDefinition kUnparsedTable{TableId::kUnparsed, "unparsed",
                                                "Lines the reader did not recognise",
                                                SourceFile::kMainInfo, kUnparsed.fields};

}  // namespace kovra
