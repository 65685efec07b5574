#include "collectors/product/product_files.h"

#include "base/text.h"

namespace kovra {

std::string FolderBeforeQuarantine(std::string_view quarantine_path) {
  const std::string lower = AsciiLowerCase(quarantine_path);
  size_t at = lower.find("antivirus\\backuprec");
  if (at == std::string::npos)
    at = lower.find("antivirus\\bakcuprec");
  return at == std::string::npos ? std::string() : std::string(quarantine_path.substr(0, at));
}

std::vector<std::string> ExtensionFilter(std::string_view masks) {
  std::vector<std::string> out;
  if (masks.empty())
    return out;
  const std::string lower = AsciiLowerCase(masks);
  size_t start = 0;
  for (;;) {
    size_t bar = lower.find('|', start);
    std::string item = lower.substr(start, bar == std::string::npos ? bar : bar - start);
    item.erase(0, item.find_first_not_of('*') == std::string::npos ? item.size()
                                                                   : item.find_first_not_of('*'));
    out.push_back(std::move(item));
    if (bar == std::string::npos)
      break;
    start = bar + 1;
  }
  return out;
}

bool PassesExtensionFilter(std::string_view name, const std::vector<std::string>& extensions) {
  if (extensions.empty())
    return true;
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos)
    return false;
  const std::string ext = AsciiLowerCase(name.substr(dot));
  for (const std::string& e : extensions) {
    if (e == ext)
      return true;
  }
  return false;
}

std::string InventoryLine(const std::string& relative, const std::string& version,
                          const std::string& md5, const std::string& date_time) {
  return relative + "   Ver:" + version + "   MD5:" + md5 + "   DT:" + date_time;
}

bool ExpandMacroPattern(const std::string& pattern, const MacroFolders& f,
                        const std::string& staging, MacroExpansion& out) {
  struct Macro {
    const char* name;
    std::string folder, base;
    const char* sub_folder;
  };
  const std::string data_tail = "\\kovra\\" + f.product_name_v + "\\";
  const std::string pulse = ExcludeTrailingBackslash(f.program_files) + "\\Kovra\\PulseSync";
  const std::string dumps = ExcludeTrailingBackslash(f.windows) + "\\Minidump";
  const Macro macros[] = {
      {"%AppPath%", f.product, f.product, "AppPath\\"},
      {"%AppData%", f.app_data, f.app_data + data_tail, "AppData\\"},
      {"%ProgramData%", f.program_data, f.program_data + data_tail, "ProgramData\\"},
      {"%PulseSync%", pulse, pulse + "\\", "PulseSync\\"},
      {"%Minidump%", dumps, dumps + "\\", "Minidump\\"},
  };
  for (const Macro& m : macros) {
    if (!StartsWithTextAscii(pattern, m.name))
      continue;
    if (m.folder.empty())
      return false;
    // Every occurrence of the macro as written, letter case kept.
    std::string expanded = pattern;
    const std::string name = m.name;
    for (size_t at = 0; (at = expanded.find(name, at)) != std::string::npos; at += m.folder.size())
      expanded.replace(at, name.size(), m.folder);
    if (!StartsWithTextAscii(expanded, m.folder))  // the first macro in another letter case
      expanded = m.folder + expanded.substr(name.size());
    out = MacroExpansion{expanded, m.base, IncludeTrailingBackslash(staging) + m.sub_folder};
    return true;
  }
  return false;
}

std::string RelativeTo(const std::string& path, const std::string& base) {
  return StartsWithTextAscii(path, base) ? path.substr(base.size()) : path;
}

}  // namespace kovra
