// The services and drivers table: its rows, the resolution of a binary path to the file it
// names, and the version text. Portable; the gathering is in services_win.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kovra {

struct ServiceRow {
  std::string display_name;
  uint32_t type = 0;
  int32_t state = 0, exit_code = 0;
  // -1 when the service's configuration cannot be read (its binary path is empty then).
  int32_t start_type = -1;
  std::string binary_path;  // as stored
  std::string file_facts;   // "Ver:... MD5:..." or empty
};

// "%-30s %X  %d  %d %d %s %s", the name padded to 30 characters (not bytes).
std::string ServiceRowText(const ServiceRow& row);

// "Ver:" + version + "   MD5:" + digest.
std::string ServiceFileFactsText(const std::string& version, const std::string& md5);

// The file a service's binary path names: "\??\" dropped; when no file is there, "\SystemRoot\"
// becomes "%SystemRoot%\" (every occurrence), or a path starting "System32\" or "SysWOW64\" gets
// "%SystemRoot%\" in front, and environment references are expanded (`expand` gives empty text
// when it cannot). Letter case is ignored in every comparison.
std::string ResolveServiceFilePath(std::string path,
                                   const std::function<bool(const std::string&)>& file_exists,
                                   const std::function<std::string(const std::string&)>& expand);

}  // namespace kovra
