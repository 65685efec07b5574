// The product folder's clues, the file inventory's lines and filter, and the folder macros of
// the log collection. Portable; the registry, service and file work is in product_files_win.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kovra {

// The product folder that a quarantine path points into: the text before
// "antivirus\backuprec" (or, without it, "antivirus\bakcuprec"), found without regard to case;
// empty when neither is there.
std::string FolderBeforeQuarantine(std::string_view quarantine_path);

// "*.exe|*.dll|*.sys" as .exe, .dll, .sys (lower case, leading stars dropped).
std::vector<std::string> ExtensionFilter(std::string_view masks);
// Whether a file name passes the filter: an empty filter passes all; otherwise the extension
// from the last dot (lower case, dot included) must be listed.
bool PassesExtensionFilter(std::string_view name, const std::vector<std::string>& extensions);

// relative path + "   Ver:" + version + "   MD5:" + digest + "   DT:" + date-time.
std::string InventoryLine(const std::string& relative, const std::string& version,
                          const std::string& md5, const std::string& date_time);

// The folders the log-collection macros stand for.
struct MacroFolders {
  std::string product;        // the product folder (may be empty)
  std::string app_data;       // the user's application data
  std::string program_data;   // the all-users application data
  std::string program_files;  // the program-files folder
  std::string windows;        // the Windows folder
  std::string product_name_v;
};

// A pattern with its leading macro expanded: the pattern to list, the folder that relative
// names are taken from, and the target prefix in the staging folder.
struct MacroExpansion {
  std::string pattern, base, target_prefix;
};
// False for a pattern that starts with no macro (or with %AppPath% while the product folder is
// empty).
[[nodiscard]] bool ExpandMacroPattern(const std::string& pattern, const MacroFolders& folders,
                                      const std::string& staging_folder, MacroExpansion& out);

// The path relative to a base folder (letter case ignored); the path itself when it lies
// elsewhere.
std::string RelativeTo(const std::string& path, const std::string& base);

}  // namespace kovra
