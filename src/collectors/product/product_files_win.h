// Product-folder discovery, the product file inventory and the log collection.
#pragma once

#include <windows.h>

#include <string>

#include "base/run_log.h"
#include "base/string_list.h"
#include "collectors/product/product_names.h"
#include "platform/path_frame_win.h"

namespace kovra::win {

// Finds the install folder of the product's top edition and the generation digits, from the
// registry, the product's service and settings and the folder names below `frame`'s folders. A
// path value of another kind than text counts as absent.
DiscoveredProduct DiscoverProductFolder(const TAppFrame& frame);
// The binary path of a service's configuration; empty when it cannot be read.
std::string QueryServiceBinaryPath(const std::string& service_name);

// The inventory section of the main info file: a line per .exe, .dll and .sys file below the
// product folder; nothing without one. Never throws: a failure keeps the lines so far and is
// reported through the run log. The lines name the files relative to the folder.
void CollectProductFiles(const DiscoveredProduct& product, StringList& lines, RunLog& log);
// The full paths of the files below `folder` whose extension passes `filter` ("*.exe|*.dll",
// empty for all); sub-folders named exactly ".svn" are not entered.
void CollectFiles(const std::string& folder, StringList& result, bool recurse,
                  const std::string& filter);
// The three times of a file.
enum class FileTime { kCreated, kLastWrite, kLastAccess };
// One of a file's times in local time; false (and the zero date, 30 December 1899) when it
// cannot be read.
[[nodiscard]] bool GetFileDateTime(const std::string& path, FileTime which, SYSTEMTIME& local);

// The worker's log collection: the PulseSync logs into the staging folder's "PulseSync\".
// Never throws; a file that cannot be copied is reported through the run log (held by another
// program, access denied, or failed with the system's reason) and the others are still copied.
void CollectProductLogs(const TAppFrame& frame, const DiscoveredProduct& product,
                        const std::string& staging_folder, RunLog& log);
// Copies what one macro pattern ("%PulseSync%\*.log") names into the staging folder, as
// CollectProductLogs does: the macros stand for `frame`'s folders and the product's folder
// (%AppPath%, taken with its trailing backslash) and name.
void CopyMacroFiles(const std::string& pattern, const TAppFrame& frame,
                    const DiscoveredProduct& product, const std::string& staging_folder,
                    RunLog& log);
// The files (not folders) a wildcard mask matches in its folder.
void ListMatchingFiles(const std::string& mask, StringList& list);
// Copies a file, overwriting the target; a source that its program holds open for writing is
// copied by reading it with every sharing allowed. Throws SystemError when it cannot be copied
// (ERROR_SHARING_VIOLATION for one held open without sharing).
void CopyLiveFile(const std::string& source, const std::string& target);

}  // namespace kovra::win
