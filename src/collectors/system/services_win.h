// Services and drivers: the block of the main info file and the services export.
#pragma once

#include <windows.h>

#include <string>

#include "base/run_log.h"
#include "base/string_list.h"

namespace kovra::win {

// The star rule and one row per service and driver, in the order the service manager returns
// them; nothing when the service manager cannot be opened or enumerated. Never throws: a failure
// keeps the rows so far and is reported through the run log.
void ListServicesAndDrivers(StringList& out, RunLog& log);

// "Ver:... MD5:..." for the file a binary path names (seen without WOW64 redirection), or empty.
std::string ServiceFileFacts(const std::string& binary_path);

// services.txt: the star rule and the reduced export of the services key. Never throws: a
// failure keeps the lines so far and is reported through the run log.
void ExportServicesTree(StringList& out, RunLog& log);

}  // namespace kovra::win
