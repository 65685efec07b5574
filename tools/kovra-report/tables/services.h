// The table "services": one record per row of the services and drivers list.
#pragma once

#include <regex>

#include "tables/block_parser.h"

namespace kovra {

inline constexpr auto kServices = MakeSchema<TableId::kServices>({
    {"name", F::kText, "display name"},
    {"type", F::kNumber,
     "service type (1 kernel driver, 2 file-system driver, 16 own process, "
     "32 shared process, +256 interactive)"},
    {"kind", F::kText, "driver or service"},
    {"state", F::kNumber, "current state (1 stopped ... 4 running ... 7 paused)"},
    {"state_name", F::kText, "current state as a word"},
    {"exit_code", F::kNumber, "Win32 exit code"},
    {"start_type", F::kNumber,
     "start type (0 boot, 1 system, 2 automatic, 3 demand, 4 "
     "disabled; -1 configuration unreadable)"},
    {"start_name", F::kText, "start type as a word"},
    {"path", F::kText, "binary path as stored"},
    {"version", F::kText, "file version of the binary"},
    {"md5", F::kText, "MD5 of the binary (empty when it was not found)"},
    {"outside_windows", F::kBool, "the binary lies outside the Windows folders"},
    {"driver_without_version", F::kBool, "a driver whose file has no version information"},
});
inline constexpr TableDefinition kServicesTable{TableId::kServices, "services",
                                                "Services and drivers", SourceFile::kMainInfo,
                                                kServices.fields};

// The service row's pattern, shared with the block detector (main_info.cpp):
// "%-30s %X  %d  %d %d %s %s", the name padded to 30 characters, the file facts
// "Ver:... MD5:..." or empty.
[[nodiscard]] bool MatchServiceRow(const std::string& line, std::smatch& m);

[[nodiscard]] std::unique_ptr<BlockParser> MakeServicesBlock(RecordSink& sink);

}  // namespace kovra
