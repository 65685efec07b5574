#include "collectors/common/registry_export.h"

#include "base/text.h"

namespace kovra {

namespace {

// The registry nests keys at most 512 deep.
constexpr int kMaxDepth = 512;

std::string DoubleBackslashes(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (const char c : s) {
    out += c;
    if (c == '\\')
      out += '\\';
  }
  return out;
}

void Walk(RegTreeSource& source, const std::string& path, const std::string& root_name,
          RegExportStyle style, StringList& lines, int depth) {
  if (!source.Open(path))
    return;
  lines.emplace_back();
  lines.push_back(style == RegExportStyle::kServices ? RegKeyLine("HKEY_LOCAL_MACHINE", path)
                                                     : RegKeyLine(root_name, path));
  for (const RegValue& v : source.Values()) {
    const bool text = v.kind == RegDataKind::String || v.kind == RegDataKind::ExpandString;
    if (style == RegExportStyle::kRegFile) {
      lines.push_back(text ? RegStringLine(v.name, v.data) : RegValueTextLine(v.name, v.data));
    } else if (text) {
      lines.push_back(ServiceStringLine(v.name, v.data));
    } else if (v.kind == RegDataKind::Integer && v.dword) {
      lines.push_back(RegValueTextLine(v.name, RegDwordText(*v.dword)));
    }
  }
  if (depth >= kMaxDepth)
    return;
  // The names are taken before any child is opened, which closes this key.
  const StringList names = source.SubKeyNames();
  for (const std::string& name : names)
    Walk(source, path + "\\" + name, root_name, style, lines, depth + 1);
}

}  // namespace

std::string RegKeyLine(const std::string& root_name, const std::string& path) {
  return "[" + root_name + "\\" + path + "]";
}

std::string RegStringLine(const std::string& name, const std::string& data) {
  return "\"" + name + "\"=\"" + DoubleBackslashes(data) + "\"";
}

std::string RegValueTextLine(const std::string& name, const std::string& value_text) {
  return "\"" + name + "\"=" + value_text;
}

std::string ServiceStringLine(const std::string& name, const std::string& data) {
  return "\"" + name + "\"=\"" + data + "\"";
}

void ExportRegTree(RegTreeSource& source, const std::string& path, const std::string& root_name,
                   RegExportStyle style, StringList& lines) {
  Walk(source, path, root_name, style, lines, 0);
}

}  // namespace kovra
