// The table "firewall": the Windows Firewall's profiles under "[Windows FireWall]", one record.
#pragma once

#include "tables/block_parser.h"

namespace kovra {

inline constexpr auto kFirewall = MakeSchema<TableId::kFirewall>({
    {"home_enabled", F::kBool, "HomeNetFwEnabled"},
    {"public_enabled", F::kBool, "PublicNetFwEnabled"},
    {"current_enabled", F::kBool, "FireWallEnabled (current profile)"},
    {"manager_valid", F::kBool, "FwObj: the firewall manager could be created"},
});
inline constexpr TableDefinition kFirewallTable{TableId::kFirewall, "firewall", "Windows Firewall",
                                                SourceFile::kMainInfo, kFirewall.fields};

[[nodiscard]] std::unique_ptr<BlockParser> MakeFirewallBlock(RecordSink& sink);

}  // namespace kovra
