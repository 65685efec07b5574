// Console programs run hidden with their output captured (module uScheduledTasksEnum).
#pragma once

#include <string>

#include "base/string_list.h"

namespace kovra::win {

// The system summary of the systeminfo program, with its header lines.
StringList CaptureSystemInfo();
// Writes the details of the scheduled tasks to `path`.
void SaveScheduledTasks(const std::string& path);

}  // namespace kovra::win
