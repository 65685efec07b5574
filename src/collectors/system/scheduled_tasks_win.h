// task.txt: the verbose details of the root folder's scheduled tasks, captured from schtasks
// with the console code page set to 437 where the first pass found no names.
#pragma once

#include <windows.h>

#include <string>

#include "base/run_log.h"
#include "base/string_list.h"
#include "platform/cancellation.h"

namespace kovra::win {

// Time limits of the task list and of each task's query; task queries running at once.
inline constexpr DWORD kTaskListLimitMs = 120000;
inline constexpr DWORD kTaskQueryLimitMs = 60000;
inline constexpr size_t kTaskQueriesAtOnce = 6;

// Appends the verbose details of the root folder's scheduled tasks, one query per task; schtasks
// runs with `temp_folder` (the run's staging folder) as its TEMP. A program cut at a limit is
// noted in the run log; a program that cannot start throws.
void EnumScheduledTasks(StringList& output, const std::string& temp_folder, RunLog& log,
                        const RunCancellation& cancel);
// EnumScheduledTasks saved in the ANSI code page, no byte-order mark, CR LF after every line.
void SaveScheduledTasks(const std::string& path, const std::string& temp_folder, RunLog& log,
                        const RunCancellation& cancel);

}  // namespace kovra::win
