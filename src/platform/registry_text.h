// The pure rules of the registry reader: value kinds, the view bit
// chosen per key path, the Wow6432Node filter of enumerations and the .reg-style value text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kovra {

enum class RegDataKind { Unknown, String, ExpandString, Binary, Integer };

// REG_SZ, REG_EXPAND_SZ, REG_BINARY and REG_DWORD have kinds of their own; every other type
// (REG_NONE, REG_MULTI_SZ, REG_QWORD, ...) is Unknown.
RegDataKind RegKindFromType(uint32_t reg_type);

inline constexpr uint32_t kKeyWow64_64Key = 0x0100;
inline constexpr uint32_t kKeyWow64Bits = 0x0300;

// The access mask for opening `path` (relative paths are tested after the current path): under
// WOW64 with automatic view selection, a path naming Wow6432Node (any case) is opened without
// KEY_WOW64_64KEY and every other path with it; otherwise the mask stays as it is.
uint32_t SelectRegistryView(uint32_t access, std::string_view path, std::string_view current_path,
                            bool wow64_process, bool auto_view);

// A subkey name that enumeration leaves out: Wow6432Node, trimmed and in any letter case.
bool IsWow6432NodeName(std::string_view name);

// "dword:" and eight upper-case hex digits.
std::string RegDwordText(uint32_t value);
// "hex:" and every byte as two upper-case hex digits, comma-separated, on one line.
std::string RegHexText(const uint8_t* data, size_t size);

// The text of a value read out of the registry, as written after the equals sign of a .reg
// line. The caller passes what it could read; "kovrareaderror" stands for an unreadable value.
inline constexpr char kRegReadError[] = "kovrareaderror";

}  // namespace kovra
