// The table "security": the security products of the Security Center, one record per "Name:"
// under an [AntiVirusProduct], [AntiSpywareProduct] or [FirewallProduct] header.
#pragma once

#include <optional>
#include <string_view>

#include "tables/block_parser.h"

namespace kovra {

inline constexpr auto kSecurity = MakeSchema<TableId::kSecurity>({
    {"class", F::kText, "AntiVirusProduct, AntiSpywareProduct or FirewallProduct"},
    {"name", F::kText, "display name"},
    {"enabled", F::kBool, "Enabled"},
    {"product_state", F::kNumber, "productState (newer Security Center only)"},
    {"up_to_date", F::kBool, "UptoDate"},
});
inline constexpr TableDefinition kSecurityTable{TableId::kSecurity, "security", "Security products",
                                                SourceFile::kMainInfo, kSecurity.fields};

inline constexpr char kWindowsFirewallHeader[] = "[Windows FireWall]";
// The product class a header line names ("[AntiVirusProduct]": "AntiVirusProduct").
[[nodiscard]] std::optional<std::string> SecurityClassOf(std::string_view line);

[[nodiscard]] std::unique_ptr<BlockParser> MakeSecurityBlock(RecordSink& sink);

}  // namespace kovra
