#include "collectors/system/services.h"

#include "base/text.h"

namespace kovra {

std::string ServiceRowText(const ServiceRow& r) {
  return PadRightText(r.display_name, 30) +
         StrPrintf(" %X  %d  %d %d ", r.type, r.state, r.exit_code, r.start_type) + r.binary_path +
         " " + r.file_facts;
}

std::string ServiceFileFactsText(const std::string& version, const std::string& md5) {
  return "Ver:" + version + "   MD5:" + md5;
}

std::string ResolveServiceFilePath(std::string path,
                                   const std::function<bool(const std::string&)>& file_exists,
                                   const std::function<std::string(const std::string&)>& expand) {
  if (StartsWithTextAscii(path, "\\??\\"))
    path.erase(0, 4);
  if (file_exists(path))
    return path;
  if (StartsWithTextAscii(path, "\\SystemRoot\\"))
    path = ReplaceAllTextAscii(path, "\\SystemRoot\\", "%SystemRoot%\\");
  else if (StartsWithTextAscii(path, "SysWOW64\\") || StartsWithTextAscii(path, "System32\\"))
    path = "%SystemRoot%\\" + path;
  std::string expanded = expand(path);
  return expanded.empty() ? path : expanded;
}

}  // namespace kovra
