// The table "processes": one record per row of the process table.
#pragma once

#include <regex>

#include "tables/block_parser.h"

namespace kovra {

inline constexpr auto kProcesses = MakeSchema<TableId::kProcesses>({
    {"pid", F::kNumber, "process id"},
    {"name", F::kText, "image file name"},
    {"folder", F::kText, "image folder"},
    {"session", F::kNumber, "session id (empty when every process is in session 0)"},
    {"gdi_objects", F::kNumber, "GDI objects"},
    {"user_objects", F::kNumber, "USER objects"},
    {"handles", F::kNumber, "handle count"},
    {"threads", F::kNumber, "thread count"},
    {"working_set_mb", F::kNumber, "working set, MiB"},
    {"private_mb", F::kNumber, "private bytes (page-file usage), MiB"},
    {"priority", F::kText, "priority class name"},
    {"age_ms", F::kNumber, "time since start, ms (as precise as the printed age)"},
    {"age", F::kText, "time since start as printed"},
});
inline constexpr TableDefinition kProcessesTable{TableId::kProcesses, "processes", "Processes",
                                                 SourceFile::kMainInfo, kProcesses.fields};

// The process row's pattern, shared with the block detector (main_info.cpp): the pid, the name
// and its number columns, handles and threads, working set and private bytes, the priority,
// the age, the folder.
[[nodiscard]] bool MatchProcessRow(const std::string& line, std::smatch& m);

[[nodiscard]] std::unique_ptr<BlockParser> MakeProcessesBlock(RecordSink& sink);

}  // namespace kovra
