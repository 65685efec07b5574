#include "platform/registry_text.h"

#include "base/text.h"

namespace kovra {

RegDataKind RegKindFromType(uint32_t reg_type) {
  struct Row {
    uint32_t type;
    RegDataKind kind;
  };
  static constexpr Row kKinds[] = {
      {1, RegDataKind::String},  // REG_SZ
      {2, RegDataKind::ExpandString},
      {3, RegDataKind::Binary},
      {4, RegDataKind::Integer},  // REG_DWORD
  };
  for (const Row& r : kKinds) {
    if (r.type == reg_type)
      return r.kind;
  }
  return RegDataKind::Unknown;
}

uint32_t SelectRegistryView(uint32_t access, std::string_view path, std::string_view current_path,
                            bool wow64_process, bool auto_view) {
  if (!wow64_process || !auto_view)
    return access;
  std::string tested(path);
  if (path.empty() || path[0] != '\\')
    tested = std::string(current_path) + "\\" + tested;
  if (FindTextAscii(tested, "wow6432node") != std::string::npos)
    return access & ~kKeyWow64_64Key;
  return access | kKeyWow64_64Key;
}

bool IsWow6432NodeName(std::string_view name) {
  const size_t first = name.find_first_not_of(" \t\r\n\v\f");
  if (first == std::string_view::npos)
    return false;
  const size_t last = name.find_last_not_of(" \t\r\n\v\f");
  return SameTextAscii(name.substr(first, last - first + 1), "wow6432node");
}

std::string RegDwordText(uint32_t value) {
  return StrPrintf("dword:%08X", value);
}

std::string RegHexText(const uint8_t* data, size_t size) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string s = "hex:";
  s.reserve(4 + size * 3);
  for (size_t i = 0; i < size; ++i) {
    if (i)
      s += ',';
    s += kHex[data[i] >> 4];
    s += kHex[data[i] & 15];
  }
  return s;
}

}  // namespace kovra
