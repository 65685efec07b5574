// The updater product collector as the run sees it, and its portable rules: the install-folder
// entries of the archive list, the registry exports, the display facts file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "base/string_list.h"

namespace kovra {

// The collector has done its work when it exists, owns the archive list, and cleans up its
// temporary files when it is destroyed.
class UpdaterCollector {
 public:
  virtual ~UpdaterCollector() = default;
  virtual StringList& ArchiveList() = 0;
};

// "InstallLocation" as a folder: a value ending in ".exe" (exactly that case) names the
// program, and its folder part is taken; anything else is taken as it stands.
std::string InstallFolderFromLocation(const std::string& location);

// The nine entries of an existing install folder (ending in a backslash), in order; the digest
// list's path follows them.
StringList InstallFolderEntries(const std::string& folder);

// One line of the digest list: path, comma, MD5.
std::string DigestLine(const std::string& path, const std::string& md5);

// A registry export: the file it is written to (in the temporary folder) and the key.
struct RegistryExportJob {
  const char* file;
  const char* key;
};
// The sibling products' keys, deleted again when the collector is released. Both tables are
// constants, fixed at compile time.
std::span<const RegistryExportJob> ProductExportJobs();
// The system keys, kept until the next run.
std::span<const RegistryExportJob> SystemExportJobs();

// The display facts of "InfoVersion.txt".
struct DisplayFacts {
  std::string date;  // today in the user's short date format
  int screen_width = 0, screen_height = 0;
  std::optional<int> dpi_api;  // absent when the screen's device context could not be read
  // HKEY_USERS\<SID>\Control Panel\Desktop and its WindowMetrics key: whether each opened, and
  // the value when there is one.
  bool desktop_key = false, metrics_key = false;
  std::optional<uint32_t> log_pixels, applied_dpi;
};
StringList InfoVersionLines(const DisplayFacts& facts);

}  // namespace kovra
