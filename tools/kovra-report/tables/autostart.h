// The table "autostart": one record per entry of the autostart sections ("---------- Run
// ----------" and the entries below it).
#pragma once

#include <optional>
#include <string_view>

#include "tables/block_parser.h"

namespace kovra {

inline constexpr auto kAutostart = MakeSchema<TableId::kAutostart>({
    {"section", F::kText,
     "Startup, Run, RunOnce, RunOnceEx, policies Run, NT Run, Windows "
     "Shell"},
    {"entry", F::kText, "the line as printed"},
    {"name", F::kText, "value name (Run-type sections)"},
    {"command", F::kText, "what starts: value data, shortcut target or item"},
    {"file", F::kText, "the program file the command names"},
    {"outside_windows", F::kBool, "the file lies outside the Windows folders"},
});
inline constexpr TableDefinition kAutostartTable{TableId::kAutostart, "autostart", "Autostart",
                                                 SourceFile::kMainInfo, kAutostart.fields};

inline constexpr char kAutostartHeader[] = "===== Autoruns =====";
// The name of the autostart section a line opens ("---------- Run ----------": "Run").
[[nodiscard]] std::optional<std::string> AutostartSectionOf(std::string_view line);

[[nodiscard]] std::unique_ptr<BlockParser> MakeAutostartBlock(RecordSink& sink);

}  // namespace kovra
