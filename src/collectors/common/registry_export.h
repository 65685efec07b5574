// The .reg-style export text of registry trees: its line forms and the depth-first walk that
// produces them, over any source of keys (the registry on Windows, a fake in tests). Two styles:
// the export file of the products' keys (uninstall.txt) and the reduced services dump.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/string_list.h"
#include "platform/registry_text.h"

namespace kovra {

// One value of a key as read.
struct RegValue {
  std::string name;
  RegDataKind kind = RegDataKind::Unknown;
  // String and ExpandString: the string data as read; other kinds: the value text ("dword:...",
  // "hex:...", empty, or "kovrareaderror").
  std::string data;
  // Integer kind: the value, when it could be read.
  std::optional<uint32_t> dword;
};

// The keys of one registry root, opened one at a time.
class RegTreeSource {
 public:
  virtual ~RegTreeSource() = default;
  // Closes the key open before and opens `path` (below the root); false when it cannot be.
  [[nodiscard]] virtual bool Open(const std::string& path) = 0;
  // The open key's values in enumeration order.
  virtual std::vector<RegValue> Values() = 0;
  // The open key's sub-key names in enumeration order, Wow6432Node left out.
  virtual StringList SubKeyNames() = 0;
};

enum class RegExportStyle {
  // "[root\path]"; strings with every backslash doubled; other kinds as their value text.
  kRegFile,
  // "[HKEY_LOCAL_MACHINE\path]"; strings as read; REG_DWORD as dword:; other kinds left out.
  kServices,
};

// The line forms.
std::string RegKeyLine(const std::string& root_name, const std::string& path);
std::string RegStringLine(const std::string& name, const std::string& data);
std::string RegValueTextLine(const std::string& name, const std::string& value_text);
std::string ServiceStringLine(const std::string& name, const std::string& data);

// Appends the tree at `path` depth first: for each key that opens, an empty line, its key line
// and its value lines, then its sub-keys in order. A key that does not open is left out with
// its subtree. The walk stops descending at the registry's nesting limit, so a loop of links
// cannot recurse without end.
void ExportRegTree(RegTreeSource& source, const std::string& path, const std::string& root_name,
                   RegExportStyle style, StringList& lines);

}  // namespace kovra
